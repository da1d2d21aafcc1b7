#include "runtime/serial_path.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace rt {

namespace {

#ifdef __linux__
constexpr SerialPath kDefault = SerialPath::Linux;
constexpr const char *kDefaultName = "linux";
#else
constexpr SerialPath kDefault = SerialPath::Portable;
constexpr const char *kDefaultName = "portable";
#endif

} // namespace

SerialPath serialPathFor(const char *setting, std::string &complaint) {
    complaint.clear();
    if (!setting || !*setting)
        return kDefault;
    if (std::strcmp(setting, "portable") == 0)
        return SerialPath::Portable;
    if (std::strcmp(setting, "linux") == 0) {
#ifdef __linux__
        return SerialPath::Linux;
#else
        complaint = "VEXA_SERIAL=linux: this build has only the portable serial path";
        return kDefault;
#endif
    }
    complaint = std::string("VEXA_SERIAL=") + setting +
                " names no serial path (linux or portable): the " + kDefaultName + " path is used";
    return kDefault;
}

namespace {

SerialPath &pathOfThisRun() {
    static SerialPath path = [] {
        std::string complaint;
        const SerialPath chosen = serialPathFor(std::getenv("VEXA_SERIAL"), complaint);
        if (!complaint.empty())
            std::fprintf(stderr, "%s\n", complaint.c_str());
        return chosen;
    }();
    return path;
}

} // namespace

SerialPath serialPath() {
    return pathOfThisRun();
}

void setSerialPath(SerialPath path) {
    pathOfThisRun() = path;
}

} // namespace rt

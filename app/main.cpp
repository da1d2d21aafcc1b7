// Entry of vexa-tb-scope: the command line is checked before anything starts;
// a refused line prints the usage on stderr and ends with 255.
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/program.h"
#include "runtime/runtime.h"

namespace {

constexpr int REFUSED = 255;

} // namespace

int main(int argc, char *argv[]) {
    const CommandLine line = ParseCommandLine(argc, argv);
    if (!line.error.empty()) {
        std::fprintf(stderr, "%s: %s\n%s", argv[0], line.error.c_str(), UsageText(argv[0]).c_str());
        return REFUSED;
    }
    if (line.help) {
        std::fputs(UsageText(argv[0]).c_str(), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("V-EXA-TB-Scope %s\n", VEXA_VERSION);
        return 0;
    }
    for (const auto &[port, device] : line.comDevices)
        SetComDevice(port, device.c_str());
    if (!line.screenshotFile.empty())
        SetScreenshotFile(line.screenshotFile.c_str());

    // Here the instance handle is the program's argument list: the run-time
    // hands what is left of it (Qt's own options) to the toolkit.
    std::vector<std::string> args = line.toolkitArgs;
    std::vector<char *> toolkitArgv;
    for (std::string &arg : args)
        toolkitArgv.push_back(arg.data());
    toolkitArgv.push_back(nullptr);
    const int result = WinMain(toolkitArgv.data(), nullptr, nullptr, 1);
    CloseCVIRTE();
    return result;
}

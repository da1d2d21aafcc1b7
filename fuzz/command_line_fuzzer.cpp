// Fuzzes the program's command line (app/command_line.h): argv is the
// input split at NUL bytes (fuzz/support/arguments.h), argv[0] included.
//
// Checks: a refused line says why in one of the parser's own phrasings; an
// accepted one yields only what its arguments hold: COM numbers 1 to 1000
// with a device, Qt options of the table with their values, help and
// version only when asked for; and it is stable: written out again as a
// plain command line, it parses to the same result.
#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "fuzz/support/arguments.h"
#include "fuzz/support/check.h"

namespace {

// Qt's own options that the program passes on, and whether each takes a value.
struct ToolkitOption {
    const char *name;
    bool takesValue;
};
constexpr ToolkitOption kToolkitOptions[] = {
    {"-platform", true},   {"-display", true},  {"-style", true},
    {"-stylesheet", true}, {"-geometry", true}, {"-reverse", false},
};

const ToolkitOption *FindToolkitOption(const std::string &arg) {
    for (const ToolkitOption &o : kToolkitOptions)
        if (arg == o.name || arg == std::string("-") + o.name)
            return &o;
    return nullptr;
}

bool StartsWith(const std::string &text, const char *prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool Given(const std::vector<std::string> &args, const char *name) {
    for (std::size_t i = 1; i < args.size(); ++i)
        if (args[i] == name || StartsWith(args[i], (std::string(name) + "=").c_str()))
            return true;
    return false;
}

CommandLine Parse(const std::vector<std::string> &args) {
    std::vector<const char *> argv;
    for (const std::string &a : args)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);
    return ParseCommandLine(static_cast<int>(args.size()), argv.data());
}

// The accepted line written out again, each option in its plain spelling.
std::vector<std::string> WrittenOut(const CommandLine &line) {
    std::vector<std::string> args{line.toolkitArgs.front()};
    for (const auto &[port, device] : line.comDevices) {
        args.emplace_back("--com");
        args.push_back(std::to_string(port) + "=" + device);
    }
    if (!line.screenshotFile.empty()) {
        args.emplace_back("--screenshot");
        args.push_back(line.screenshotFile);
    }
    if (line.help)
        args.emplace_back("--help");
    if (line.version)
        args.emplace_back("--version");
    args.insert(args.end(), line.toolkitArgs.begin() + 1, line.toolkitArgs.end());
    return args;
}

void CheckAccepted(const std::vector<std::string> &args, const CommandLine &line) {
    VEXA_FUZZ_CHECK(!line.toolkitArgs.empty(), "the toolkit gets a program name");
    VEXA_FUZZ_CHECK(line.toolkitArgs.front() == (args.empty() ? "vexa-tb-scope" : args.front()),
                    "the toolkit's program name is argv[0]");
    for (const auto &[port, device] : line.comDevices)
        VEXA_FUZZ_CHECK(port >= 1 && port <= 1000 && !device.empty(),
                        "--com maps a number from 1 to 1000 to a device");
    VEXA_FUZZ_CHECK(line.comDevices.empty() || Given(args, "--com"), "--com only when given");
    VEXA_FUZZ_CHECK(line.screenshotFile.empty() || Given(args, "--screenshot"),
                    "--screenshot only when given");
    VEXA_FUZZ_CHECK(!line.help || Given(args, "--help") || Given(args, "-h"),
                    "help only when asked for");
    VEXA_FUZZ_CHECK(!line.version || Given(args, "--version"), "the version only when asked for");

    for (std::size_t i = 1; i < line.toolkitArgs.size(); ++i) {
        const ToolkitOption *option = FindToolkitOption(line.toolkitArgs[i]);
        VEXA_FUZZ_CHECK(option != nullptr, "only Qt options of the table go to the toolkit");
        if (option->takesValue) {
            VEXA_FUZZ_CHECK(i + 1 < line.toolkitArgs.size(), "a Qt option keeps its value");
            ++i;
        }
    }

    const CommandLine again = Parse(WrittenOut(line));
    VEXA_FUZZ_CHECK(again.error.empty(), "an accepted line written out is accepted again");
    VEXA_FUZZ_CHECK(again.comDevices == line.comDevices &&
                        again.screenshotFile == line.screenshotFile && again.help == line.help &&
                        again.version == line.version && again.toolkitArgs == line.toolkitArgs,
                    "an accepted line written out parses to the same result");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::vector<std::string> args = vexafuzz::SplitAtNul(data, size);
    const CommandLine line = Parse(args);
    if (!line.error.empty()) {
        VEXA_FUZZ_CHECK(StartsWith(line.error, "unknown option '") ||
                            StartsWith(line.error, "option '") ||
                            StartsWith(line.error, "invalid --com value '"),
                        "a refused line says why in the parser's own words");
        return 0;
    }
    CheckAccepted(args, line);
    return 0;
}

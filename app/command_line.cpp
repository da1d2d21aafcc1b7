// Options are checked before anything starts: a misspelt option must not
// open a port or a window. Qt's own options pass through to the toolkit,
// with one dash or two as Qt accepts them.
#include "app/command_line.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ports/ports.h"
#include "shell/startup.h"

namespace {

enum class Kind { Com, Screenshot, Help, Version, Toolkit };

struct ProgramOption {
    const char *name;
    const char *alias; // another spelling, or nullptr
    const char *value; // the value's name, or nullptr for a flag
    bool repeatable;
    Kind kind;
    const char *help;
};

constexpr ProgramOption OPTIONS[] = {
    {"--com", nullptr, "N=DEVICE", true, Kind::Com,
     "use DEVICE for COM port number N (1-16, the selector's\n"
     "numbers; repeatable);\n"
     "the other numbers go to the serial ports found, in order\n"
     "of their device names, then to /dev/ttyS{N-1}"},
    {"--screenshot", nullptr, "FILE", false, Kind::Screenshot,
     "save the main window as PNG two seconds after start, then end"},
    {"--help", "-h", nullptr, false, Kind::Help, "show this help and exit"},
    {"--version", nullptr, nullptr, false, Kind::Version, "show the version and exit"},
    {"-platform", nullptr, "NAME", false, Kind::Toolkit,
     "Qt: the window system (xcb, wayland, offscreen)"},
    {"-display", nullptr, "DISPLAY", false, Kind::Toolkit, "Qt: the X display to use"},
    {"-style", nullptr, "STYLE", false, Kind::Toolkit, "Qt: the widget style (Fusion, Windows)"},
    {"-stylesheet", nullptr, "FILE", false, Kind::Toolkit, "Qt: a style sheet for the window"},
    {"-geometry", nullptr, "WxH+X+Y", false, Kind::Toolkit, "Qt: the main window's geometry"},
    {"-reverse", nullptr, nullptr, false, Kind::Toolkit, "Qt: right-to-left layout"},
};

const ProgramOption *FindOption(const std::string &name) {
    for (const ProgramOption &option : OPTIONS) {
        if (name == option.name || (option.alias && name == option.alias))
            return &option;
        // Qt takes its own options with two dashes as well.
        if (option.kind == Kind::Toolkit && name.size() > 2 && name[0] == '-' && name[1] == '-' &&
            name.compare(1, std::string::npos, option.name) == 0)
            return &option;
    }
    return nullptr;
}

// "N=DEVICE" with N one of the selector's numbers and a device name: a
// number the selector does not offer could never be picked, and the program
// would open COM1 instead.
bool TakeComValue(const std::string &value, CommandLine &line) {
    const auto eq = value.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == value.size())
        return false;
    char *end = nullptr;
    const long port = std::strtol(value.c_str(), &end, 10);
    if (end != value.c_str() + eq || port < 1 || port > SELECTOR_PORTS)
        return false;
    line.comDevices.emplace_back(static_cast<int>(port), value.substr(eq + 1));
    return true;
}

} // namespace

CommandLine ParseCommandLine(int argc, const char *const argv[]) {
    CommandLine line;
    line.toolkitArgs.emplace_back(argc > 0 && argv[0] ? argv[0] : "vexa-tb-scope");
    std::vector<const ProgramOption *> seen;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::string value;
        bool hasValue = false;
        const auto eq = name.find('=');
        if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            hasValue = true;
        }
        const ProgramOption *option = FindOption(name);
        if (!option || (hasValue && option->kind == Kind::Toolkit)) {
            line.error = "unknown option '" + std::string(argv[i]) + "'";
            return line;
        }
        if (!option->value && hasValue) {
            line.error = "option '" + name + "' takes no value";
            return line;
        }
        if (option->value && !hasValue) {
            if (i + 1 >= argc) {
                line.error = "option '" + name + "' needs a value (" + option->value + ")";
                return line;
            }
            value = argv[++i];
        }
        for (const ProgramOption *earlier : seen)
            if (earlier == option && !option->repeatable) {
                line.error = "option '" + std::string(option->name) + "' given more than once";
                return line;
            }
        seen.push_back(option);

        switch (option->kind) {
        case Kind::Com:
            if (!TakeComValue(value, line)) {
                line.error = "invalid --com value '" + value +
                             "' (expected N=DEVICE with N from 1 to " +
                             std::to_string(SELECTOR_PORTS) + ")";
                return line;
            }
            break;
        case Kind::Screenshot:
            line.screenshotFile = value;
            break;
        case Kind::Help:
            line.help = true;
            break;
        case Kind::Version:
            line.version = true;
            break;
        case Kind::Toolkit:
            line.toolkitArgs.emplace_back(argv[option->value ? i - 1 : i]);
            if (option->value)
                line.toolkitArgs.push_back(value);
            break;
        }
    }
    return line;
}

std::string UsageText(const char *program) {
    std::string text = std::string("Usage: ") + program +
                       " [--com N=DEVICE]... [--screenshot FILE] [Qt options]\n"
                       "Configures and monitors a V-EXA-TB CCD line sensor over RS-232.\n\n";
    for (const ProgramOption &option : OPTIONS) {
        std::string head = std::string("  ") + option.name;
        if (option.alias)
            head += std::string(", ") + option.alias;
        if (option.value)
            head += std::string(" ") + option.value;
        const std::string indent(22, ' ');
        head.resize(std::max(head.size() + 2, indent.size()), ' ');
        text += head;
        for (const char *help = option.help; *help;) {
            const char *end = std::strchr(help, '\n');
            const size_t length = end ? static_cast<size_t>(end - help) : std::strlen(help);
            text.append(help, length);
            text += '\n';
            if (!end)
                break;
            help = end + 1;
            text += indent;
        }
    }
    text += std::string("\nThe program starts on COM1; the COM selector picks another number.\n"
                        "The panel file ") +
            PANEL_FILE + " must lie beside the program.\n";
    return text;
}

// Entry of vexa-tb-scope: the usual --help and --version, then the program.
#include <cstdio>
#include <cstring>

#include "runtime/runtime.h"
#include "shell/startup.h"

namespace {

void printUsage(const char *program) {
    std::printf(
        "Usage: %s [--com N=DEVICE]...\n"
        "Configures and monitors a V-EXA-TB CCD line sensor over RS-232.\n\n"
        "  --com N=DEVICE  use DEVICE for COM port number N (repeatable);\n"
        "                  unmapped numbers use /dev/ttyS{N-1}\n"
        "  --screenshot FILE  save the main window as PNG two seconds after start, then end\n"
        "  --help          show this help and exit\n"
        "  --version       show the version and exit\n\n"
        "The panel file %s must lie beside the program.\n",
        program, PANEL_FILE);
}

} // namespace

int main(int argc, char *argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage(argv[0]);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("V-EXA-TB-Scope %s\n", VEXA_VERSION);
            return 0;
        }
    }
    // Here the instance handle is the program's argument list: the run-time
    // takes its start-up options from it.
    const int result = WinMain(argv, nullptr, nullptr, 1);
    CloseCVIRTE();
    return result;
}

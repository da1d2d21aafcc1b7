// The program's command line: one table of options drives the check, the
// usage text and the values handed to the run-time.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct CommandLine {
    std::vector<std::pair<int, std::string>> comDevices; // --com N=DEVICE, in order
    std::string screenshotFile;                          // --screenshot FILE
    bool help = false;
    bool version = false;
    std::vector<std::string> toolkitArgs; // program name and Qt's own options
    std::string error;                    // set when the line is refused
};

// Reads argv[1..argc-1]. Unknown options, options without their value,
// malformed --com values and a repeated once-only option set `error`.
CommandLine ParseCommandLine(int argc, const char *const argv[]);
// The usage text: every option of the table with its help.
std::string UsageText(const char *program);

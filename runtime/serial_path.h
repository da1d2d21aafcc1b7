// Which serial path the program runs on: VEXA_SERIAL=portable picks the
// portable one (QSerialPort's public API only), VEXA_SERIAL=linux or nothing
// the Linux fast path where the program is built for Linux. Other systems
// build only the portable path.
#pragma once

#include <string>

namespace rt {

enum class SerialPath { Linux, Portable };

// The path a setting of VEXA_SERIAL names (nullptr: not set). A setting that
// names none, or a path this build lacks, gives the default and says so in
// `complaint`; otherwise `complaint` is left empty.
SerialPath serialPathFor(const char *setting, std::string &complaint);

// The path of this run: VEXA_SERIAL read once, at the first call (the start
// of the program), with its complaint on stderr.
SerialPath serialPath();

// For benchmarks that set both paths side by side: ports opened from now on
// use `path`.
void setSerialPath(SerialPath path);

} // namespace rt

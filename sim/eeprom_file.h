// The simulated sensor's EEPROM kept in a file: sixteen lines of unsigned decimal numbers in
// the order of the parameter set.
#pragma once

#include "sim/protocol.h"

#include <cstdint>
#include <optional>
#include <string>

namespace sim {

enum class EepromLoad { Loaded, Missing, Malformed };

// Sixteen numbers take less than 100 bytes; a file beyond this is not read at all.
constexpr std::uint64_t kMaxEepromFileBytes = 64 << 10;

// Reads the file into `out`. A missing file leaves `out` alone; so does a malformed one (not
// exactly sixteen numbers of 0 to 65535; not a regular file; larger than the cap), and
// `problem` then says what is wrong with it.
EepromLoad loadEeprom(const std::string &path, Words &out, std::string &problem);

// Writes the file through a temporary file of its own beside it, synced and renamed over the
// old one, so a crash or a full disk never leaves half a file. False with the reason in
// `problem` (the old file then stays as it was); a path that is there but is no regular file
// (a FIFO, a device, a folder) is never replaced.
bool saveEeprom(const std::string &path, const Words &words, std::string &problem);

} // namespace sim

// The simulated sensor's EEPROM kept in a file: sixteen lines of unsigned decimal numbers in
// the order of the parameter set.
#pragma once

#include "sim/protocol.h"

#include <optional>
#include <string>

namespace sim {

enum class EepromLoad { Loaded, Missing, Malformed };

// Reads the file into `out`. A missing file leaves `out` alone; so does a malformed one (not
// exactly sixteen numbers of 0 to 65535), and `problem` then says what is wrong with it.
EepromLoad loadEeprom(const std::string &path, Words &out, std::string &problem);

// Writes the file (through a temporary file and a rename, so a crash never leaves half a file).
bool saveEeprom(const std::string &path, const Words &words, std::string &problem);

} // namespace sim

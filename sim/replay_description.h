// The description beside a recording (<base>.json, record/README.md): the
// firmware text and the CCD info of the sensor that made it, which --replay
// answers orders 7 and 10 with.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sim {

struct ReplayDescription {
    std::string firmware; // Windows-1252 bytes, as the sensor sends them
    std::uint16_t ccdType = 0, pixels = 0, resolution = 0;
};

// Reads the description beside `framesPath`. Empty when there is none
// (`problem` empty) or when it is unusable: no regular file, over 64 KiB, not
// JSON, or without the firmware text or a CCD word in 0..65535 (`problem`
// says which).
std::optional<ReplayDescription> loadReplayDescription(const std::string &framesPath,
                                                       std::string &problem);

} // namespace sim

// A recording played back: the frames the program recorded (record/frame_csv)
// and, when the video file lies beside it, the video passes.
#pragma once

#include "sim/protocol.h"

#include <array>
#include <string>
#include <vector>

namespace sim {

struct Replay {
    std::vector<Words> frames;                                   // words 13-15 zero
    std::vector<std::array<std::uint16_t, kVideoSamples>> video; // the samples of each pass
};

// Reads FILE and, if it exists, the "-video.csv" file beside it. False, with
// the file, the line and what is wrong in `problem`, when either is not a
// recording: a missing or wrong header, a malformed line, or no line at all.
bool loadReplay(const std::string &framesPath, Replay &out, std::string &problem);

} // namespace sim

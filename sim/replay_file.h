// A recording played back: the frames the program recorded (record/frame_csv)
// and, when the video file lies beside it, the video passes.
#pragma once

#include "sim/protocol.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct Replay {
    std::vector<Words> frames;                                   // words 13-15 zero
    std::vector<std::array<std::uint16_t, kVideoSamples>> video; // the samples of each pass
};

// Caps well above any real recording that keep vexa-sim's memory sane: a frame line takes
// 32 bytes in memory (some 70 in the file), a video line 512 (some 3 KB in the file). A day
// of the Run loop (27 frames/s) is about 160 MB of frames, a day of the Data loop (2.6
// passes/s) about 700 MB of video; the longest line either writes is some 3 KB.
constexpr std::uint64_t kMaxFrameFileBytes = 256ull << 20; // at most ~300 MB in memory
constexpr std::uint64_t kMaxVideoFileBytes = 1ull << 30;   // at most ~540 MB in memory
constexpr std::size_t kMaxReplayLineBytes = 64 << 10;

// Reads FILE and, if it exists, the "-video.csv" file beside it. False, with
// the file, the line and what is wrong in `problem`, when either is not a
// recording: a missing or wrong header, a malformed line, or no line at all;
// or not a regular file, larger than its cap or with a line longer than the cap.
bool loadReplay(const std::string &framesPath, Replay &out, std::string &problem);

} // namespace sim

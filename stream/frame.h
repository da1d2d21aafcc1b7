// What the sensor reported, as plain values: a measurement frame, a pass of
// video samples, what happened to the port and its exchanges, a loop's start
// and end, and a point of the trend chart. The loops and the link publish
// them (stream/publish.h); listeners read them here.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>

// The words of a measurement frame as the sensor sends them in its order-8
// reply; listeners get all thirteen (the Data loop shows only the first 12).
enum FrameWord {
    FRAME_LEDGE,
    FRAME_REDGE,
    FRAME_MVALUE,
    FRAME_TVAL,
    FRAME_TTOL,
    FRAME_PIX1,
    FRAME_EDCNT,
    FRAME_MVSTART,
    FRAME_MVEND,
    FRAME_PIXDELTA,
    FRAME_ANAMAX,
    FRAME_ANAMIN,
    FRAME_IN0,
    FRAME_WORDS_SEEN
};
constexpr int VIDEO_PASS_SAMPLES = 256;

namespace stream {

using Clock = std::chrono::system_clock;

struct Frame {
    Clock::time_point time; // when the program decoded it
    std::array<std::uint16_t, FRAME_WORDS_SEEN> words{};

    std::uint16_t operator[](FrameWord word) const { return words[word]; }
};

// One pass of the Data loop: the positions the video graph draws the samples
// at and the samples, in the order of the four blocks.
struct VideoPass {
    Clock::time_point time;
    std::array<std::uint16_t, VIDEO_PASS_SAMPLES> x{}, y{};
};

struct PortEvent {
    enum class Kind {
        Opened,   // result: the open's code, negative when it failed
        Lost,     // the device went away and the port closed by itself
        Answered, // an exchange got its reply
        NoAnswer, // an exchange's wait ran out
    };
    Kind kind;
    int port;
    int result = 0;
};

struct LoopEvent {
    bool running; // true when the Run or Data loop starts, false when it has ended
};

// A point of the trend chart, its five traces in order, as drawn, and the
// time of the frame it shows.
struct TrendPoint {
    double upper = 0, lower = 0, teach = 0, measured = 0, selected = 0;
    Clock::time_point time{};
};

// The video graph as drawn: the samples' pixels, the samples and the
// threshold line over the same pixels.
struct VideoCurve {
    std::array<std::uint16_t, VIDEO_PASS_SAMPLES> x{}, y{}, threshold{};
};

} // namespace stream

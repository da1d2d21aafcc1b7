// The recording's two CSV formats, as plain functions shared by the recorder
// and by vexa-sim's replay: one line per measurement frame (local time with
// milliseconds, then the thirteen frame values in word order), and one line
// per Data-loop pass (time, the 256 x positions, the 256 samples). Plain
// C++17 so that the simulated sensor, which has no Qt, reads what the program
// writes with the very same column table.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace record {

constexpr std::size_t FRAME_VALUES = 13; // words 0 to 12 of an order-8 reply
constexpr std::size_t VIDEO_SAMPLES = 256;

using FrameValues = std::array<std::uint16_t, FRAME_VALUES>;
using VideoRow = std::array<std::uint16_t, VIDEO_SAMPLES>;

// Column names of the frame file after "time", in word order.
extern const std::array<const char *, FRAME_VALUES> FRAME_COLUMNS;

struct FrameRecord {
    std::string time;
    FrameValues values{};
};

struct VideoRecord {
    std::string time;
    VideoRow x{};
    VideoRow y{};
};

// Header lines, without the line end.
std::string frameHeader();
std::string videoHeader();

// "2026-12-07T13:05:01.123": local time, milliseconds, no zone.
std::string isoLocalTime(std::chrono::system_clock::time_point when);
// "2026-12-07T13:05:01.123+01:00": the same with the zone's offset, for
// readers in another place or season (the event log, the broker).
std::string isoLocalTimeWithOffset(std::chrono::system_clock::time_point when);

// One whole line each, ending in '\n', appended to `out`.
void appendFrameLine(std::string &out, std::string_view time, const FrameValues &values);
void appendVideoLine(std::string &out, std::string_view time, const std::uint16_t *x,
                     const std::uint16_t *y);

// A line as written above (a trailing '\r' is allowed); false with the reason
// in `problem` when it is not one.
bool parseFrameLine(std::string_view line, FrameRecord &out, std::string &problem);
bool parseVideoLine(std::string_view line, VideoRecord &out, std::string &problem);

// Whether a line is the frame or the video file's header (a trailing '\r'
// and a UTF-8 byte-order mark are allowed).
bool isFrameHeader(std::string_view line);
bool isVideoHeader(std::string_view line);

// The video file that goes with a frame file: "<base>-video.csv" beside
// "<base>.csv" (any other name gets "-video.csv" appended).
std::string videoPathFor(const std::string &framesPath);
// The event log that goes with a recording: "<base>-events.csv".
std::string eventsPathFor(const std::string &framesPath);
// The recording's description: "<base>.json".
std::string descriptionPathFor(const std::string &framesPath);

} // namespace record

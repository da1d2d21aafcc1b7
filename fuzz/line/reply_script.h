// What the sensor's side of the line says, read from the fuzz input only when
// the program has sent a request. One input thus interleaves the harness's
// steps and the replies those steps ask for, and the fuzzer decides how each
// reply is cut into the pieces that reach the input queue one at a time.
//
// A reply is a run of items that ends with 0x00 or with the input:
//   0x01..0xEF  that many bytes follow and arrive as one chunk
//   0xF0..0xFF  the line then stays silent for (item - 0xEF) quarter seconds
//   0x00        end of this reply (an empty reply: the sensor says nothing)
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/support/byte_cursor.h"

namespace vexafuzz {

// One piece of a reply: the silence in front of it, then its bytes.
struct Arrival {
    double silenceBefore = 0.0; // seconds
    std::vector<char> bytes;
};

constexpr std::uint8_t kEndOfReply = 0x00;
constexpr std::uint8_t kLargestChunk = 0xEF;
constexpr double kQuarterSecond = 0.25;

inline std::vector<Arrival> TakeReply(ByteCursor &input) {
    std::vector<Arrival> reply;
    double silence = 0.0;
    while (!input.empty()) {
        const std::uint8_t item = input.take();
        if (item == kEndOfReply)
            break;
        if (item > kLargestChunk) {
            silence += (item - kLargestChunk) * kQuarterSecond;
            continue;
        }
        std::size_t got = 0;
        const std::uint8_t *bytes = input.take(item, got);
        reply.push_back({silence, std::vector<char>(bytes, bytes + got)});
        silence = 0.0;
    }
    if (silence > 0.0)
        reply.push_back({silence, {}});
    return reply;
}

} // namespace vexafuzz

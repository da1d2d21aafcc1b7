// Cuts the byte stream from the PC into 36-byte requests.
#pragma once

#include "sim/protocol.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace sim {

using Clock = std::chrono::steady_clock;

// Time a line of `bytesPerSecond` needs for `count` bytes, rounded up to the nanosecond
// (0 bytes per second: no time). Every paced time is an absolute one made of this: a start
// plus the line time of a byte count, so rounding never adds up over a long run.
Clock::duration lineTime(std::size_t count, unsigned bytesPerSecond);

// Accumulates incoming bytes and hands out complete requests.
//
// A request starts with the sync bytes 00 55; anything else in front of them is dropped, so
// line noise cannot wedge the sensor. A request still incomplete longer than the stale limit
// after its first byte is dropped too (its sync bytes first, then the search for 00 55 starts
// again in what followed).
//
// With a line rate set (bytes per second, 0 = none) the framer also plays the serial line's
// part: a byte that arrives while the line is idle starts a run, and the n-th byte of a run has
// come off the line n/rate s after the run's start (never earlier than it arrived). So a
// request counts as received exactly 36/rate s after its first byte came, and requests that
// arrive in one burst are received one after the other.
class RequestFramer {
  public:
    struct Request {
        Telegram bytes{};
        Clock::time_point receivedAt; // when its last byte has come off the line
    };

    explicit RequestFramer(unsigned bytesPerSecond = 0,
                           std::chrono::milliseconds staleLimit = std::chrono::milliseconds(200));

    void push(const std::uint8_t *data, std::size_t n, Clock::time_point now);

    // The next complete request, if there is one; drops stale and unsynchronised bytes first.
    std::optional<Request> pop(Clock::time_point now);

    // When the partial request now held becomes stale (nothing held: no time).
    std::optional<Clock::time_point> staleAt() const;

    std::size_t buffered() const { return bytes_.size(); }
    std::size_t droppedBytes() const { return dropped_; }

  private:
    void dropFront();
    void resync();

    unsigned rate_;
    std::chrono::milliseconds staleLimit_;
    std::deque<std::uint8_t> bytes_;
    std::deque<Clock::time_point> onLine_; // when each buffered byte has come off the line
    Clock::time_point runStart_{};         // the current run of back-to-back bytes began here
    std::size_t runBytes_ = 0;             // and holds this many bytes
    std::size_t dropped_ = 0;
};

} // namespace sim

// A USB serial adapter between the sensor's line and the program. Such an adapter gathers
// the bytes the line brings and passes them on in one USB packet when the packet is full, or
// when its latency timer has run out after the last byte came (FTDI: 62 data bytes a packet,
// 16 ms by default). A 36-byte reply never fills a packet, so it waits for the timer.
#pragma once

#include "sim/framer.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace sim {

class UsbAdapter {
  public:
    static constexpr std::size_t kFtdiPacket = 62;

    // A latency of zero is no adapter: bytes pass on as they come.
    explicit UsbAdapter(Clock::duration latency = {}, std::size_t packet = kFtdiPacket);

    bool present() const { return latency_ > Clock::duration::zero(); }
    // Bytes that came off the line, the last of them at `lastCame`.
    void take(const std::uint8_t *data, std::size_t n, Clock::time_point lastCame);
    // Appends to `out` what the adapter has passed on by `now`: every full packet, and the
    // rest once the latency has run out since the last byte came.
    void handOver(Clock::time_point now, std::vector<std::uint8_t> &out);
    // When the bytes held now go on unless more come first.
    std::optional<Clock::time_point> nextHandOver() const;
    bool empty() const { return full_.empty() && held_.empty(); }

  private:
    Clock::duration latency_;
    std::size_t packet_;
    std::vector<std::uint8_t> full_; // whole packets, passed on at the next look
    std::vector<std::uint8_t> held_; // less than a packet, waiting for the timer
    Clock::time_point lastCame_{};
};

} // namespace sim

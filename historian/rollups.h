// The roll-ups of one sensor's measured value (Mvalue) per minute and per
// hour, made as the frames come in: each frame goes into the open minute and
// the open hour; a frame of another minute (a later one, or an earlier one
// when the time went back) closes the open one and opens its own. A closed
// span is handed out at once and never held back: the stores merge roll-ups
// of the same sensor and start, so a span handed out in parts (a frame that
// came late, a restart within the minute) still adds up to the whole.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "historian/records.h"

namespace historian {

constexpr int MINUTE_SECONDS = 60;
constexpr int HOUR_SECONDS = 3600;

// The words of FrameRecord::words a roll-up reads (the recording's order).
constexpr int MVALUE_WORD = 2, TVAL_WORD = 3, TTOL_WORD = 4;

// The start of the span of `seconds` that holds `time` (aligned on the epoch).
Millis spanStart(Millis time, int seconds);

// One span length of one sensor.
class RollupAccumulator {
  public:
    RollupAccumulator(std::string sensor, int seconds);

    // Adds a frame; a roll-up it closes goes to `closed`.
    void add(const FrameRecord &frame, std::vector<Rollup> &closed);
    // Hands out the open roll-up, if any, and holds none after.
    void flush(std::vector<Rollup> &closed);

  private:
    std::string sensor_;
    int seconds_;
    std::optional<Rollup> open_;
};

// The minute and the hour of one sensor.
class SensorRollups {
  public:
    explicit SensorRollups(const std::string &sensor);

    void add(const FrameRecord &frame, std::vector<Rollup> &closed);
    void flush(std::vector<Rollup> &closed);

  private:
    RollupAccumulator minute_, hour_;
};

} // namespace historian

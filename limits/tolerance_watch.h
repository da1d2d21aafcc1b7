// Excursions of the measured value out of the tolerance band, judged frame
// by frame against each frame's own band (tVal and tTol come in every
// frame). An excursion is raised once Mvalue has lain outside the band for
// the on-delay without a break, and ends when Mvalue lies inside the band by
// more than the hysteresis; see limits/README.md for the exact edges.
#pragma once

#include <chrono>
#include <optional>

#include "limits/event.h"
#include "limits/tolerance.h"
#include "stream/frame.h"

namespace limits {

struct ToleranceSettings {
    // How long Mvalue must lie outside the band, by the frames' times,
    // before the excursion is raised; 0: at the first frame outside.
    std::chrono::milliseconds onDelay{0};
    // How many pixels inside the band Mvalue must come, beyond the first,
    // to end an excursion; 0: any value inside the band ends it.
    int hysteresis = 0;
};

class ToleranceWatch {
  public:
    explicit ToleranceWatch(ToleranceSettings settings = {}) : settings_(settings) {}

    // The event this frame decides, if any: OutOfTolerance or
    // BackInTolerance.
    std::optional<LimitEvent> feed(const stream::Frame &frame);

    // Whether an excursion has been raised and has not ended.
    bool outOfTolerance() const { return raised_; }

  private:
    ToleranceSettings settings_;
    bool outside_ = false; // Mvalue outside the band since `start_`
    bool raised_ = false;  // ... and the excursion has been raised
    stream::Clock::time_point start_{};
    int extreme_ = 0;         // the Mvalue farthest outside so far
    int extremeDistance_ = 0; // and how far outside its frame's band
};

} // namespace limits

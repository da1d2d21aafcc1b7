// The frames between two summaries: how many, the last, least and greatest
// measured value and how many lay outside their own band, as the plant's
// tiles show a sensor without taking every frame.
#pragma once

#include "broker/messages.h"
#include "stream/frame.h"

namespace broker {

class FrameSummary {
  public:
    void add(long long seq, const stream::Frame &frame);
    // The span so far, and a new one begins.
    Summary take(State state, stream::Clock::time_point now);

  private:
    Summary span_;
};

} // namespace broker

#include "broker/frame_summary.h"

#include <algorithm>

#include "limits/tolerance.h"

namespace broker {

void FrameSummary::add(long long seq, const stream::Frame &frame) {
    const int mvalue = frame[FRAME_MVALUE];
    const limits::ToleranceBand band = limits::toleranceBand(frame[FRAME_TVAL], frame[FRAME_TTOL]);
    Summary &s = span_;
    s.min = s.frames == 0 ? mvalue : std::min(s.min, mvalue);
    s.max = s.frames == 0 ? mvalue : std::max(s.max, mvalue);
    ++s.frames;
    s.seq = seq;
    s.mvalue = mvalue;
    s.lower = band.lower;
    s.upper = band.upper;
    if (!band.contains(mvalue))
        ++s.out;
}

Summary FrameSummary::take(State state, stream::Clock::time_point now) {
    Summary taken = span_;
    taken.time = now;
    taken.state = state;
    span_ = Summary{};
    span_.seq = taken.seq; // a span without frames still names the last one
    return taken;
}

} // namespace broker

// The minute and hour roll-ups: one open span per length, closed by the
// first frame outside it. The band is limits::toleranceBand of the frame's
// own tVal and tTol, as the trend chart and the supervision judge it; a value
// on a limit lies inside.
#include "historian/rollups.h"

#include <algorithm>
#include <utility>

#include "limits/tolerance.h"

namespace historian {

Millis spanStart(Millis time, int seconds) {
    const Millis length = Millis{seconds} * 1000;
    Millis start = time - time % length;
    if (time % length < 0) // before the epoch: round down, not toward zero
        start -= length;
    return start;
}

RollupAccumulator::RollupAccumulator(std::string sensor, int seconds)
    : sensor_(std::move(sensor)), seconds_(seconds) {}

void RollupAccumulator::add(const FrameRecord &frame, std::vector<Rollup> &closed) {
    const Millis start = spanStart(frame.time, seconds_);
    if (open_ && open_->start != start)
        flush(closed);
    const int mvalue = frame.words[MVALUE_WORD];
    const limits::ToleranceBand band =
        limits::toleranceBand(frame.words[TVAL_WORD], frame.words[TTOL_WORD]);
    if (!open_) {
        open_ = Rollup{};
        open_->sensor = sensor_;
        open_->start = start;
        open_->seconds = seconds_;
        open_->min = open_->max = mvalue;
    }
    Rollup &r = *open_;
    ++r.count;
    r.sum += mvalue;
    r.sumSquares += double(mvalue) * mvalue;
    r.min = std::min(r.min, mvalue);
    r.max = std::max(r.max, mvalue);
    if (!band.contains(mvalue))
        ++r.out;
    r.lower = band.lower;
    r.upper = band.upper;
}

void RollupAccumulator::flush(std::vector<Rollup> &closed) {
    if (open_)
        closed.push_back(std::move(*open_));
    open_.reset();
}

SensorRollups::SensorRollups(const std::string &sensor)
    : minute_(sensor, MINUTE_SECONDS), hour_(sensor, HOUR_SECONDS) {}

void SensorRollups::add(const FrameRecord &frame, std::vector<Rollup> &closed) {
    minute_.add(frame, closed);
    hour_.add(frame, closed);
}

void SensorRollups::flush(std::vector<Rollup> &closed) {
    minute_.flush(closed);
    hour_.flush(closed);
}

} // namespace historian

// One frame at a time: outside the band starts or extends an excursion (and
// raises it once the on-delay has passed); inside the band ends one not yet
// raised at once, and one raised only when Mvalue lies deep enough inside.
#include "limits/tolerance_watch.h"

#include <algorithm>

namespace limits {

namespace {

// How far `value`, outside `band`, lies from its nearer limit, in pixels.
int distanceOutside(int value, const ToleranceBand &band) {
    return value < band.lower ? band.lower - value : value - band.upper;
}

// Whether `value` lies inside `band` by more than `hysteresis` pixels,
// counting from the nearest value outside it: the limits themselves lie
// inside by one pixel.
bool deepInside(int value, const ToleranceBand &band, int hysteresis) {
    return value >= band.lower + hysteresis && value <= band.upper - hysteresis;
}

LimitEvent judged(EventKind kind, const stream::Frame &frame, const ToleranceBand &band) {
    LimitEvent event{frame.time, kind, {}, {}, {}, {}, {}};
    event.mvalue = frame[FRAME_MVALUE];
    event.lower = band.lower;
    event.upper = band.upper;
    return event;
}

} // namespace

std::optional<LimitEvent> ToleranceWatch::feed(const stream::Frame &frame) {
    const ToleranceBand band = toleranceBand(frame[FRAME_TVAL], frame[FRAME_TTOL]);
    const int value = frame[FRAME_MVALUE];
    if (!band.contains(value)) {
        const int distance = distanceOutside(value, band);
        if (!outside_) {
            outside_ = true;
            start_ = frame.time;
            extremeDistance_ = 0;
        }
        if (distance > extremeDistance_) {
            extremeDistance_ = distance;
            extreme_ = value;
        }
        if (raised_ || frame.time - start_ < settings_.onDelay)
            return std::nullopt;
        raised_ = true;
        return judged(EventKind::OutOfTolerance, frame, band);
    }

    if (!raised_) {
        outside_ = false; // too short to count: it ends unseen
        return std::nullopt;
    }
    if (!deepInside(value, band, settings_.hysteresis))
        return std::nullopt;
    outside_ = raised_ = false;
    LimitEvent event = judged(EventKind::BackInTolerance, frame, band);
    const auto lasted = std::chrono::duration_cast<std::chrono::milliseconds>(frame.time - start_);
    event.durationMs = std::max<long long>(lasted.count(), 0); // a clock set back
    event.extreme = extreme_;
    return event;
}

} // namespace limits

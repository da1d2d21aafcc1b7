// What the supervision of a line reports: an excursion of the measured value
// out of the tolerance band and its end, and the changes of the sensor's
// answers and of its port. The event log, the broker and the window's status
// bar all take these.
#pragma once

#include <optional>

#include "stream/frame.h"

namespace limits {

enum class EventKind {
    OutOfTolerance,
    BackInTolerance,
    NoAnswer,
    AnsweringAgain,
    PortLost,
    PortBack,
};

// The kind as the event log and the broker write it: "out of tolerance",
// "back in tolerance", "no answer", "answering again", "port lost",
// "port back".
const char *kindText(EventKind kind);

struct LimitEvent {
    stream::Clock::time_point time;
    EventKind kind;
    // The frame's Mvalue and the band it was judged against; absent for the
    // sensor's and the port's events.
    std::optional<int> mvalue, lower, upper;
    // Back in tolerance: how long the excursion lasted and its Mvalue
    // farthest outside the band.
    std::optional<long long> durationMs;
    std::optional<int> extreme;
};

} // namespace limits

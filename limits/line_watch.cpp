// Two small states: whether the sensor answers (unknown at the start, so
// that a first silence counts and a first answer does not) and whether the
// port has been lost (while it is, the exchanges' outcomes are no news).
#include "limits/line_watch.h"

namespace limits {

namespace {

std::optional<LimitEvent> happened(EventKind kind, stream::Clock::time_point time) {
    return LimitEvent{time, kind, {}, {}, {}, {}, {}};
}

} // namespace

std::optional<LimitEvent> LineWatch::feed(const stream::PortEvent &event,
                                          stream::Clock::time_point time) {
    using Kind = stream::PortEvent::Kind;
    // An exchange cut short by the port's loss waits out its time-out: it
    // tells nothing of the sensor until the port is open again.
    if (lost_ && (event.kind == Kind::NoAnswer || event.kind == Kind::Answered))
        return std::nullopt;
    switch (event.kind) {
    case Kind::NoAnswer:
        if (answers_ == Answers::Silent)
            return std::nullopt;
        answers_ = Answers::Silent;
        return happened(EventKind::NoAnswer, time);
    case Kind::Answered: {
        const bool wasSilent = answers_ == Answers::Silent;
        answers_ = Answers::Answering;
        return wasSilent ? happened(EventKind::AnsweringAgain, time) : std::nullopt;
    }
    case Kind::Lost:
        if (lost_)
            return std::nullopt;
        lost_ = true;
        return happened(EventKind::PortLost, time);
    case Kind::Opened:
        if (!lost_ || event.result < 0)
            return std::nullopt;
        lost_ = false;
        return happened(EventKind::PortBack, time);
    }
    return std::nullopt;
}

} // namespace limits

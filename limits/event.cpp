#include "limits/event.h"

namespace limits {

const char *kindText(EventKind kind) {
    switch (kind) {
    case EventKind::OutOfTolerance:
        return "out of tolerance";
    case EventKind::BackInTolerance:
        return "back in tolerance";
    case EventKind::NoAnswer:
        return "no answer";
    case EventKind::AnsweringAgain:
        return "answering again";
    case EventKind::PortLost:
        return "port lost";
    case EventKind::PortBack:
        return "port back";
    }
    return "";
}

} // namespace limits

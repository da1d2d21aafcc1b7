// The sensor's answers and its port, as changes: the first exchange without
// a reply ("no answer"), the first reply after one ("answering again"), a
// port whose device went away ("port lost") and its next successful open
// ("port back"). A state is reported once, however often it repeats.
#pragma once

#include <optional>

#include "limits/event.h"
#include "stream/frame.h"

namespace limits {

class LineWatch {
  public:
    // The event `event`, which came at `time`, decides, if any.
    std::optional<LimitEvent> feed(const stream::PortEvent &event, stream::Clock::time_point time);

  private:
    enum class Answers { Unknown, Answering, Silent };
    Answers answers_ = Answers::Unknown;
    bool lost_ = false;
};

} // namespace limits

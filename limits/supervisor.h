// The line's supervision in the program and in vexa-tb-ctl: it listens to
// the frame stream's frames and port events, judges them with a
// ToleranceWatch and a LineWatch, and publishes every event on its own
// channel, where the event log, the broker and the window's status bar
// listen. It counts the excursions for the status bar.
#pragma once

#include <optional>
#include <string>

#include "limits/event.h"
#include "limits/line_watch.h"
#include "limits/tolerance_watch.h"
#include "stream/channel.h"
#include "stream/stream.h"

namespace limits {

class Supervisor {
  public:
    explicit Supervisor(ToleranceSettings settings = {},
                        stream::FrameStream &source = stream::programStream());
    Supervisor(const Supervisor &) = delete;
    Supervisor &operator=(const Supervisor &) = delete;

    // Every event, in the order it happened. Port events are stamped with
    // the time they came in, frame events with their frame's time.
    stream::Channel<LimitEvent> events;

    // Excursions raised so far, and the time the last one was raised.
    int excursions() const { return excursions_; }
    std::optional<stream::Clock::time_point> lastExcursion() const { return lastExcursion_; }
    bool outOfTolerance() const { return tolerance_.outOfTolerance(); }

  private:
    void tell(const std::optional<LimitEvent> &event);

    ToleranceWatch tolerance_;
    LineWatch line_;
    int excursions_ = 0;
    std::optional<stream::Clock::time_point> lastExcursion_;
    // Last, so that they end first: nothing is told to a half-gone watch.
    stream::Subscription frames_, ports_;
};

// The window's supervision of the program's stream, with the default
// settings (no on-delay, no hysteresis): the status bar, the status line's
// history, the recording's event log and the broker listen to its events.
// Made on first use; vexa-tb-ctl monitor makes its own with its options.
Supervisor &programSupervisor();

// The status bar's text: "3 excursions, last 12:04:31" (local time),
// "1 excursion, last 12:04:31", "no excursions".
std::string excursionsText(int excursions, std::optional<stream::Clock::time_point> last);

} // namespace limits

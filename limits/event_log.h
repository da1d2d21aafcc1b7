// The event log: a CSV file with one line per event of the supervision,
//
//   time,kind,Mvalue,lower,upper,duration_ms,extreme
//   2026-12-07T13:05:01.123+01:00,out of tolerance,640,412,612,,
//
// the time as the recording writes it plus the zone's offset, the kind's
// text, and empty fields where an event has no value. Each line goes out
// whole in one write (record/line_file), so the file is complete after a
// kill; a line the disk does not take is cut back off, reported, and the
// next event is tried again.
#pragma once

#include <functional>
#include <string>

#include "limits/event.h"
#include "record/line_file.h"
#include "stream/channel.h"

namespace limits {

// The header line and an event's line, each ending in '\n'.
std::string eventLogHeader();
std::string eventLine(const LimitEvent &event);


class EventLog {
  public:
    // Creates the file (an existing one is replaced) and writes its header;
    // false with reason() when either fails.
    bool open(const std::string &path);
    // One whole line, or false with reason() and the file ending in its
    // last whole line.
    bool write(const LimitEvent &event);

    // Writes every event told on `events` while the subscription lives (the
    // log must outlive it); `failed` hears the reason of each write that
    // fails.
    [[nodiscard]] stream::Subscription
    follow(stream::Channel<LimitEvent> &events,
           std::function<void(const std::string &reason)> failed = {});

    const std::string &path() const { return file_.name(); }
    std::string reason() const { return file_.reason(); }

  private:
    record::LineFile file_;
};

} // namespace limits

// The times a person types at the historian's queries and the times it
// writes back. Typed: ISO 8601 (a zone or offset, or local time without
// one), "now", a step back from now ("-8h", "-30m", "-7d", "-90s"), a clock
// time today or yesterday ("today 06:00", "yesterday 22:00", a bare
// "22:00"). Written: local ISO 8601 with milliseconds and the zone's offset,
// as the publisher writes its times. Local time is the process's zone (TZ),
// so a test fixes the zone and "now" and gets the same answers everywhere.
#pragma once

#include <optional>
#include <string>

#include "historian/store.h"

namespace historian {

// The moment `text` names, or std::nullopt with why in `problem`. A local
// time the clocks skip (a spring-forward hour) is refused; one they pass
// twice (the autumn hour) is its first pass.
std::optional<Millis> parseTime(const std::string &text, Millis now, std::string &problem);

// "--from" and "--to" as a span [from, to): false with why when either is
// not a time or from lies after to.
bool parseSpan(const std::string &from, const std::string &to, Millis now, Span &out,
               std::string &problem);

// "2026-12-08T06:00:00.000+01:00": local, milliseconds, the zone's offset.
std::string formatTime(Millis when);

// "0 s", "850 ms", "12 s", "1 min 02 s", "1 h 02 min 03 s", "3 d 04 h 05 min".
std::string formatDuration(Millis span);

// "1,234,567": thousands grouped as the program's texts write counts.
std::string grouped(long long count);

// Milliseconds since the epoch now, from the system clock.
Millis nowMillis();

// The local midnight that begins the day `dayOffset` days from the day of
// `when` (0: that day, -1: the day before), and a local clock time on it.
Millis localMidnight(Millis when, int dayOffset);
// The moment the local clock shows `minuteOfDay` (0-1439) on the day
// `midnight` begins; std::nullopt when the clocks skip it that day.
std::optional<Millis> localClockTime(Millis midnight, int minuteOfDay);

} // namespace historian

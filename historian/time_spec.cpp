// Typed times to milliseconds and back. Local times go through mktime and
// come back through localtime_r (POSIX), and a local time is taken only
// when the way back shows the same clock: that is how a skipped
// spring-forward hour is found, and how the autumn hour that comes twice is
// pinned to its first pass.
#include "historian/time_spec.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <regex>

namespace historian {

namespace {

struct Clock {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0, millis = 0;
};

// Floor division: the second before the epoch is -1, not 0.
Millis floorDiv(Millis value, Millis by) {
    return value / by - ((value % by != 0) && ((value < 0) != (by < 0)) ? 1 : 0);
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
std::int64_t daysFromCivil(int year, int month, int day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = static_cast<int>(year - era * 400);
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

bool valid(const Clock &c) {
    return c.month >= 1 && c.month <= 12 && c.day >= 1 && c.day <= daysInMonth(c.year, c.month) &&
           c.hour >= 0 && c.hour <= 23 && c.minute >= 0 && c.minute <= 59 && c.second >= 0 &&
           c.second <= 59;
}

Millis fromUtc(const Clock &c) {
    return ((daysFromCivil(c.year, c.month, c.day) * 24 + c.hour) * 60 + c.minute) * 60000 +
           c.second * 1000 + c.millis;
}

std::tm localFields(Millis when) {
    const std::time_t seconds = static_cast<std::time_t>(floorDiv(when, 1000));
    std::tm fields{};
    localtime_r(&seconds, &fields);
    return fields;
}

// The moment the local clock shows `c`; its first pass when it shows it twice.
std::optional<Millis> fromLocal(const Clock &c) {
    std::optional<Millis> first;
    for (const int summer : {0, 1}) {
        std::tm fields{};
        fields.tm_year = c.year - 1900;
        fields.tm_mon = c.month - 1;
        fields.tm_mday = c.day;
        fields.tm_hour = c.hour;
        fields.tm_min = c.minute;
        fields.tm_sec = c.second;
        fields.tm_isdst = summer;
        const std::time_t seconds = std::mktime(&fields);
        const std::tm back = localFields(static_cast<Millis>(seconds) * 1000);
        if (back.tm_year != c.year - 1900 || back.tm_mon != c.month - 1 || back.tm_mday != c.day ||
            back.tm_hour != c.hour || back.tm_min != c.minute || back.tm_sec != c.second)
            continue;
        const Millis at = static_cast<Millis>(seconds) * 1000 + c.millis;
        if (!first || at < *first)
            first = at;
    }
    return first;
}

int number(const std::ssub_match &match) {
    return match.matched ? std::stoi(match.str()) : 0;
}

// ".5" is 500 ms, ".123456" is 123 ms.
int fractionMillis(const std::ssub_match &match) {
    if (!match.matched)
        return 0;
    std::string digits = match.str().substr(0, 3);
    digits.resize(3, '0');
    return std::stoi(digits);
}

std::string pad2(long long value) {
    char text[24];
    std::snprintf(text, sizeof text, "%02lld", value);
    return text;
}

std::optional<Millis> isoTime(const std::smatch &m, std::string &problem, const std::string &text) {
    Clock c;
    c.year = number(m[1]);
    c.month = number(m[2]);
    c.day = number(m[3]);
    c.hour = number(m[4]);
    c.minute = number(m[5]);
    c.second = number(m[6]);
    c.millis = fractionMillis(m[7]);
    if (!valid(c)) {
        problem = "'" + text + "' is not a date and time on the calendar";
        return std::nullopt;
    }
    if (!m[8].matched) {
        const std::optional<Millis> local = fromLocal(c);
        if (!local)
            problem = "'" + text + "' does not occur in local time (the clocks skip it)";
        return local;
    }
    const std::string zone = m[8].str();
    Millis offset = 0;
    if (zone != "Z" && zone != "z") {
        const int hours = std::stoi(zone.substr(1, 2));
        const int minutes = zone.size() > 3 ? std::stoi(zone.substr(zone.size() - 2)) : 0;
        if (hours > 23 || minutes > 59) {
            problem = "'" + text + "' has an offset that is none";
            return std::nullopt;
        }
        offset = (hours * 60 + minutes) * 60000LL * (zone[0] == '-' ? -1 : 1);
    }
    return fromUtc(c) - offset;
}

} // namespace

std::optional<Millis> parseTime(const std::string &text, Millis now, std::string &problem) {
    static const std::regex iso(
        R"(^(\d{4})-(\d{2})-(\d{2})(?:[T ](\d{2}):(\d{2})(?::(\d{2})(?:[.,](\d{1,9}))?)?)?)"
        R"((Z|z|[+-]\d{2}(?::?\d{2})?)?$)");
    static const std::regex back(R"(^-(\d{1,9})(s|m|h|d)$)");
    static const std::regex clock(R"(^(?:(today|yesterday)\s+)?(\d{1,2}):(\d{2})(?::(\d{2}))?$)");
    std::smatch m;
    if (text == "now")
        return now;
    if (std::regex_match(text, m, back)) {
        const Millis unit = m[2] == "s"   ? 1000
                            : m[2] == "m" ? 60000
                            : m[2] == "h" ? 3600000
                                          : 86400000;
        return now - std::stoll(m[1].str()) * unit;
    }
    if (std::regex_match(text, m, clock)) {
        const int hour = number(m[2]), minute = number(m[3]), second = number(m[4]);
        if (hour > 23 || minute > 59 || second > 59) {
            problem = "'" + text + "' is not a time of day";
            return std::nullopt;
        }
        const std::tm day = localFields(localMidnight(now, m[1] == "yesterday" ? -1 : 0));
        Clock c{day.tm_year + 1900, day.tm_mon + 1, day.tm_mday, hour, minute, second, 0};
        const std::optional<Millis> local = fromLocal(c);
        if (!local)
            problem = "'" + text + "' does not occur in local time that day (the clocks skip it)";
        return local;
    }
    if (std::regex_match(text, m, iso))
        return isoTime(m, problem, text);
    problem = "'" + text +
              "' is not a time: give e.g. 2026-12-08T06:00, 2026-12-08T06:00:00+01:00, now, "
              "-8h, -30m, -7d, -90s, today 06:00, yesterday 22:00 or 22:00";
    return std::nullopt;
}

bool parseSpan(const std::string &from, const std::string &to, Millis now, Span &out,
               std::string &problem) {
    std::string why;
    const std::optional<Millis> begin = parseTime(from, now, why);
    if (!begin) {
        problem = "--from: " + why;
        return false;
    }
    const std::optional<Millis> end = parseTime(to, now, why);
    if (!end) {
        problem = "--to: " + why;
        return false;
    }
    if (*begin > *end) {
        problem = "--from " + formatTime(*begin) + " lies after --to " + formatTime(*end);
        return false;
    }
    out = {*begin, *end};
    return true;
}

std::string formatTime(Millis when) {
    const std::tm fields = localFields(when);
    const long long offsetMinutes = fields.tm_gmtoff / 60;
    const long long absolute = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03lld%c%02lld:%02lld",
                  fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour,
                  fields.tm_min, fields.tm_sec,
                  static_cast<long long>(when - floorDiv(when, 1000) * 1000),
                  offsetMinutes < 0 ? '-' : '+', absolute / 60, absolute % 60);
    return text;
}

std::string formatDuration(Millis span) {
    if (span < 0)
        return "-" + formatDuration(-span);
    if (span > 0 && span < 1000)
        return std::to_string(span) + " ms";
    const long long seconds = (span + 500) / 1000;
    const long long days = seconds / 86400, hours = seconds / 3600 % 24,
                    minutes = seconds / 60 % 60, rest = seconds % 60;
    if (days > 0)
        return std::to_string(days) + " d " + pad2(hours) + " h " + pad2(minutes) + " min";
    if (hours > 0)
        return std::to_string(hours) + " h " + pad2(minutes) + " min " + pad2(rest) + " s";
    if (minutes > 0)
        return std::to_string(minutes) + " min " + pad2(rest) + " s";
    return std::to_string(rest) + " s";
}

std::string grouped(long long count) {
    std::string digits = std::to_string(count < 0 ? -count : count);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return count < 0 ? "-" + digits : digits;
}

Millis nowMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

Millis localMidnight(Millis when, int dayOffset) {
    std::tm fields = localFields(when);
    fields.tm_mday += dayOffset;
    fields.tm_hour = fields.tm_min = fields.tm_sec = 0;
    fields.tm_isdst = -1;
    return static_cast<Millis>(std::mktime(&fields)) * 1000;
}

std::optional<Millis> localClockTime(Millis midnight, int minuteOfDay) {
    const std::tm day = localFields(midnight);
    return fromLocal(Clock{day.tm_year + 1900, day.tm_mon + 1, day.tm_mday, minuteOfDay / 60,
                           minuteOfDay % 60, 0, 0});
}

} // namespace historian

// The ingest: a message's topic names the sensor and the kind; its payload is
// read field by field, each read throwing a Foreign with the reason at the
// first field that does not fit, so that a message becomes records whole or
// not at all. Then the sensor's state decides what is kept:
//
// - seq: a publisher counts every decoded frame and sends every Nth
//   (--frame-every N), so the seqs it sends are 1, N+1, 2N+1, ... The usual
//   step is the greatest common divisor of seq - 1 over the sensor's frames
//   since its start (one frame starting mid-run already tells a bound, a
//   second tells N); a larger step is a gap, a seq that goes back a restart.
// - status: one that is not "online" opens a gap that the sensor's next frame
//   closes, and hands out the sensor's open roll-ups (it may stay away for
//   days; the stores merge a minute that continues after it comes back).
//   Repeats (a publisher says its status again at each reconnection) are not
//   kept again.
// - info: kept when it differs from the sensor's last one, with the program
//   of the sensor's last status.
#include "historian/ingest.h"

#include <cctype>
#include <cmath>
#include <ctime>
#include <numeric>
#include <utility>

#include <nlohmann/json.hpp>

#include "params/parameter_table.h"

namespace historian {

namespace {

using Json = nlohmann::json;

// The frame's fields in the order of FrameRecord::words: the recording's
// column names, as the publisher writes them.
constexpr const char *FRAME_FIELDS[FRAME_WORDS] = {
    "Ledge",   "Redge", "Mvalue",   "tVal",   "tTol",   "pix1", "edcnt",
    "mvstart", "mvend", "pixdelta", "anaMax", "anaMin", "in0",
};

constexpr std::int64_t WORD_MAX = 65535;
// Beyond 2^53 a JSON number is no longer exact in most readers.
constexpr std::int64_t COUNT_MAX = std::int64_t{1} << 53;
constexpr std::size_t TOPIC_SHOWN = 200; // of a foreign topic, in the reason

// Why a message was passed over.
struct Foreign {
    std::string reason;
};

const Json &member(const Json &object, const char *name) {
    const auto it = object.find(name);
    if (it == object.end())
        throw Foreign{std::string(name) + " is missing"};
    return *it;
}

std::int64_t wholeValue(const Json &value, const std::string &name, std::int64_t lowest,
                        std::int64_t highest) {
    if (!value.is_number())
        throw Foreign{name + " is not a number"};
    const auto outOfRange = [&](const std::string &shown) {
        return Foreign{name + " is out of range (" + shown + ", not " + std::to_string(lowest) +
                       " to " + std::to_string(highest) + ")"};
    };
    std::int64_t n = 0;
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (u > std::uint64_t(highest))
            throw outOfRange(std::to_string(u));
        n = std::int64_t(u);
    } else if (value.is_number_integer()) {
        n = value.get<std::int64_t>();
    } else {
        const double d = value.get<double>();
        if (!std::isfinite(d))
            throw Foreign{name + " is not a finite number"};
        if (d != std::floor(d))
            throw Foreign{name + " is not a whole number (" + value.dump() + ")"};
        if (d < double(lowest) || d > double(highest))
            throw outOfRange(value.dump());
        n = std::int64_t(d);
    }
    if (n < lowest || n > highest)
        throw outOfRange(std::to_string(n));
    return n;
}

std::int64_t whole(const Json &object, const char *name, std::int64_t lowest,
                   std::int64_t highest) {
    return wholeValue(member(object, name), name, lowest, highest);
}

template <typename T>
std::optional<T> optionalWhole(const Json &object, const char *name, std::int64_t lowest,
                               std::int64_t highest) {
    if (!object.contains(name))
        return std::nullopt;
    return T(whole(object, name, lowest, highest));
}

std::string textValue(const Json &value, const std::string &name) {
    if (!value.is_string())
        throw Foreign{name + " is not a text"};
    std::string s = value.get<std::string>();
    if (s.size() > TEXT_MAX_LENGTH)
        throw Foreign{name + " is longer than " + std::to_string(TEXT_MAX_LENGTH) +
                      " characters (" + std::to_string(s.size()) + ")"};
    return s;
}

std::string text(const Json &object, const char *name) {
    return textValue(member(object, name), name);
}

std::string optionalText(const Json &object, const char *name) {
    return object.contains(name) ? text(object, name) : std::string();
}

Millis time(const Json &object, const char *name) {
    const std::string t = text(object, name);
    if (const auto parsed = parseIsoTime(t))
        return *parsed;
    throw Foreign{std::string(name) + " is not an ISO 8601 time (" + t + ")"};
}

bool allowedInName(char c) { // ASCII, whatever the locale
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

// "vexa-tb/<name>/<leaf>" into name and leaf; the reason when it is not.
std::optional<std::string> splitTopic(std::string_view topic, std::string &name,
                                      std::string &leaf) {
    constexpr std::string_view PREFIX = "vexa-tb/";
    const std::size_t slash = topic.find('/', PREFIX.size());
    if (topic.substr(0, PREFIX.size()) != PREFIX || slash == std::string_view::npos ||
        topic.find('/', slash + 1) != std::string_view::npos)
        return "not a sensor's topic (vexa-tb/<name>/<leaf>)";
    name = std::string(topic.substr(PREFIX.size(), slash - PREFIX.size()));
    leaf = std::string(topic.substr(slash + 1));
    if (name.empty())
        return "the sensor's name is empty";
    if (name.size() > SENSOR_NAME_MAX_LENGTH)
        return "the sensor's name is longer than " + std::to_string(SENSOR_NAME_MAX_LENGTH) +
               " characters";
    for (const char c : name)
        if (!allowedInName(c))
            return "the sensor's name may hold letters, digits, \"-\", \"_\" and \".\" only";
    return std::nullopt;
}

std::string shownTopic(std::string_view topic) {
    if (topic.size() <= TOPIC_SHOWN)
        return std::string(topic);
    return std::string(topic.substr(0, TOPIC_SHOWN)) + "...";
}

FrameRecord readFrame(const Json &object, const std::string &sensor) {
    FrameRecord frame;
    frame.sensor = sensor;
    frame.seq = whole(object, "seq", 1, COUNT_MAX);
    frame.time = time(object, "time");
    for (int word = 0; word < FRAME_WORDS; ++word)
        frame.words[word] = std::uint16_t(whole(object, FRAME_FIELDS[word], 0, WORD_MAX));
    return frame;
}

EventRecord readEvent(const Json &object, const std::string &sensor) {
    EventRecord event;
    event.sensor = sensor;
    event.id = optionalText(object, "id"); // older publishers send none
    event.time = time(object, "time");
    event.kind = text(object, "kind");
    if (event.kind.empty())
        throw Foreign{"kind is empty"};
    event.mvalue = optionalWhole<int>(object, "Mvalue", 0, WORD_MAX);
    event.lower = optionalWhole<int>(object, "lower", 0, WORD_MAX);
    event.upper = optionalWhole<int>(object, "upper", 0, WORD_MAX);
    event.extreme = optionalWhole<int>(object, "extreme", 0, WORD_MAX);
    event.durationMs = optionalWhole<std::int64_t>(object, "duration_ms", 0, COUNT_MAX);
    return event;
}

// The fields a status carries beside what is kept are checked as well: a
// message is taken whole or not at all.
StatusRecord readStatus(const Json &object, const std::string &sensor, Millis arrival) {
    StatusRecord status;
    status.sensor = sensor;
    status.state = text(object, "state");
    if (status.state.empty())
        throw Foreign{"state is empty"};
    status.time = object.contains("time") ? time(object, "time") : arrival;
    status.port = optionalText(object, "port");
    status.program = optionalText(object, "program");
    status.broker = optionalText(object, "broker");
    optionalText(object, "instance");
    optionalWhole<std::int64_t>(object, "dropped", 0, COUNT_MAX);
    optionalWhole<std::int64_t>(object, "events_dropped", 0, COUNT_MAX);
    return status;
}

InfoRecord readInfo(const Json &object, const std::string &sensor) {
    InfoRecord info;
    info.sensor = sensor;
    info.time = time(object, "time");
    info.firmware = text(object, "firmware");
    info.ccd = text(object, "ccd");
    info.pixels = int(whole(object, "pixels", 0, WORD_MAX));
    const Json &parameters = member(object, "parameters");
    if (!parameters.is_object())
        throw Foreign{"parameters is not an object"};
    for (int word = 0; word < PARAMETERS; ++word) {
        const char *name = parameterTable[word].name;
        const auto it = parameters.find(name);
        if (it == parameters.end())
            throw Foreign{std::string("parameters.") + name + " is missing"};
        info.parameters[word] =
            int(wholeValue(*it, std::string("parameters.") + name, 0, WORD_MAX));
    }
    return info;
}

bool sameSettings(const InfoRecord &a, const InfoRecord &b) {
    return a.firmware == b.firmware && a.ccd == b.ccd && a.pixels == b.pixels &&
           a.parameters == b.parameters;
}

bool sameStatus(const StatusRecord &a, const StatusRecord &b) {
    return a.state == b.state && a.port == b.port && a.program == b.program && a.broker == b.broker;
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + std::int64_t(doe) - 719468;
}

bool leapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    constexpr int DAYS[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leapYear(y) ? 29 : DAYS[m - 1];
}

// Reads `count` digits at `pos` into `value`.
bool digits(std::string_view s, std::size_t &pos, int count, int &value) {
    value = 0;
    for (int i = 0; i < count; ++i, ++pos) {
        if (pos >= s.size() || !std::isdigit(static_cast<unsigned char>(s[pos])))
            return false;
        value = value * 10 + (s[pos] - '0');
    }
    return true;
}

bool expect(std::string_view s, std::size_t &pos, char c) {
    if (pos >= s.size() || s[pos] != c)
        return false;
    ++pos;
    return true;
}

} // namespace

std::optional<Millis> parseIsoTime(std::string_view s) {
    std::size_t pos = 0;
    int year, month, day, hour, minute, second;
    if (!digits(s, pos, 4, year) || !expect(s, pos, '-') || !digits(s, pos, 2, month) ||
        !expect(s, pos, '-') || !digits(s, pos, 2, day) || !expect(s, pos, 'T') ||
        !digits(s, pos, 2, hour) || !expect(s, pos, ':') || !digits(s, pos, 2, minute) ||
        !expect(s, pos, ':') || !digits(s, pos, 2, second))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 60)
        return std::nullopt;
    second = std::min(second, 59); // a leap second: the second before it
    int ms = 0;
    if (pos < s.size() && s[pos] == '.') {
        ++pos;
        const std::size_t first = pos;
        for (int scale = 100; pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos]));
             ++pos, scale /= 10)
            ms += (s[pos] - '0') * scale; // digits past the millisecond add nothing
        if (pos == first)
            return std::nullopt;
    }
    const std::int64_t days = daysFromCivil(year, unsigned(month), unsigned(day));
    const Millis wall = ((days * 24 + hour) * 60 + minute) * 60000 + Millis{second} * 1000 + ms;
    if (pos == s.size()) { // no offset: the historian's local time
        std::tm local{};
        local.tm_year = year - 1900;
        local.tm_mon = month - 1;
        local.tm_mday = day;
        local.tm_hour = hour;
        local.tm_min = minute;
        local.tm_sec = second;
        local.tm_isdst = -1;
        const std::time_t t = std::mktime(&local);
        if (t == std::time_t(-1))
            return std::nullopt;
        return Millis{t} * 1000 + ms;
    }
    if (s[pos] == 'Z' && pos + 1 == s.size())
        return wall;
    const char sign = s[pos++];
    int offsetHours = 0, offsetMinutes = 0;
    if ((sign != '+' && sign != '-') || !digits(s, pos, 2, offsetHours))
        return std::nullopt;
    if (pos < s.size()) {
        expect(s, pos, ':');
        if (!digits(s, pos, 2, offsetMinutes) || pos != s.size())
            return std::nullopt;
    }
    if (offsetHours > 23 || offsetMinutes > 59)
        return std::nullopt;
    const Millis offset = (Millis{offsetHours} * 60 + offsetMinutes) * 60000;
    return sign == '+' ? wall - offset : wall + offset;
}

Ingest::Sensor &Ingest::sensor(const std::string &name) {
    return sensors_.try_emplace(name, name).first->second;
}

bool Ingest::take(std::string_view topic, std::string_view payload, Millis arrival, Batch &batch) {
    std::string name, leaf;
    try {
        if (const auto problem = splitTopic(topic, name, leaf))
            throw Foreign{*problem};
        const Json object = Json::parse(payload.begin(), payload.end(), nullptr, false);
        if (object.is_discarded())
            throw Foreign{"not JSON"};
        if (!object.is_object())
            throw Foreign{"not a JSON object"};
        if (leaf == "frame") {
            FrameRecord frame = readFrame(object, name);
            takeFrame(sensor(name), std::move(frame), batch);
        } else if (leaf == "event") {
            batch.events.push_back(readEvent(object, name));
        } else if (leaf == "status") {
            StatusRecord status = readStatus(object, name, arrival);
            takeStatus(sensor(name), std::move(status), batch);
        } else if (leaf == "info") {
            InfoRecord info = readInfo(object, name);
            takeInfo(sensor(name), std::move(info), batch);
        } else {
            throw Foreign{"not a topic the historian keeps"};
        }
    } catch (const Foreign &foreign) {
        ++foreign_;
        lastForeign_ = shownTopic(topic) + ": " + foreign.reason;
        return false;
    }
    ++taken_;
    return true;
}

void Ingest::takeFrame(Sensor &sensor, FrameRecord frame, Batch &batch) {
    bool gapClosed = false;
    if (sensor.openGap && frame.time > sensor.openGap->from) {
        sensor.openGap->to = frame.time;
        batch.gaps.push_back(std::move(*sensor.openGap));
        sensor.openGap.reset();
        gapClosed = true; // the status said why: no second gap for the same stretch
    }
    const auto gap = [&](std::string reason) {
        if (!gapClosed)
            batch.gaps.push_back({frame.sensor, std::min(sensor.lastFrameTime, frame.time),
                                  std::max(sensor.lastFrameTime, frame.time), std::move(reason)});
    };
    if (sensor.lastSeq > 0 && frame.seq <= sensor.lastSeq) {
        gap("restarted");
        sensor.seqStep = 0;
    } else if (sensor.lastSeq > 0 && sensor.seqStep > 0 &&
               frame.seq - sensor.lastSeq > sensor.seqStep) {
        gap("seq " + std::to_string(sensor.lastSeq) + " to " + std::to_string(frame.seq));
    }
    sensor.seqStep = std::gcd(sensor.seqStep, frame.seq - 1);
    sensor.lastSeq = frame.seq;
    sensor.lastFrameTime = frame.time;
    sensor.rollups.add(frame, batch.rollups);
    batch.frames.push_back(std::move(frame));
}

void Ingest::takeStatus(Sensor &sensor, StatusRecord status, Batch &batch) {
    if (status.state != "online") {
        sensor.rollups.flush(batch.rollups);
        if (sensor.openGap && sensor.openGap->reason != status.state &&
            status.time > sensor.openGap->from) {
            sensor.openGap->to = status.time;
            batch.gaps.push_back(std::move(*sensor.openGap));
            sensor.openGap.reset();
        }
        if (!sensor.openGap)
            sensor.openGap = GapRecord{status.sensor, status.time, status.time, status.state};
    }
    if (!status.program.empty())
        sensor.program = status.program;
    if (!sensor.lastStatus || !sameStatus(*sensor.lastStatus, status))
        batch.statuses.push_back(status);
    sensor.lastStatus = std::move(status);
}

void Ingest::takeInfo(Sensor &sensor, InfoRecord info, Batch &batch) {
    info.program = sensor.program;
    if (sensor.lastInfo && sameSettings(*sensor.lastInfo, info))
        return;
    sensor.lastInfo = info;
    batch.infos.push_back(std::move(info));
}

void Ingest::flush(Batch &batch) {
    for (auto &[name, sensor] : sensors_)
        sensor.rollups.flush(batch.rollups);
}

} // namespace historian

// Writing and reading the recording's CSV lines. Writing runs once per frame
// inside the measuring loops, so numbers go out with to_chars and the local
// time of a second is worked out once.
#include "record/frame_csv.h"

#include <charconv>
#include <ctime>

namespace record {

const std::array<const char *, FRAME_VALUES> FRAME_COLUMNS{
    "Ledge",   "Redge", "Mvalue",   "tVal",   "tTol",   "pix1", "edcnt",
    "mvstart", "mvend", "pixdelta", "anaMax", "anaMin", "in0",
};

namespace {

constexpr std::string_view TIME_SHAPE = "0000-00-00T00:00:00.000"; // 0: a digit

std::string_view withoutLineEnd(std::string_view line) {
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

std::string_view withoutByteOrderMark(std::string_view line) {
    if (line.substr(0, 3) == "\xEF\xBB\xBF")
        line.remove_prefix(3);
    return line;
}

void appendNumber(std::string &out, unsigned value) {
    char digits[8];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, static_cast<std::size_t>(end - digits));
}

bool isTime(std::string_view text) {
    if (text.size() != TIME_SHAPE.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (TIME_SHAPE[i] == '0' ? !digit : text[i] != TIME_SHAPE[i])
            return false;
    }
    return true;
}

// Cuts the next comma-separated field off `rest`; false when none is left.
bool nextField(std::string_view &rest, bool &more, std::string_view &field) {
    if (!more)
        return false;
    const auto comma = rest.find(',');
    field = rest.substr(0, comma);
    more = comma != std::string_view::npos;
    rest = more ? rest.substr(comma + 1) : std::string_view();
    return true;
}

bool toValue(std::string_view field, std::uint16_t &value) {
    if (field.empty() || field.size() > 5)
        return false;
    unsigned v = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), v);
    if (error != std::errc() || end != field.data() + field.size() || v > 0xFFFF)
        return false;
    value = static_cast<std::uint16_t>(v);
    return true;
}

// Reads "time,v1,...,vN" into time and values[0..n-1].
bool parseLine(std::string_view line, std::string &time, std::uint16_t *values, std::size_t n,
               std::string &problem) {
    std::string_view rest = withoutLineEnd(line);
    bool more = true;
    std::string_view field;
    nextField(rest, more, field);
    if (!isTime(field)) {
        problem = "the time is not of the form 2026-12-07T13:05:01.123";
        return false;
    }
    time.assign(field);
    for (std::size_t i = 0; i < n; ++i) {
        if (!nextField(rest, more, field)) {
            problem = std::to_string(n) + " values expected, " + std::to_string(i) + " found";
            return false;
        }
        if (!toValue(field, values[i])) {
            problem = "value " + std::to_string(i + 1) + " is not a number from 0 to 65535";
            return false;
        }
    }
    if (more) {
        problem = "more than " + std::to_string(n) + " values";
        return false;
    }
    return true;
}

} // namespace

std::string frameHeader() {
    std::string header = "time";
    for (const char *column : FRAME_COLUMNS)
        header.append(",").append(column);
    return header;
}

std::string videoHeader() {
    std::string header = "time";
    for (const char axis : {'x', 'y'})
        for (std::size_t i = 0; i < VIDEO_SAMPLES; ++i) {
            header.append(",").push_back(axis);
            appendNumber(header, static_cast<unsigned>(i));
        }
    return header;
}

std::string isoLocalTime(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count();
    // Floor division: times before 1970 keep their milliseconds positive.
    const long long seconds = ms / 1000 - (ms % 1000 < 0 ? 1 : 0);
    const int millis = static_cast<int>(ms - seconds * 1000);

    thread_local long long cachedSecond = -1;
    thread_local char cachedPrefix[32] = {};
    if (seconds != cachedSecond) {
        const std::time_t t = static_cast<std::time_t>(seconds);
        std::tm local{};
#ifdef _WIN32
        localtime_s(&local, &t);
#else
        localtime_r(&t, &local);
#endif
        if (std::strftime(cachedPrefix, sizeof cachedPrefix, "%Y-%m-%dT%H:%M:%S", &local) == 0)
            cachedPrefix[0] = '\0';
        cachedSecond = seconds;
    }
    std::string text = cachedPrefix;
    text.push_back('.');
    text.push_back(static_cast<char>('0' + millis / 100));
    text.push_back(static_cast<char>('0' + millis / 10 % 10));
    text.push_back(static_cast<char>('0' + millis % 10));
    return text;
}

std::string isoLocalTimeWithOffset(std::chrono::system_clock::time_point when) {
    const std::time_t t =
        std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(when));
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    char zone[8] = {}; // "+0100"
    std::string text = isoLocalTime(when);
    if (std::strftime(zone, sizeof zone, "%z", &local) != 5)
        return text; // no zone known: the time as it is
    text.append(zone, 3);
    text.push_back(':');
    text.append(zone + 3, 2);
    return text;
}

void appendFrameLine(std::string &out, std::string_view time, const FrameValues &values) {
    out.append(time);
    for (const std::uint16_t v : values) {
        out.push_back(',');
        appendNumber(out, v);
    }
    out.push_back('\n');
}

void appendVideoLine(std::string &out, std::string_view time, const std::uint16_t *x,
                     const std::uint16_t *y) {
    out.append(time);
    for (const std::uint16_t *row : {x, y})
        for (std::size_t i = 0; i < VIDEO_SAMPLES; ++i) {
            out.push_back(',');
            appendNumber(out, row[i]);
        }
    out.push_back('\n');
}

bool parseFrameLine(std::string_view line, FrameRecord &out, std::string &problem) {
    return parseLine(line, out.time, out.values.data(), FRAME_VALUES, problem);
}

bool parseVideoLine(std::string_view line, VideoRecord &out, std::string &problem) {
    std::array<std::uint16_t, 2 * VIDEO_SAMPLES> both{};
    if (!parseLine(line, out.time, both.data(), both.size(), problem))
        return false;
    for (std::size_t i = 0; i < VIDEO_SAMPLES; ++i) {
        out.x[i] = both[i];
        out.y[i] = both[VIDEO_SAMPLES + i];
    }
    return true;
}

bool isFrameHeader(std::string_view line) {
    return withoutLineEnd(withoutByteOrderMark(line)) == frameHeader();
}

bool isVideoHeader(std::string_view line) {
    return withoutLineEnd(withoutByteOrderMark(line)) == videoHeader();
}

namespace {

// "<base><suffix>" beside "<base>.csv"; any other name gets it appended.
std::string companionPath(const std::string &framesPath, const char *suffix) {
    constexpr std::string_view csv = ".csv";
    if (framesPath.size() > csv.size() &&
        framesPath.compare(framesPath.size() - csv.size(), csv.size(), csv) == 0)
        return framesPath.substr(0, framesPath.size() - csv.size()) + suffix;
    return framesPath + suffix;
}

} // namespace

std::string videoPathFor(const std::string &framesPath) {
    return companionPath(framesPath, "-video.csv");
}

std::string eventsPathFor(const std::string &framesPath) {
    return companionPath(framesPath, "-events.csv");
}

std::string descriptionPathFor(const std::string &framesPath) {
    return companionPath(framesPath, ".json");
}

} // namespace record

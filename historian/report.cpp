// The shift report's figures. A shift begins at each of the given clock
// times on each local day, so a shift that spans a change of the clocks is
// an hour shorter or longer, as the people on it lived it. σ is the sample
// standard deviation, from the minute roll-ups' count, sum and sum of
// squares; with fewer than two frames, or σ = 0, there is no Cp or Cpk.
#include "historian/report.h"

#include <algorithm>
#include <cmath>
#include <regex>
#include <set>

#include "historian/time_spec.h"

namespace historian {

namespace {

constexpr std::size_t TREND_POINTS = 400; // across the PDF's small trend

// The bucket that gives at most about TREND_POINTS points across the span.
int trendBucket(Span span) {
    static const int buckets[] = {1, 10, 60, 600, 3600, 86400};
    for (const int seconds : buckets)
        if ((span.to - span.from) / (seconds * 1000LL) <= static_cast<long long>(TREND_POINTS))
            return seconds;
    return 86400;
}

} // namespace

bool parseShifts(const std::string &text, std::vector<int> &minutes, std::string &problem) {
    static const std::regex clock(R"(^(\d{1,2}):(\d{2})$)");
    std::set<int> found;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        const std::string part = text.substr(at, comma - at);
        std::smatch m;
        if (!std::regex_match(part, m, clock) || std::stoi(m[1]) > 23 || std::stoi(m[2]) > 59) {
            problem = "'" + part + "' is not a clock time; give e.g. 06:00,14:00,22:00";
            return false;
        }
        found.insert(std::stoi(m[1]) * 60 + std::stoi(m[2]));
        at = comma + 1;
    }
    minutes.assign(found.begin(), found.end());
    return true;
}

std::vector<Span> shiftsIn(Span span, const std::vector<int> &minutes) {
    std::vector<Millis> starts;
    // From the day before (its last shift runs into the span) to the day after.
    for (int day = -1;; ++day) {
        const Millis midnight = localMidnight(span.from, day);
        if (midnight > span.to)
            break;
        for (const int minute : minutes)
            if (const std::optional<Millis> start = localClockTime(midnight, minute))
                starts.push_back(*start);
    }
    std::sort(starts.begin(), starts.end());
    std::vector<Span> shifts;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const Millis end = i + 1 < starts.size() ? starts[i + 1] : span.to;
        const Span cut{std::max(starts[i], span.from), std::min(end, span.to)};
        if (cut.from < cut.to)
            shifts.push_back(cut);
    }
    if (shifts.empty() && span.from < span.to)
        shifts.push_back(span);
    return shifts;
}

void capability(const Stats &stats, ShiftFigures &figures) {
    figures.stats = stats;
    if (stats.count == 0)
        return;
    const double n = static_cast<double>(stats.count);
    const double mean = stats.sum / n;
    figures.mean = mean;
    if (stats.count < 2)
        return;
    const double variance = std::max(0.0, (stats.sumSquares - stats.sum * mean) / (n - 1));
    const double sd = std::sqrt(variance);
    figures.sd = sd;
    // A σ that is rounding noise beside the values is no spread at all.
    if (sd <= 1e-9 * std::max(1.0, std::fabs(mean)))
        return;
    figures.cp = (stats.upper - stats.lower) / (6 * sd);
    figures.cpk = std::min(stats.upper - mean, mean - stats.lower) / (3 * sd);
}

ShiftReport makeReport(Store &store, Span span, const std::vector<int> &shiftMinutes, Millis now) {
    ShiftReport report;
    report.span = span;
    report.shifts = shiftsIn(span, shiftMinutes);
    report.store = store.describe();
    report.made = now;
    const std::vector<std::string> sensors = store.sensors();
    for (const Span &shift : report.shifts)
        for (const std::string &sensor : sensors) {
            ShiftFigures row;
            row.sensor = sensor;
            row.shift = shift;
            capability(store.stats(sensor, shift), row);
            row.excursions =
                static_cast<long long>(store.events(sensor, shift, {"out of tolerance"}).size());
            for (const EventRecord &back : store.events(sensor, shift, {"back in tolerance"}))
                if (back.durationMs &&
                    (!row.longestExcursion || *back.durationMs > *row.longestExcursion))
                    row.longestExcursion = *back.durationMs;
            for (const StateSpan &state : stateSpans(store, sensor, shift, now))
                if (state.state != "online")
                    row.notOnline += state.to - state.from;
            report.rows.push_back(std::move(row));
        }
    const int bucket = trendBucket(span);
    for (const std::string &sensor : sensors)
        report.trends.push_back({sensor, bucket, store.trend(sensor, span, bucket)});
    // No sensor with anything in the span: nothing to report.
    const bool anything =
        std::any_of(report.rows.begin(), report.rows.end(), [](const ShiftFigures &r) {
            return r.stats.count > 0 || r.excursions > 0 || r.notOnline > 0;
        });
    if (!anything)
        report.rows.clear();
    return report;
}

Table reportTable(const ShiftReport &report) {
    using Kind = Table::Kind;
    Table table;
    table.columns = {{"shift"},
                     {"end"},
                     {"sensor"},
                     {"frames", Kind::Number},
                     {"mean", Kind::Number},
                     {"sd", Kind::Number},
                     {"min", Kind::Number},
                     {"max", Kind::Number},
                     {"lower", Kind::Number},
                     {"upper", Kind::Number},
                     {"Cp", Kind::Number},
                     {"Cpk", Kind::Number},
                     {"out_percent", Kind::Number},
                     {"excursions", Kind::Number},
                     {"longest_excursion", Kind::Duration},
                     {"not_online", Kind::Duration}};
    const auto shown = [](const std::optional<double> &value, int decimals) {
        return value ? fixed(*value, decimals) : std::string("-");
    };
    for (const ShiftFigures &r : report.rows) {
        const bool frames = r.stats.count > 0;
        table.rows.push_back(
            {formatTime(r.shift.from), formatTime(r.shift.to), r.sensor,
             std::to_string(r.stats.count), shown(r.mean, 2), shown(r.sd, 3),
             frames ? std::to_string(r.stats.min) : "-", frames ? std::to_string(r.stats.max) : "-",
             frames ? std::to_string(r.stats.lower) : "-",
             frames ? std::to_string(r.stats.upper) : "-", shown(r.cp, 2), shown(r.cpk, 2),
             frames ? fixed(100.0 * static_cast<double>(r.stats.out) /
                                static_cast<double>(r.stats.count),
                            2)
                    : "-",
             std::to_string(r.excursions),
             r.longestExcursion ? std::to_string(*r.longestExcursion) : "-",
             std::to_string(r.notOnline)});
    }
    return table;
}

} // namespace historian

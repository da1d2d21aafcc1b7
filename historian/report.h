// The shift report: per sensor and shift the frames, mean, standard
// deviation, least and greatest measured value, Cp and Cpk against the
// tolerance band, the share of frames out of it, the excursions and the
// longest, and the time the sensor was not online. Everything comes from
// what the store keeps for ever or long (the minute roll-ups' count, sum and
// sum of squares, the events, the statuses), not from the raw frames, so a
// report of last year's shifts adds up as one of yesterday's.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "historian/query.h"
#include "historian/store.h"

namespace historian {

// "06:00,14:00,22:00" as minutes of the day, sorted; false with why.
bool parseShifts(const std::string &text, std::vector<int> &minutes, std::string &problem);

// The shifts that meet [span.from, span.to), cut to it, oldest first: a
// shift begins at each of `minutes` on each local day.
std::vector<Span> shiftsIn(Span span, const std::vector<int> &minutes);

struct ShiftFigures {
    std::string sensor;
    Span shift;
    Stats stats;
    std::optional<double> mean, sd, cp, cpk; // none with too few frames or σ = 0
    long long excursions = 0;
    std::optional<Millis> longestExcursion;
    Millis notOnline = 0;
};

// Cp = (upper - lower) / 6σ and Cpk = min(upper - mean, mean - lower) / 3σ,
// σ the sample standard deviation from count, sum and sum of squares.
void capability(const Stats &stats, ShiftFigures &figures);

struct SensorTrend {
    std::string sensor;
    int bucketSeconds = 60;
    std::vector<TrendPoint> points;
};

struct ShiftReport {
    Span span;
    std::vector<Span> shifts;
    std::vector<ShiftFigures> rows;  // by shift, then sensor
    std::vector<SensorTrend> trends; // over the whole span, for the PDF
    std::string store;               // the store's describe()
    Millis made = 0;
};

// Every sensor the store knows, in every shift of the span.
ShiftReport makeReport(Store &store, Span span, const std::vector<int> &shiftMinutes, Millis now);

// The report as rows: shift, sensor, frames, mean, sd, ...
Table reportTable(const ShiftReport &report);

} // namespace historian

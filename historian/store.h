// One interface over the places the historian keeps a plant: an SQLite file
// (the default, nothing to set up) or a PostgreSQL database (a plant that
// outgrows one file). The service appends batches; the queries read. SQL
// lives in the backends only, with placeholders; each backend creates or
// migrates its schema (with a version) when it opens.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "historian/records.h"

namespace historian {

// The store cannot be written or read now (PostgreSQL away, disk full, a
// locked file): the service spools and tries again; a query says why.
class StoreUnavailable : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// [from, to)
struct Span {
    Millis from = 0, to = 0;
};

// One bucket of a trend; buckets without frames are not returned (a gap).
struct TrendPoint {
    Millis start = 0;
    std::int64_t count = 0;
    double mean = 0;
    int min = 0, max = 0;
    int lower = 0, upper = 0; // the band of the bucket's last frame or roll-up
};

// What the roll-ups say of a span, for standard deviation, Cp and Cpk.
struct Stats {
    std::int64_t count = 0;
    double sum = 0, sumSquares = 0;
    int min = 0, max = 0;
    std::int64_t out = 0;
    int lower = 0, upper = 0; // the band of the span's last roll-up
};

// How long each kind of record is kept; hour roll-ups, events, statuses,
// infos and gaps are kept for ever.
struct Retention {
    int rawDays = 7;      // frames
    int minuteDays = 400; // minute roll-ups
};

struct Expired {
    std::int64_t frames = 0, minuteRollups = 0;
};

class Store {
  public:
    virtual ~Store() = default;

    // "SQLite /var/lib/vexa-tb-historian/plant.db, schema 1" and the like.
    virtual std::string describe() const = 0;

    // Everything in one transaction: all of it is kept, or none of it and
    // StoreUnavailable is thrown. Roll-ups merge into those already kept.
    virtual void append(const Batch &batch) = 0;

    // The sensors that have anything stored, by name.
    virtual std::vector<std::string> sensors() = 0;

    // Mvalue per bucket of `bucketSeconds` (1 and up), buckets aligned on
    // multiples of the bucket since the epoch: from the raw frames below a
    // minute, from the minute roll-ups below an hour, else from the hour
    // roll-ups (the service picks the bucket; a store does as asked).
    virtual std::vector<TrendPoint> trend(const std::string &sensor, Span span,
                                          int bucketSeconds) = 0;
    // The span's raw frames, oldest first, at most `limit`.
    virtual std::vector<FrameRecord> frames(const std::string &sensor, Span span,
                                            std::size_t limit) = 0;
    // Sums of the minute roll-ups that start in the span.
    virtual Stats stats(const std::string &sensor, Span span) = 0;

    // Oldest first. An empty sensor: every sensor; empty kinds: every kind.
    virtual std::vector<EventRecord> events(const std::string &sensor, Span span,
                                            const std::vector<std::string> &kinds) = 0;
    virtual std::vector<StatusRecord> statuses(const std::string &sensor, Span span) = 0;
    virtual std::vector<GapRecord> gaps(const std::string &sensor, Span span) = 0;
    // Infos kept in the span, oldest first (an empty sensor: every sensor).
    virtual std::vector<InfoRecord> infos(const std::string &sensor, Span span) = 0;
    // The info in force at `at`: the last kept at or before it.
    virtual std::optional<InfoRecord> infoAt(const std::string &sensor, Millis at) = 0;
    // The status in force at `at`.
    virtual std::optional<StatusRecord> statusAt(const std::string &sensor, Millis at) = 0;

    // Drops what is older than the retention allows at `now`.
    virtual Expired expire(Millis now, const Retention &retention) = 0;
};

} // namespace historian

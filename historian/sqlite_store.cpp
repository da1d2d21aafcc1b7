// The SQLite store. Layout (schema 1):
//
//   sensors  (id, name)                      names once, rows carry the id
//   frames   (sensor_id, time, seq, Ledge .. in0)        index (sensor_id, time)
//   minutes, hours (sensor_id, start, count, sum, sum_squares, min_value,
//            max_value, out, lower, upper)   primary key (sensor_id, start)
//   events   (sensor_id, time, id, kind, mvalue, lower, upper, extreme,
//            duration_ms)                    unique (sensor_id, id) where id <> ''
//   statuses (sensor_id, time, state, port, program, broker)
//                                            unique (sensor_id, time, state)
//   infos    (sensor_id, time, firmware, ccd, pixels, program, and the sixteen
//            parameters as columns named as in params/parameter_table.h, in
//            its order)                      unique (sensor_id, time)
//   gaps     (sensor_id, from_time, to_time, reason)
//
// Times are milliseconds since the epoch (UTC). A status or info delivered
// again (the broker keeps them retained and sends them to each new
// subscription) is kept once; an event sent again (at least once delivery)
// once per id. Roll-ups merge on conflict in SQL. Queries group in SQL; a
// bucket's band is that of its last frame or roll-up (SQLite's max() with
// bare columns). Retention deletes per sensor along (sensor_id, time), so no
// index on time alone slows the inserts, and in a transaction per sensor, so
// the writer never waits long.
#include "historian/sqlite_store.h"

#include <sqlite3.h>

#include <limits>
#include <nlohmann/json.hpp>

#include "limits/tolerance.h"

namespace historian {

namespace {

constexpr Millis DAY_MS = 86400000;

// MIGRATIONS[n] takes the schema from version n to n + 1 and says so.
constexpr const char *MIGRATIONS[] = {
    R"sql(
CREATE TABLE sensors (
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL UNIQUE CHECK (name <> ''));
CREATE TABLE frames (
    sensor_id INTEGER NOT NULL, time INTEGER NOT NULL, seq INTEGER NOT NULL,
    Ledge INTEGER NOT NULL, Redge INTEGER NOT NULL, Mvalue INTEGER NOT NULL,
    tVal INTEGER NOT NULL, tTol INTEGER NOT NULL, pix1 INTEGER NOT NULL,
    edcnt INTEGER NOT NULL, mvstart INTEGER NOT NULL, mvend INTEGER NOT NULL,
    pixdelta INTEGER NOT NULL, anaMax INTEGER NOT NULL, anaMin INTEGER NOT NULL,
    in0 INTEGER NOT NULL);
CREATE INDEX frames_by_sensor_time ON frames (sensor_id, time);
CREATE TABLE minutes (
    sensor_id INTEGER NOT NULL, start INTEGER NOT NULL, count INTEGER NOT NULL,
    sum REAL NOT NULL, sum_squares REAL NOT NULL,
    min_value INTEGER NOT NULL, max_value INTEGER NOT NULL, out INTEGER NOT NULL,
    lower INTEGER NOT NULL, upper INTEGER NOT NULL,
    PRIMARY KEY (sensor_id, start)) WITHOUT ROWID;
CREATE TABLE hours (
    sensor_id INTEGER NOT NULL, start INTEGER NOT NULL, count INTEGER NOT NULL,
    sum REAL NOT NULL, sum_squares REAL NOT NULL,
    min_value INTEGER NOT NULL, max_value INTEGER NOT NULL, out INTEGER NOT NULL,
    lower INTEGER NOT NULL, upper INTEGER NOT NULL,
    PRIMARY KEY (sensor_id, start)) WITHOUT ROWID;
CREATE TABLE events (
    sensor_id INTEGER NOT NULL, time INTEGER NOT NULL, id TEXT NOT NULL, kind TEXT NOT NULL,
    mvalue INTEGER, lower INTEGER, upper INTEGER, extreme INTEGER, duration_ms INTEGER);
CREATE UNIQUE INDEX events_once_by_id ON events (sensor_id, id) WHERE id <> '';
CREATE INDEX events_by_sensor_time ON events (sensor_id, time);
CREATE INDEX events_by_time ON events (time);
CREATE TABLE statuses (
    sensor_id INTEGER NOT NULL, time INTEGER NOT NULL, state TEXT NOT NULL,
    port TEXT NOT NULL, program TEXT NOT NULL, broker TEXT NOT NULL,
    UNIQUE (sensor_id, time, state));
CREATE INDEX statuses_by_time ON statuses (time);
CREATE TABLE infos (
    sensor_id INTEGER NOT NULL, time INTEGER NOT NULL,
    firmware TEXT NOT NULL, ccd TEXT NOT NULL, pixels INTEGER NOT NULL, program TEXT NOT NULL,
    power INTEGER NOT NULL, rs232Mode INTEGER NOT NULL, vThd INTEGER NOT NULL,
    bVal INTEGER NOT NULL, polarity INTEGER NOT NULL, eMode INTEGER NOT NULL,
    eBeg INTEGER NOT NULL, eEnd INTEGER NOT NULL, tVal INTEGER NOT NULL, tTol INTEGER NOT NULL,
    iGain INTEGER NOT NULL, ePoti INTEGER NOT NULL, ccdMode INTEGER NOT NULL,
    pStart INTEGER NOT NULL, anaMode INTEGER NOT NULL, para15 INTEGER NOT NULL,
    UNIQUE (sensor_id, time));
CREATE INDEX infos_by_time ON infos (time);
CREATE TABLE gaps (
    sensor_id INTEGER NOT NULL, from_time INTEGER NOT NULL, to_time INTEGER NOT NULL,
    reason TEXT NOT NULL);
CREATE INDEX gaps_by_sensor_from ON gaps (sensor_id, from_time);
PRAGMA user_version = 1;
)sql",
};
static_assert(std::size(MIGRATIONS) == SQLITE_SCHEMA_VERSION);

constexpr const char *FIND_SENSOR = "SELECT id FROM sensors WHERE name = ?1";
constexpr const char *ADD_SENSOR = "INSERT INTO sensors (name) VALUES (?1) ON CONFLICT DO NOTHING";
constexpr const char *LIST_SENSORS = "SELECT name FROM sensors ORDER BY name";
constexpr const char *SENSOR_IDS = "SELECT id FROM sensors ORDER BY id";

constexpr const char *INSERT_FRAME =
    "INSERT INTO frames VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, "
    "?15, ?16)";
constexpr const char *INSERT_EVENT =
    "INSERT INTO events VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9) ON CONFLICT DO NOTHING";
constexpr const char *INSERT_STATUS =
    "INSERT INTO statuses VALUES (?1, ?2, ?3, ?4, ?5, ?6) ON CONFLICT DO NOTHING";
constexpr const char *INSERT_INFO =
    "INSERT INTO infos VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, "
    "?15, ?16, ?17, ?18, ?19, ?20, ?21, ?22) ON CONFLICT DO NOTHING";
constexpr const char *INSERT_GAP = "INSERT INTO gaps VALUES (?1, ?2, ?3, ?4)";

#define MERGE_ROLLUP(table)                                                                        \
    "INSERT INTO " table " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10) "                      \
    "ON CONFLICT (sensor_id, start) DO UPDATE SET count = count + excluded.count, "                \
    "sum = sum + excluded.sum, sum_squares = sum_squares + excluded.sum_squares, "                 \
    "min_value = min(min_value, excluded.min_value), "                                             \
    "max_value = max(max_value, excluded.max_value), out = out + excluded.out, "                   \
    "lower = excluded.lower, upper = excluded.upper"
constexpr const char *MERGE_MINUTE = MERGE_ROLLUP("minutes");
constexpr const char *MERGE_HOUR = MERGE_ROLLUP("hours");

// ?1 sensor, ?2 from, ?3 to, ?4 bucket (ms). Columns: bucket, count, sum,
// min, max, and the last row's band (raw: its tVal and tTol).
constexpr const char *RAW_TREND =
    "WITH f AS (SELECT time - (time % ?4 + ?4) % ?4 AS bucket, time, Mvalue, tVal, tTol "
    "FROM frames WHERE sensor_id = ?1 AND time >= ?2 AND time < ?3) "
    "SELECT a.bucket, a.n, a.total, a.least, a.most, l.tVal, l.tTol FROM "
    "(SELECT bucket, count(*) AS n, sum(Mvalue) AS total, min(Mvalue) AS least, "
    "max(Mvalue) AS most FROM f GROUP BY bucket) AS a "
    "JOIN (SELECT bucket, max(time), tVal, tTol FROM f GROUP BY bucket) AS l "
    "ON l.bucket = a.bucket ORDER BY a.bucket";
#define ROLLUP_TREND(table)                                                                        \
    "WITH r AS (SELECT start - (start % ?4 + ?4) % ?4 AS bucket, start, count, sum, min_value, "   \
    "max_value, lower, upper FROM " table " WHERE sensor_id = ?1 AND start >= ?2 AND start < ?3) " \
    "SELECT a.bucket, a.n, a.total, a.least, a.most, l.lower, l.upper FROM "                       \
    "(SELECT bucket, sum(count) AS n, sum(sum) AS total, min(min_value) AS least, "                \
    "max(max_value) AS most FROM r GROUP BY bucket) AS a "                                         \
    "JOIN (SELECT bucket, max(start), lower, upper FROM r GROUP BY bucket) AS l "                  \
    "ON l.bucket = a.bucket ORDER BY a.bucket"
constexpr const char *MINUTE_TREND = ROLLUP_TREND("minutes");
constexpr const char *HOUR_TREND = ROLLUP_TREND("hours");

constexpr const char *SELECT_FRAMES =
    "SELECT time, seq, Ledge, Redge, Mvalue, tVal, tTol, pix1, edcnt, mvstart, mvend, pixdelta, "
    "anaMax, anaMin, in0 FROM frames WHERE sensor_id = ?1 AND time >= ?2 AND time < ?3 "
    "ORDER BY time, rowid LIMIT ?4";
constexpr const char *STATS_SUMS =
    "SELECT count(*), sum(count), sum(sum), sum(sum_squares), min(min_value), max(max_value), "
    "sum(out) FROM minutes WHERE sensor_id = ?1 AND start >= ?2 AND start < ?3";
constexpr const char *STATS_BAND = "SELECT lower, upper FROM minutes WHERE sensor_id = ?1 AND "
                                   "start >= ?2 AND start < ?3 ORDER BY start DESC LIMIT 1";

// Reads of records of one sensor (?1 its name) or of every sensor (?1 ''),
// two texts each so that either uses its index.
#define OF_ONE "s.name = ?1 AND "
#define OF_EVERY "?1 = '' AND "
#define SELECT_EVENTS(which)                                                                       \
    "SELECT s.name, e.time, e.id, e.kind, e.mvalue, e.lower, e.upper, e.extreme, e.duration_ms "   \
    "FROM events e JOIN sensors s ON s.id = e.sensor_id WHERE " which                              \
    "e.time >= ?2 AND e.time < ?3 AND (?4 IS NULL OR e.kind IN (SELECT value FROM "                \
    "json_each(?4))) "                                                                             \
    "ORDER BY e.time, e.rowid"
#define SELECT_STATUSES(which)                                                                     \
    "SELECT s.name, t.time, t.state, t.port, t.program, t.broker FROM statuses t "                 \
    "JOIN sensors s ON s.id = t.sensor_id WHERE " which "t.time >= ?2 AND t.time < ?3 "            \
    "ORDER BY t.time, t.rowid"
// A gap is in a span when the two overlap.
#define SELECT_GAPS(which)                                                                         \
    "SELECT s.name, g.from_time, g.to_time, g.reason FROM gaps g "                                 \
    "JOIN sensors s ON s.id = g.sensor_id WHERE " which "g.from_time < ?3 AND g.to_time > ?2 "     \
    "ORDER BY g.from_time, g.rowid"
#define INFO_COLUMNS                                                                               \
    "s.name, i.time, i.firmware, i.ccd, i.pixels, i.program, i.power, i.rs232Mode, i.vThd, "       \
    "i.bVal, i.polarity, i.eMode, i.eBeg, i.eEnd, i.tVal, i.tTol, i.iGain, i.ePoti, i.ccdMode, "   \
    "i.pStart, i.anaMode, i.para15 FROM infos i JOIN sensors s ON s.id = i.sensor_id "
#define SELECT_INFOS(which)                                                                        \
    "SELECT " INFO_COLUMNS "WHERE " which "i.time >= ?2 AND i.time < ?3 ORDER BY i.time, i.rowid"
constexpr const char *EVENTS_OF_ONE = SELECT_EVENTS(OF_ONE);
constexpr const char *EVENTS_OF_EVERY = SELECT_EVENTS(OF_EVERY);
constexpr const char *STATUSES_OF_ONE = SELECT_STATUSES(OF_ONE);
constexpr const char *STATUSES_OF_EVERY = SELECT_STATUSES(OF_EVERY);
constexpr const char *GAPS_OF_ONE = SELECT_GAPS(OF_ONE);
constexpr const char *GAPS_OF_EVERY = SELECT_GAPS(OF_EVERY);
constexpr const char *INFOS_OF_ONE = SELECT_INFOS(OF_ONE);
constexpr const char *INFOS_OF_EVERY = SELECT_INFOS(OF_EVERY);
constexpr const char *INFO_AT =
    "SELECT " INFO_COLUMNS "WHERE s.name = ?1 AND i.time <= ?2 ORDER BY i.time DESC LIMIT 1";
constexpr const char *STATUS_AT =
    "SELECT s.name, t.time, t.state, t.port, t.program, t.broker FROM statuses t "
    "JOIN sensors s ON s.id = t.sensor_id WHERE s.name = ?1 AND t.time <= ?2 "
    "ORDER BY t.time DESC, t.rowid DESC LIMIT 1";

constexpr const char *EXPIRE_FRAMES = "DELETE FROM frames WHERE sensor_id = ?1 AND time < ?2";
constexpr const char *EXPIRE_MINUTES = "DELETE FROM minutes WHERE sensor_id = ?1 AND start < ?2";

} // namespace

void SqliteStore::StatementDeleter::operator()(sqlite3_stmt *statement) const {
    sqlite3_finalize(statement);
}

void SqliteStore::ConnectionDeleter::operator()(sqlite3 *db) const {
    sqlite3_close_v2(db);
}

// One run of a cached statement: binds the values in order, steps, and
// resets the statement when it goes, however the run ended.
class SqliteStore::Query {
  public:
    template <typename... Values>
    Query(SqliteStore &store, const char *sql, const Values &...values)
        : store_(store), statement_(store.statement(sql)) {
        [[maybe_unused]] int index = 0;
        (bind(++index, values), ...);
    }
    ~Query() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    Query(const Query &) = delete;
    Query &operator=(const Query &) = delete;

    // True with a row to read, false when done.
    bool next() {
        const int rc = sqlite3_step(statement_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            store_.fail();
        return false;
    }
    void run() {
        while (next()) {
        }
    }

    bool isNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
    std::int64_t integer(int column) const { return sqlite3_column_int64(statement_, column); }
    int number(int column) const { return sqlite3_column_int(statement_, column); }
    double real(int column) const { return sqlite3_column_double(statement_, column); }
    std::string text(int column) const {
        const auto *bytes = sqlite3_column_text(statement_, column);
        return bytes ? std::string(reinterpret_cast<const char *>(bytes),
                                   std::size_t(sqlite3_column_bytes(statement_, column)))
                     : std::string();
    }
    template <typename T> std::optional<T> optional(int column) const {
        if (isNull(column))
            return std::nullopt;
        return T(integer(column));
    }

  private:
    void check(int rc) {
        if (rc != SQLITE_OK)
            store_.fail();
    }
    void bind(int index, int value) { check(sqlite3_bind_int(statement_, index, value)); }
    void bind(int index, std::int64_t value) {
        check(sqlite3_bind_int64(statement_, index, value));
    }
    void bind(int index, double value) { check(sqlite3_bind_double(statement_, index, value)); }
    void bind(int index, const std::string &value) {
        check(sqlite3_bind_text(statement_, index, value.data(), int(value.size()),
                                SQLITE_TRANSIENT));
    }
    void bind(int index, std::nullptr_t) { check(sqlite3_bind_null(statement_, index)); }
    template <typename T> void bind(int index, const std::optional<T> &value) {
        if (value)
            bind(index, *value);
        else
            bind(index, nullptr);
    }

    SqliteStore &store_;
    sqlite3_stmt *statement_;
};

// BEGIN IMMEDIATE (the write lock at once, waiting the busy timeout for it)
// and, unless committed, ROLLBACK when it goes.
class SqliteStore::Transaction {
  public:
    explicit Transaction(SqliteStore &store) : store_(store) { store_.exec("BEGIN IMMEDIATE"); }
    ~Transaction() {
        if (!sqlite3_get_autocommit(store_.db_.get())) // some errors end it already
            sqlite3_exec(store_.db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit() { store_.exec("COMMIT"); }

  private:
    SqliteStore &store_;
};

SqliteStore::SqliteStore(const std::string &path, Access access, int busyTimeoutMs) : path_(path) {
    const int flags = access == Access::ReadOnly ? SQLITE_OPEN_READONLY
                                                 : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    db_.reset(db); // closed on every way out, also when the open failed
    if (rc != SQLITE_OK)
        fail("cannot open");
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, busyTimeoutMs);
    migrate(access);
}

SqliteStore::~SqliteStore() {
    statements_.clear(); // finalized before the connection closes
}

void SqliteStore::fail(const std::string &doing) const {
    const char *why = db_ ? sqlite3_errmsg(db_.get()) : "out of memory";
    throw StoreUnavailable((doing.empty() ? "" : doing + " ") + path_ + ": " + why);
}

void SqliteStore::exec(const char *sql) {
    if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail();
}

sqlite3_stmt *SqliteStore::statement(const char *sql) {
    auto found = statements_.find(sql);
    if (found != statements_.end())
        return found->second.get();
    sqlite3_stmt *prepared = nullptr;
    if (sqlite3_prepare_v3(db_.get(), sql, -1, SQLITE_PREPARE_PERSISTENT, &prepared, nullptr) !=
        SQLITE_OK)
        fail();
    return statements_.emplace(sql, Statement(prepared)).first->second.get();
}

int SqliteStore::schemaVersion() {
    int version = 0;
    {
        Query query(*this, "PRAGMA user_version");
        if (query.next())
            version = query.number(0);
    }
    return version;
}

void SqliteStore::migrate(Access access) {
    schema_ = schemaVersion();
    if (schema_ > SQLITE_SCHEMA_VERSION)
        throw std::runtime_error(path_ + " has schema " + std::to_string(schema_) +
                                 ", newer than this vexa-tb-historian knows (" +
                                 std::to_string(SQLITE_SCHEMA_VERSION) +
                                 "): use a newer vexa-tb-historian");
    if (access == Access::ReadOnly) {
        if (schema_ < SQLITE_SCHEMA_VERSION)
            throw StoreUnavailable(path_ + " has schema " + std::to_string(schema_) +
                                   ": the historian has not written it yet");
        return;
    }
    // WAL is kept in the file: set after the version check, which changes nothing.
    exec("PRAGMA journal_mode = WAL");
    exec("PRAGMA synchronous = NORMAL");
    while (schema_ < SQLITE_SCHEMA_VERSION) {
        Transaction transaction(*this);
        schema_ = schemaVersion(); // another process may have migrated it meanwhile
        if (schema_ >= SQLITE_SCHEMA_VERSION)
            break;
        exec(MIGRATIONS[schema_]);
        transaction.commit();
        schema_ = schemaVersion();
    }
}

std::string SqliteStore::describe() const {
    return "SQLite " + path_ + " (schema " + std::to_string(schema_) + ")";
}

std::optional<std::int64_t> SqliteStore::sensorId(const std::string &name) {
    if (const auto known = sensorIds_.find(name); known != sensorIds_.end())
        return known->second;
    Query query(*this, FIND_SENSOR, name);
    if (!query.next())
        return std::nullopt;
    return sensorIds_[name] = query.integer(0);
}

std::int64_t SqliteStore::sensorIdForWriting(const std::string &name) {
    if (const auto known = sensorIds_.find(name); known != sensorIds_.end())
        return known->second;
    if (const auto added = pendingSensorIds_.find(name); added != pendingSensorIds_.end())
        return added->second;
    Query(*this, ADD_SENSOR, name).run(); // "" breaks the CHECK: the batch fails whole
    Query query(*this, FIND_SENSOR, name);
    if (!query.next())
        fail("cannot add the sensor " + name + " to");
    return pendingSensorIds_[name] = query.integer(0);
}

void SqliteStore::append(const Batch &batch) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (batch.empty())
        return;
    pendingSensorIds_.clear();
    try {
        Transaction transaction(*this);
        appendRecords(batch);
        transaction.commit();
    } catch (...) {
        pendingSensorIds_.clear(); // rolled back with the rest
        throw;
    }
    sensorIds_.merge(pendingSensorIds_);
}

void SqliteStore::appendRecords(const Batch &batch) {
    for (const FrameRecord &f : batch.frames) {
        const auto &w = f.words;
        Query(*this, INSERT_FRAME, sensorIdForWriting(f.sensor), f.time, f.seq, w[0], w[1], w[2],
              w[3], w[4], w[5], w[6], w[7], w[8], w[9], w[10], w[11], w[12])
            .run();
    }
    for (const EventRecord &e : batch.events)
        Query(*this, INSERT_EVENT, sensorIdForWriting(e.sensor), e.time, e.id, e.kind, e.mvalue,
              e.lower, e.upper, e.extreme, e.durationMs)
            .run();
    for (const StatusRecord &s : batch.statuses)
        Query(*this, INSERT_STATUS, sensorIdForWriting(s.sensor), s.time, s.state, s.port,
              s.program, s.broker)
            .run();
    for (const InfoRecord &i : batch.infos) {
        const auto &p = i.parameters;
        Query(*this, INSERT_INFO, sensorIdForWriting(i.sensor), i.time, i.firmware, i.ccd, i.pixels,
              i.program, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8], p[9], p[10], p[11],
              p[12], p[13], p[14], p[15])
            .run();
    }
    for (const GapRecord &g : batch.gaps)
        Query(*this, INSERT_GAP, sensorIdForWriting(g.sensor), g.from, g.to, g.reason).run();
    for (const Rollup &r : batch.rollups) {
        if (r.seconds != 60 && r.seconds != 3600)
            throw StoreUnavailable("cannot keep a roll-up of " + std::to_string(r.seconds) +
                                   " s in " + path_ + ": minutes and hours only");
        if (r.count > 0)
            Query(*this, r.seconds == 60 ? MERGE_MINUTE : MERGE_HOUR, sensorIdForWriting(r.sensor),
                  r.start, r.count, r.sum, r.sumSquares, r.min, r.max, r.out, r.lower, r.upper)
                .run();
    }
}

std::vector<std::string> SqliteStore::sensors() {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> names;
    Query query(*this, LIST_SENSORS);
    while (query.next())
        names.push_back(query.text(0));
    return names;
}

std::vector<TrendPoint> SqliteStore::trend(const std::string &sensor, Span span,
                                           int bucketSeconds) {
    if (bucketSeconds < 1)
        throw std::invalid_argument("a trend's bucket is 1 s or more");
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<TrendPoint> points;
    const auto id = sensorId(sensor);
    if (!id)
        return points;
    const bool raw = bucketSeconds < 60;
    const char *sql = raw ? RAW_TREND : bucketSeconds < 3600 ? MINUTE_TREND : HOUR_TREND;
    Query query(*this, sql, *id, span.from, span.to, Millis{bucketSeconds} * 1000);
    while (query.next()) {
        TrendPoint p;
        p.start = query.integer(0);
        p.count = query.integer(1);
        p.mean = p.count ? query.real(2) / double(p.count) : 0;
        p.min = query.number(3);
        p.max = query.number(4);
        if (raw) {
            const auto band = limits::toleranceBand(static_cast<unsigned short>(query.number(5)),
                                                    static_cast<unsigned short>(query.number(6)));
            p.lower = band.lower;
            p.upper = band.upper;
        } else {
            p.lower = query.number(5);
            p.upper = query.number(6);
        }
        points.push_back(p);
    }
    return points;
}

std::vector<FrameRecord> SqliteStore::frames(const std::string &sensor, Span span,
                                             std::size_t limit) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<FrameRecord> frames;
    const auto id = sensorId(sensor);
    if (!id)
        return frames;
    const auto most = std::int64_t(
        std::min<std::size_t>(limit, std::size_t(std::numeric_limits<std::int64_t>::max())));
    Query query(*this, SELECT_FRAMES, *id, span.from, span.to, most);
    while (query.next()) {
        FrameRecord f;
        f.sensor = sensor;
        f.time = query.integer(0);
        f.seq = query.integer(1);
        for (int word = 0; word < FRAME_WORDS; ++word)
            f.words[word] = static_cast<std::uint16_t>(query.number(2 + word));
        frames.push_back(f);
    }
    return frames;
}

Stats SqliteStore::stats(const std::string &sensor, Span span) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Stats stats;
    const auto id = sensorId(sensor);
    if (!id)
        return stats;
    {
        Query sums(*this, STATS_SUMS, *id, span.from, span.to);
        if (!sums.next() || sums.integer(0) == 0)
            return stats;
        stats.count = sums.integer(1);
        stats.sum = sums.real(2);
        stats.sumSquares = sums.real(3);
        stats.min = sums.number(4);
        stats.max = sums.number(5);
        stats.out = sums.integer(6);
    }
    Query band(*this, STATS_BAND, *id, span.from, span.to);
    if (band.next()) {
        stats.lower = band.number(0);
        stats.upper = band.number(1);
    }
    return stats;
}

std::vector<EventRecord> SqliteStore::events(const std::string &sensor, Span span,
                                             const std::vector<std::string> &kinds) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::optional<std::string> kindList; // a JSON array for json_each; none: every kind
    if (!kinds.empty())
        kindList = nlohmann::json(kinds).dump();
    std::vector<EventRecord> events;
    Query query(*this, sensor.empty() ? EVENTS_OF_EVERY : EVENTS_OF_ONE, sensor, span.from, span.to,
                kindList);
    while (query.next()) {
        EventRecord e;
        e.sensor = query.text(0);
        e.time = query.integer(1);
        e.id = query.text(2);
        e.kind = query.text(3);
        e.mvalue = query.optional<int>(4);
        e.lower = query.optional<int>(5);
        e.upper = query.optional<int>(6);
        e.extreme = query.optional<int>(7);
        e.durationMs = query.optional<std::int64_t>(8);
        events.push_back(std::move(e));
    }
    return events;
}

namespace {

template <typename Query> StatusRecord readStatus(const Query &query) {
    return {query.text(0), query.integer(1), query.text(2),
            query.text(3), query.text(4),    query.text(5)};
}

template <typename Query> InfoRecord readInfo(const Query &query) {
    InfoRecord info;
    info.sensor = query.text(0);
    info.time = query.integer(1);
    info.firmware = query.text(2);
    info.ccd = query.text(3);
    info.pixels = query.number(4);
    info.program = query.text(5);
    for (int word = 0; word < PARAMETERS; ++word)
        info.parameters[word] = query.number(6 + word);
    return info;
}

} // namespace

std::vector<StatusRecord> SqliteStore::statuses(const std::string &sensor, Span span) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<StatusRecord> statuses;
    Query query(*this, sensor.empty() ? STATUSES_OF_EVERY : STATUSES_OF_ONE, sensor, span.from,
                span.to);
    while (query.next())
        statuses.push_back(readStatus(query));
    return statuses;
}

std::vector<GapRecord> SqliteStore::gaps(const std::string &sensor, Span span) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<GapRecord> gaps;
    Query query(*this, sensor.empty() ? GAPS_OF_EVERY : GAPS_OF_ONE, sensor, span.from, span.to);
    while (query.next())
        gaps.push_back({query.text(0), query.integer(1), query.integer(2), query.text(3)});
    return gaps;
}

std::vector<InfoRecord> SqliteStore::infos(const std::string &sensor, Span span) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<InfoRecord> infos;
    Query query(*this, sensor.empty() ? INFOS_OF_EVERY : INFOS_OF_ONE, sensor, span.from, span.to);
    while (query.next())
        infos.push_back(readInfo(query));
    return infos;
}

std::optional<InfoRecord> SqliteStore::infoAt(const std::string &sensor, Millis at) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Query query(*this, INFO_AT, sensor, at);
    if (!query.next())
        return std::nullopt;
    return readInfo(query);
}

std::optional<StatusRecord> SqliteStore::statusAt(const std::string &sensor, Millis at) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Query query(*this, STATUS_AT, sensor, at);
    if (!query.next())
        return std::nullopt;
    return readStatus(query);
}

Expired SqliteStore::expire(Millis now, const Retention &retention) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const Millis framesBefore = now - Millis{retention.rawDays} * DAY_MS;
    const Millis minutesBefore = now - Millis{retention.minuteDays} * DAY_MS;
    std::vector<std::int64_t> ids;
    {
        Query query(*this, SENSOR_IDS);
        while (query.next())
            ids.push_back(query.integer(0));
    }
    Expired expired;
    for (const std::int64_t id : ids) {
        Transaction transaction(*this);
        Query(*this, EXPIRE_FRAMES, id, framesBefore).run();
        expired.frames += sqlite3_changes64(db_.get());
        Query(*this, EXPIRE_MINUTES, id, minutesBefore).run();
        expired.minuteRollups += sqlite3_changes64(db_.get());
        transaction.commit();
    }
    return expired;
}

} // namespace historian

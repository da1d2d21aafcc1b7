// The PostgreSQL store. Times are kept as timestamptz (what psql and plant
// dashboards read), passed in and out as milliseconds through two small SQL
// functions; frames go in with a binary COPY into the day's partition, made
// beforehand in a short transaction of its own so that the batch's
// transaction does not hold the partitioned table locked. Names of
// partitions cannot be parameters, so the statements that make and drop
// them live in PL/pgSQL functions that quote them (format %I, %L); every
// value the store sends is a parameter.
#include "historian/postgres_store.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <stdexcept>

#include "limits/tolerance.h"

namespace historian {

namespace {

constexpr Millis DAY_MS = 86400000;
// Microseconds from 1970-01-01 to 2000-01-01, PostgreSQL's epoch in COPY BINARY.
constexpr std::int64_t POSTGRES_EPOCH_US = 946684800000000;

// The schema, one step per version: MIGRATIONS[n] takes version n to n + 1.
const char *const MIGRATIONS[] = {
    R"sql(
CREATE TABLE sensors (
    id integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    name text NOT NULL UNIQUE CHECK (name <> '')
);
CREATE TABLE frames (
    sensor_id integer NOT NULL,
    time timestamptz NOT NULL,
    seq bigint NOT NULL,
    ledge integer NOT NULL, redge integer NOT NULL, mvalue integer NOT NULL,
    tval integer NOT NULL, ttol integer NOT NULL, pix1 integer NOT NULL,
    edcnt integer NOT NULL, mvstart integer NOT NULL, mvend integer NOT NULL,
    pixdelta integer NOT NULL, anamax integer NOT NULL, anamin integer NOT NULL,
    in0 integer NOT NULL
) PARTITION BY RANGE (time);
CREATE INDEX frames_sensor_time ON frames (sensor_id, time);
CREATE TABLE minute_rollups (
    sensor_id integer NOT NULL,
    start timestamptz NOT NULL,
    count bigint NOT NULL,
    sum double precision NOT NULL,
    sum_squares double precision NOT NULL,
    min integer NOT NULL,
    max integer NOT NULL,
    out bigint NOT NULL,
    lower integer NOT NULL,
    upper integer NOT NULL,
    PRIMARY KEY (sensor_id, start)
);
CREATE TABLE hour_rollups (LIKE minute_rollups INCLUDING ALL);
CREATE TABLE events (
    row_id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    sensor_id integer NOT NULL,
    time timestamptz NOT NULL,
    id text NOT NULL,
    kind text NOT NULL,
    mvalue integer, lower integer, upper integer, extreme integer,
    duration_ms bigint
);
CREATE UNIQUE INDEX events_sensor_id ON events (sensor_id, id) WHERE id <> '';
CREATE INDEX events_time ON events (time);
CREATE INDEX events_sensor_time ON events (sensor_id, time);
CREATE TABLE statuses (
    row_id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    sensor_id integer NOT NULL,
    time timestamptz NOT NULL,
    state text NOT NULL, port text NOT NULL, program text NOT NULL, broker text NOT NULL,
    UNIQUE (sensor_id, time, state) -- a retained status delivered again
);
CREATE TABLE infos (
    row_id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    sensor_id integer NOT NULL,
    time timestamptz NOT NULL,
    firmware text NOT NULL, ccd text NOT NULL, pixels integer NOT NULL,
    parameters integer[] NOT NULL CHECK (cardinality(parameters) = 16),
    program text NOT NULL,
    UNIQUE (sensor_id, time) -- a retained info delivered again
);
CREATE TABLE gaps (
    row_id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    sensor_id integer NOT NULL,
    time_from timestamptz NOT NULL,
    time_to timestamptz NOT NULL,
    reason text NOT NULL
);
CREATE INDEX gaps_sensor_from ON gaps (sensor_id, time_from);

CREATE FUNCTION historian_time(ms bigint) RETURNS timestamptz
    LANGUAGE sql IMMUTABLE AS $$ SELECT to_timestamp(ms / 1000.0) $$;
CREATE FUNCTION historian_millis(t timestamptz) RETURNS bigint
    LANGUAGE sql STABLE AS $$ SELECT (extract(epoch FROM t) * 1000)::bigint $$;

-- The frames of one day (UTC) live in frames_YYYYMMDD.
CREATE FUNCTION historian_frames_day(day date) RETURNS void LANGUAGE plpgsql AS $$
BEGIN
    EXECUTE format('CREATE TABLE IF NOT EXISTS %I PARTITION OF frames FOR VALUES FROM (%L) TO (%L)',
                   'frames_' || to_char(day, 'YYYYMMDD'),
                   to_char(day, 'YYYY-MM-DD') || ' 00:00+00',
                   to_char(day + 1, 'YYYY-MM-DD') || ' 00:00+00');
END $$;

-- Drops the days that end at or before the cutoff and deletes the older
-- frames of the day it falls in; the number of frames gone.
CREATE FUNCTION historian_expire_frames(cutoff timestamptz) RETURNS bigint LANGUAGE plpgsql AS $$
DECLARE
    day record;
    gone bigint;
    total bigint := 0;
BEGIN
    FOR day IN
        SELECT c.relname FROM pg_inherits i JOIN pg_class c ON c.oid = i.inhrelid
        WHERE i.inhparent = 'frames'::regclass
          AND (to_date(substr(c.relname, 8), 'YYYYMMDD') + 1)::timestamp AT TIME ZONE 'UTC' <= cutoff
    LOOP
        EXECUTE format('SELECT count(*) FROM %I', day.relname) INTO gone;
        EXECUTE format('DROP TABLE %I', day.relname);
        total := total + gone;
    END LOOP;
    DELETE FROM frames WHERE time < cutoff;
    GET DIAGNOSTICS gone = ROW_COUNT;
    RETURN total + gone;
END $$;
)sql",
};
constexpr int KNOWN_VERSIONS = sizeof MIGRATIONS / sizeof MIGRATIONS[0];
static_assert(KNOWN_VERSIONS == PostgresStore::SCHEMA_VERSION);

// Any constant: the key of the lock that one historian holds while it
// migrates, so that two starting at once do not both make the schema.
constexpr const char *MIGRATION_LOCK = "4412770301";

// libpq's messages end in a newline and may hold several lines.
std::string oneLine(const char *message) {
    std::istringstream lines(message ? message : "");
    std::string line, joined;
    while (std::getline(lines, line)) {
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos)
            continue;
        joined += (joined.empty() ? "" : "; ") + line.substr(first);
    }
    return joined.empty() ? "no reason given" : joined;
}

// "127.0.0.1:5432/plant" from the connection string, before connecting; ""
// when libpq cannot read it.
std::string placeOf(const std::string &connection) {
    std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)> options(
        PQconninfoParse(connection.c_str(), nullptr), &PQconninfoFree);
    if (!options)
        return "";
    std::string host = "localhost", port = "5432", database;
    for (PQconninfoOption *option = options.get(); option && option->keyword; ++option) {
        if (!option->val || !*option->val)
            continue;
        const std::string keyword = option->keyword;
        if (keyword == "host" || (keyword == "hostaddr" && host == "localhost"))
            host = option->val;
        else if (keyword == "port")
            port = option->val;
        else if (keyword == "dbname")
            database = option->val;
    }
    return host + ":" + port + "/" + database;
}

// A text array literal ({"a","b \"c\""}) for a text[] parameter.
std::string textArray(const std::vector<std::string> &items) {
    std::string literal = "{";
    for (const std::string &item : items) {
        literal += literal.size() > 1 ? ",\"" : "\"";
        for (const char c : item) {
            if (c == '"' || c == '\\')
                literal += '\\';
            literal += c;
        }
        literal += '"';
    }
    return literal + "}";
}

std::string intArray(const std::array<int, PARAMETERS> &values) {
    std::string literal = "{";
    for (const int value : values)
        literal += (literal.size() > 1 ? "," : "") + std::to_string(value);
    return literal + "}";
}

std::array<int, PARAMETERS> parseIntArray(const char *literal) {
    std::array<int, PARAMETERS> values{};
    std::size_t next = 0;
    for (const char *p = literal; *p && next < values.size();) {
        char *end = nullptr;
        const long value = std::strtol(p, &end, 10);
        if (end != p) {
            values[next++] = static_cast<int>(value);
            p = end;
        } else {
            ++p;
        }
    }
    return values;
}

// 64-bit FNV-1a over a batch's values: tells the batch retried after a lost
// COMMIT from any other.
class Fingerprint {
  public:
    template <typename... T> void add(const T &...values) { (one(values), ...); }
    std::uint64_t value() const { return hash_; }

  private:
    template <typename T> void one(const T &value) {
        const auto *bytes = reinterpret_cast<const unsigned char *>(&value);
        for (std::size_t i = 0; i < sizeof value; ++i)
            mix(bytes[i]);
    }
    void one(const std::string &text) {
        one(text.size());
        for (const char c : text)
            mix(static_cast<unsigned char>(c));
    }
    template <typename T> void one(const std::optional<T> &value) {
        one(value.has_value());
        if (value)
            one(*value);
    }
    void mix(unsigned char byte) { hash_ = (hash_ ^ byte) * 0x100000001b3ULL; }
    std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

std::uint64_t fingerprintOf(const Batch &batch) {
    Fingerprint f;
    for (const FrameRecord &r : batch.frames)
        f.add(r.sensor, r.time, r.seq, r.words);
    for (const EventRecord &r : batch.events)
        f.add(r.sensor, r.time, r.id, r.kind, r.mvalue, r.lower, r.upper, r.extreme, r.durationMs);
    for (const StatusRecord &r : batch.statuses)
        f.add(r.sensor, r.time, r.state, r.port, r.program, r.broker);
    for (const InfoRecord &r : batch.infos)
        f.add(r.sensor, r.time, r.firmware, r.ccd, r.pixels, r.parameters, r.program);
    for (const GapRecord &r : batch.gaps)
        f.add(r.sensor, r.from, r.to, r.reason);
    for (const Rollup &r : batch.rollups)
        f.add(r.sensor, r.start, r.seconds, r.count, r.sum, r.sumSquares, r.min, r.max, r.out,
              r.lower, r.upper);
    return f.value();
}

// A frame in COPY's binary format: network byte order, each field with its length.
class CopyRows {
  public:
    CopyRows() {
        static const char signature[] = "PGCOPY\n\377\r\n";
        bytes_.append(signature, sizeof signature); // with its terminating zero
        put32(0);                                   // flags
        put32(0);                                   // no header extension
    }
    void row(int sensorId, const FrameRecord &frame) {
        put16(3 + FRAME_WORDS);
        field32(sensorId);
        field64((frame.time * 1000) - POSTGRES_EPOCH_US);
        field64(frame.seq);
        for (const auto word : frame.words)
            field32(word);
    }
    void end() { put16(-1); }
    const std::string &bytes() const { return bytes_; }
    void clear() { bytes_.clear(); }

  private:
    void field32(std::int32_t value) {
        put32(4);
        put32(value);
    }
    void field64(std::int64_t value) {
        put32(8);
        put32(static_cast<std::int32_t>(static_cast<std::uint64_t>(value) >> 32));
        put32(static_cast<std::int32_t>(value & 0xffffffff));
    }
    void put16(std::int16_t value) {
        const auto v = static_cast<std::uint16_t>(value);
        bytes_ += static_cast<char>(v >> 8);
        bytes_ += static_cast<char>(v & 0xff);
    }
    void put32(std::int32_t value) {
        const auto v = static_cast<std::uint32_t>(value);
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes_ += static_cast<char>((v >> shift) & 0xff);
    }
    std::string bytes_;
};

std::int64_t toInt(const PGresult *result, int row, int column) {
    return std::strtoll(PQgetvalue(result, row, column), nullptr, 10);
}
int toInt32(const PGresult *result, int row, int column) {
    return static_cast<int>(toInt(result, row, column));
}
double toDouble(const PGresult *result, int row, int column) {
    return std::strtod(PQgetvalue(result, row, column), nullptr);
}
std::string toText(const PGresult *result, int row, int column) {
    return PQgetvalue(result, row, column);
}
std::optional<int> toOptionalInt(const PGresult *result, int row, int column) {
    if (PQgetisnull(result, row, column))
        return std::nullopt;
    return toInt32(result, row, column);
}

} // namespace

// The values of one statement's placeholders, in libpq's text format.
class PostgresStore::Params {
  public:
    Params &text(std::string value) {
        values_.push_back(std::move(value));
        nulls_.push_back(false);
        return *this;
    }
    Params &number(std::int64_t value) { return text(std::to_string(value)); }
    Params &real(double value) {
        std::ostringstream out;
        out.imbue(std::locale::classic());
        out.precision(17);
        out << value;
        return text(out.str());
    }
    template <typename T> Params &optional(const std::optional<T> &value) {
        if (value)
            return number(*value);
        values_.emplace_back();
        nulls_.push_back(true);
        return *this;
    }
    int size() const { return static_cast<int>(values_.size()); }
    const char *const *pointers() const {
        pointers_.clear();
        for (std::size_t i = 0; i < values_.size(); ++i)
            pointers_.push_back(nulls_[i] ? nullptr : values_[i].c_str());
        return pointers_.data();
    }

  private:
    std::vector<std::string> values_;
    std::vector<bool> nulls_;
    mutable std::vector<const char *> pointers_;
};

void PostgresStore::ConnectionCloser::operator()(PGconn *connection) const {
    PQfinish(connection);
}
void PostgresStore::ResultClearer::operator()(PGresult *result) const {
    PQclear(result);
}

PostgresStore::PostgresStore(std::string connection)
    : connection_(std::move(connection)), place_(placeOf(connection_)) {
    connect();
}

PostgresStore::~PostgresStore() = default;

std::string PostgresStore::describe() const {
    return "PostgreSQL " + place_ + " (schema " + std::to_string(SCHEMA_VERSION) + ")";
}

// Connects when there is no usable connection: a lost one is dropped by
// fail(), so every call after a failure starts here.
void PostgresStore::connect() {
    // Between calls the server sends nothing unasked but the end of the
    // session (a restart, an administrator's command): a socket with
    // something to read then is a connection to make again.
    if (db_ && PQstatus(db_.get()) == CONNECTION_OK) {
        pollfd socket{PQsocket(db_.get()), POLLIN, 0};
        if (poll(&socket, 1, 0) == 0)
            return;
    }
    db_.reset();
    sensorIds_.clear();
    dayPartitions_.clear();
    // Defaults the user's string overrides: a server that does not answer
    // is given up after 10 s, a dead link noticed by TCP keep-alives.
    const char *keywords[] = {"connect_timeout",
                              "keepalives_idle",
                              "keepalives_interval",
                              "keepalives_count",
                              "tcp_user_timeout",
                              "application_name",
                              "dbname",
                              nullptr};
    const char *values[] = {
        "10", "10", "5", "3", "30000", "vexa-tb-historian", connection_.c_str(), nullptr};
    std::unique_ptr<PGconn, ConnectionCloser> db(PQconnectdbParams(keywords, values, 1));
    if (!db)
        throw StoreUnavailable("PostgreSQL " + place_ + ": out of memory");
    if (PQstatus(db.get()) != CONNECTION_OK) {
        // A string libpq cannot read names no server: say only its reason.
        const bool readable = !place_.empty();
        throw StoreUnavailable("PostgreSQL" + (readable ? " " + place_ : std::string()) + ": " +
                               oneLine(PQerrorMessage(db.get())));
    }
    PQsetNoticeProcessor(
        db.get(), [](void *, const char *) {}, nullptr);
    const char *host = PQhost(db.get());
    place_ = std::string(host && *host ? host : "localhost") + ":" + PQport(db.get()) + "/" +
             PQdb(db.get());
    db_ = std::move(db);
    run("SET extra_float_digits = 3"); // doubles read back exactly
    migrate();
}

// Brings the schema to SCHEMA_VERSION; a newer one is refused.
void PostgresStore::migrate() {
    const auto versionNow = [this] {
        if (PQgetisnull(run("SELECT to_regclass('schema_version')").get(), 0, 0))
            return 0;
        return toInt32(run("SELECT coalesce(max(version), 0) FROM schema_version").get(), 0, 0);
    };
    int version = versionNow();
    if (version < SCHEMA_VERSION) {
        // Only a historian that has to change the schema writes to it (one
        // that reads may lack the right to).
        run("BEGIN");
        run("SELECT pg_advisory_xact_lock($1)", Params().text(MIGRATION_LOCK));
        run("CREATE TABLE IF NOT EXISTS schema_version (version integer NOT NULL)");
        version = versionNow();
        if (version < SCHEMA_VERSION) {
            for (; version < SCHEMA_VERSION; ++version)
                run(MIGRATIONS[version]);
            run("DELETE FROM schema_version");
            run("INSERT INTO schema_version (version) VALUES ($1)", Params().number(version));
        }
        run("COMMIT");
    }
    if (version > SCHEMA_VERSION) {
        db_.reset();
        throw StoreUnavailable("PostgreSQL " + place_ + " holds schema " + std::to_string(version) +
                               ", newer than this historian knows (" +
                               std::to_string(SCHEMA_VERSION) + "): use a newer vexa-tb-historian");
    }
}

PostgresStore::Result PostgresStore::run(const char *sql, const Params &params) {
    return succeeded(Result(PQexecParams(db_.get(), sql, params.size(), nullptr, params.pointers(),
                                         nullptr, nullptr, 0)),
                     PGRES_TUPLES_OK);
}

// Without parameters, so that a migration may hold several statements.
PostgresStore::Result PostgresStore::run(const char *sql) {
    return succeeded(Result(PQexec(db_.get(), sql)), PGRES_TUPLES_OK);
}

// The result when it is PGRES_COMMAND_OK or `alsoGood`; else fail() with
// the server's reason.
PostgresStore::Result PostgresStore::succeeded(Result result, int alsoGood) {
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != alsoGood) {
        const char *primary = PQresultErrorField(result.get(), PG_DIAG_MESSAGE_PRIMARY);
        fail(primary ? primary : PQerrorMessage(db_.get()));
    }
    return result;
}

// Rolls back what is open, forgets a lost connection and what was learnt
// in the failed transaction, and says why.
void PostgresStore::fail(const std::string &reason) {
    const std::string said = "PostgreSQL " + place_ + ": " + oneLine(reason.c_str());
    if (db_ && PQstatus(db_.get()) == CONNECTION_OK &&
        PQtransactionStatus(db_.get()) != PQTRANS_IDLE)
        Result(PQexec(db_.get(), "ROLLBACK"));
    if (db_ &&
        (PQstatus(db_.get()) != CONNECTION_OK || PQtransactionStatus(db_.get()) != PQTRANS_IDLE))
        db_.reset();
    sensorIds_.clear();
    dayPartitions_.clear();
    throw StoreUnavailable(said);
}

// After a lost COMMIT: whether `batch` is the one in doubt and was kept.
bool PostgresStore::keptBefore(const Batch &batch) {
    if (!inDoubt_)
        return false;
    const Result status =
        run("SELECT pg_xact_status($1::xid8)", Params().text(inDoubt_->transaction));
    const std::string state = PQgetisnull(status.get(), 0, 0) ? "" : toText(status.get(), 0, 0);
    if (state == "in progress")
        throw StoreUnavailable("PostgreSQL " + place_ +
                               ": the last batch's commit is still under way");
    const bool same = inDoubt_->fingerprint == fingerprintOf(batch);
    inDoubt_.reset();
    return state == "committed" && same;
}

void PostgresStore::append(const Batch &batch) {
    connect();
    if (keptBefore(batch) || batch.empty())
        return;
    makeDayPartitions(batch.frames);
    run("BEGIN");
    const std::string transaction = toText(run("SELECT pg_current_xact_id()").get(), 0, 0);
    copyFrames(batch.frames);
    insertRecords(batch);
    Result commit(PQexec(db_.get(), "COMMIT"));
    // Lost with the connection, the answer to COMMIT leaves the batch kept
    // or not: the next append asks the server before it writes.
    if (PQstatus(db_.get()) != CONNECTION_OK)
        inDoubt_ = InDoubt{transaction, fingerprintOf(batch)};
    succeeded(std::move(commit), PGRES_COMMAND_OK);
}

// Makes the partitions of the days the frames fall in, each in a
// transaction of its own (before the batch's: see the file's head).
void PostgresStore::makeDayPartitions(const std::vector<FrameRecord> &frames) {
    for (const FrameRecord &frame : frames) {
        const std::int64_t day =
            frame.time >= 0 ? frame.time / DAY_MS : (frame.time - DAY_MS + 1) / DAY_MS;
        if (dayPartitions_.count(day))
            continue;
        run("SELECT historian_frames_day(date '1970-01-01' + $1::integer)", Params().number(day));
        dayPartitions_.insert(day);
    }
}

// The sensor's id, made when the sensor is new (inside the batch's
// transaction: fail() forgets the ids when it is rolled back).
int PostgresStore::sensorId(const std::string &name) {
    const auto known = sensorIds_.find(name);
    if (known != sensorIds_.end())
        return known->second;
    run("INSERT INTO sensors (name) VALUES ($1) ON CONFLICT (name) DO NOTHING",
        Params().text(name));
    const int id =
        toInt32(run("SELECT id FROM sensors WHERE name = $1", Params().text(name)).get(), 0, 0);
    sensorIds_.emplace(name, id);
    return id;
}

void PostgresStore::copyFrames(const std::vector<FrameRecord> &frames) {
    if (frames.empty())
        return;
    CopyRows rows;
    for (const FrameRecord &frame : frames)
        sensorId(frame.sensor);
    succeeded(Result(PQexec(db_.get(), "COPY frames (sensor_id, time, seq, ledge, redge, mvalue,"
                                       " tval, ttol, pix1, edcnt, mvstart, mvend, pixdelta,"
                                       " anamax, anamin, in0) FROM STDIN (FORMAT binary)")),
              PGRES_COPY_IN);
    constexpr std::size_t CHUNK = 1 << 20;
    for (const FrameRecord &frame : frames) {
        rows.row(sensorIds_.at(frame.sensor), frame);
        if (rows.bytes().size() >= CHUNK) {
            if (PQputCopyData(db_.get(), rows.bytes().data(),
                              static_cast<int>(rows.bytes().size())) != 1)
                fail(PQerrorMessage(db_.get()));
            rows.clear();
        }
    }
    rows.end();
    if (PQputCopyData(db_.get(), rows.bytes().data(), static_cast<int>(rows.bytes().size())) != 1 ||
        PQputCopyEnd(db_.get(), nullptr) != 1)
        fail(PQerrorMessage(db_.get()));
    Result result(PQgetResult(db_.get()));
    while (Result more{PQgetResult(db_.get())})
        ;
    succeeded(std::move(result), PGRES_COMMAND_OK);
}

void PostgresStore::insertRecords(const Batch &batch) {
    for (const EventRecord &e : batch.events)
        run("INSERT INTO events (sensor_id, time, id, kind, mvalue, lower, upper, extreme,"
            " duration_ms) VALUES ($1, historian_time($2), $3, $4, $5, $6, $7, $8, $9)"
            " ON CONFLICT (sensor_id, id) WHERE id <> '' DO NOTHING",
            Params()
                .number(sensorId(e.sensor))
                .number(e.time)
                .text(e.id)
                .text(e.kind)
                .optional(e.mvalue)
                .optional(e.lower)
                .optional(e.upper)
                .optional(e.extreme)
                .optional(e.durationMs));
    for (const StatusRecord &s : batch.statuses)
        run("INSERT INTO statuses (sensor_id, time, state, port, program, broker)"
            " VALUES ($1, historian_time($2), $3, $4, $5, $6) ON CONFLICT DO NOTHING",
            Params()
                .number(sensorId(s.sensor))
                .number(s.time)
                .text(s.state)
                .text(s.port)
                .text(s.program)
                .text(s.broker));
    for (const InfoRecord &i : batch.infos)
        run("INSERT INTO infos (sensor_id, time, firmware, ccd, pixels, parameters, program)"
            " VALUES ($1, historian_time($2), $3, $4, $5, $6, $7) ON CONFLICT DO NOTHING",
            Params()
                .number(sensorId(i.sensor))
                .number(i.time)
                .text(i.firmware)
                .text(i.ccd)
                .number(i.pixels)
                .text(intArray(i.parameters))
                .text(i.program));
    for (const GapRecord &g : batch.gaps)
        run("INSERT INTO gaps (sensor_id, time_from, time_to, reason)"
            " VALUES ($1, historian_time($2), historian_time($3), $4)",
            Params().number(sensorId(g.sensor)).number(g.from).number(g.to).text(g.reason));
    // Merged into the roll-up kept for the same sensor and start: the
    // sums add up, the extremes widen, the band is the one merged in.
    static const char *const mergeRollup[2] = {
        "INSERT INTO minute_rollups AS r (sensor_id, start, count, sum, sum_squares, min, max,"
        " out, lower, upper) VALUES ($1, historian_time($2), $3, $4, $5, $6, $7, $8, $9, $10)"
        " ON CONFLICT (sensor_id, start) DO UPDATE SET count = r.count + excluded.count,"
        " sum = r.sum + excluded.sum, sum_squares = r.sum_squares + excluded.sum_squares,"
        " min = least(r.min, excluded.min), max = greatest(r.max, excluded.max),"
        " out = r.out + excluded.out, lower = excluded.lower, upper = excluded.upper",
        "INSERT INTO hour_rollups AS r (sensor_id, start, count, sum, sum_squares, min, max,"
        " out, lower, upper) VALUES ($1, historian_time($2), $3, $4, $5, $6, $7, $8, $9, $10)"
        " ON CONFLICT (sensor_id, start) DO UPDATE SET count = r.count + excluded.count,"
        " sum = r.sum + excluded.sum, sum_squares = r.sum_squares + excluded.sum_squares,"
        " min = least(r.min, excluded.min), max = greatest(r.max, excluded.max),"
        " out = r.out + excluded.out, lower = excluded.lower, upper = excluded.upper",
    };
    for (const Rollup &r : batch.rollups)
        run(mergeRollup[r.seconds == 3600 ? 1 : 0], Params()
                                                        .number(sensorId(r.sensor))
                                                        .number(r.start)
                                                        .number(r.count)
                                                        .real(r.sum)
                                                        .real(r.sumSquares)
                                                        .number(r.min)
                                                        .number(r.max)
                                                        .number(r.out)
                                                        .number(r.lower)
                                                        .number(r.upper));
}

std::vector<std::string> PostgresStore::sensors() {
    connect();
    const Result result = run("SELECT name FROM sensors ORDER BY name COLLATE \"C\"");
    std::vector<std::string> names;
    for (int row = 0; row < PQntuples(result.get()); ++row)
        names.push_back(toText(result.get(), row, 0));
    return names;
}

std::vector<TrendPoint> PostgresStore::trend(const std::string &sensor, Span span,
                                             int bucketSeconds) {
    if (bucketSeconds < 1)
        throw std::invalid_argument("a trend's bucket is 1 s or more");
    connect();
    // Raw frames below a minute, minute roll-ups below an hour, else hours;
    // each bucket's band is that of its last frame or roll-up.
    static const char *const fromFrames =
        "SELECT historian_millis(date_bin(make_interval(secs => $4), f.time, 'epoch')) AS b,"
        " count(*), avg(f.mvalue)::float8, min(f.mvalue), max(f.mvalue),"
        " (array_agg(f.tval ORDER BY f.time DESC, f.seq DESC))[1],"
        " (array_agg(f.ttol ORDER BY f.time DESC, f.seq DESC))[1]"
        " FROM frames f JOIN sensors s ON s.id = f.sensor_id"
        " WHERE s.name = $1 AND f.time >= historian_time($2) AND f.time < historian_time($3)"
        " GROUP BY b ORDER BY b";
    static const char *const fromRollups[2] = {
        "SELECT historian_millis(date_bin(make_interval(secs => $4), r.start, 'epoch')) AS b,"
        " sum(r.count), sum(r.sum) / sum(r.count), min(r.min), max(r.max),"
        " (array_agg(r.lower ORDER BY r.start DESC))[1],"
        " (array_agg(r.upper ORDER BY r.start DESC))[1]"
        " FROM minute_rollups r JOIN sensors s ON s.id = r.sensor_id"
        " WHERE s.name = $1 AND r.start >= historian_time($2) AND r.start < historian_time($3)"
        "  AND r.count > 0"
        " GROUP BY b ORDER BY b",
        "SELECT historian_millis(date_bin(make_interval(secs => $4), r.start, 'epoch')) AS b,"
        " sum(r.count), sum(r.sum) / sum(r.count), min(r.min), max(r.max),"
        " (array_agg(r.lower ORDER BY r.start DESC))[1],"
        " (array_agg(r.upper ORDER BY r.start DESC))[1]"
        " FROM hour_rollups r JOIN sensors s ON s.id = r.sensor_id"
        " WHERE s.name = $1 AND r.start >= historian_time($2) AND r.start < historian_time($3)"
        "  AND r.count > 0"
        " GROUP BY b ORDER BY b",
    };
    const bool raw = bucketSeconds < 60;
    const char *sql = raw ? fromFrames : fromRollups[bucketSeconds < 3600 ? 0 : 1];
    const Result result =
        run(sql, Params().text(sensor).number(span.from).number(span.to).number(bucketSeconds));
    std::vector<TrendPoint> points;
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        const PGresult *r = result.get();
        TrendPoint point;
        point.start = toInt(r, row, 0);
        point.count = toInt(r, row, 1);
        point.mean = toDouble(r, row, 2);
        point.min = toInt32(r, row, 3);
        point.max = toInt32(r, row, 4);
        if (raw) {
            const auto band = limits::toleranceBand(static_cast<unsigned short>(toInt(r, row, 5)),
                                                    static_cast<unsigned short>(toInt(r, row, 6)));
            point.lower = band.lower;
            point.upper = band.upper;
        } else {
            point.lower = toInt32(r, row, 5);
            point.upper = toInt32(r, row, 6);
        }
        points.push_back(point);
    }
    return points;
}

std::vector<FrameRecord> PostgresStore::frames(const std::string &sensor, Span span,
                                               std::size_t limit) {
    connect();
    const Result result =
        run("SELECT historian_millis(f.time), f.seq, f.ledge, f.redge, f.mvalue, f.tval, f.ttol,"
            " f.pix1, f.edcnt, f.mvstart, f.mvend, f.pixdelta, f.anamax, f.anamin, f.in0"
            " FROM frames f JOIN sensors s ON s.id = f.sensor_id"
            " WHERE s.name = $1 AND f.time >= historian_time($2) AND f.time < historian_time($3)"
            " ORDER BY f.time, f.seq LIMIT $4",
            Params().text(sensor).number(span.from).number(span.to).number(
                static_cast<std::int64_t>(std::min<std::size_t>(limit, INT64_MAX))));
    std::vector<FrameRecord> frames;
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        FrameRecord frame;
        frame.sensor = sensor;
        frame.time = toInt(result.get(), row, 0);
        frame.seq = toInt(result.get(), row, 1);
        for (int word = 0; word < FRAME_WORDS; ++word)
            frame.words[static_cast<std::size_t>(word)] =
                static_cast<std::uint16_t>(toInt(result.get(), row, 2 + word));
        frames.push_back(frame);
    }
    return frames;
}

Stats PostgresStore::stats(const std::string &sensor, Span span) {
    connect();
    const Result result =
        run("SELECT coalesce(sum(r.count), 0), coalesce(sum(r.sum), 0),"
            " coalesce(sum(r.sum_squares), 0), coalesce(min(r.min), 0), coalesce(max(r.max), 0),"
            " coalesce(sum(r.out), 0), coalesce((array_agg(r.lower ORDER BY r.start DESC))[1], 0),"
            " coalesce((array_agg(r.upper ORDER BY r.start DESC))[1], 0)"
            " FROM minute_rollups r JOIN sensors s ON s.id = r.sensor_id"
            " WHERE s.name = $1 AND r.start >= historian_time($2) AND r.start < historian_time($3)",
            Params().text(sensor).number(span.from).number(span.to));
    const PGresult *r = result.get();
    Stats stats;
    stats.count = toInt(r, 0, 0);
    stats.sum = toDouble(r, 0, 1);
    stats.sumSquares = toDouble(r, 0, 2);
    stats.min = toInt32(r, 0, 3);
    stats.max = toInt32(r, 0, 4);
    stats.out = toInt(r, 0, 5);
    stats.lower = toInt32(r, 0, 6);
    stats.upper = toInt32(r, 0, 7);
    return stats;
}

std::vector<EventRecord> PostgresStore::events(const std::string &sensor, Span span,
                                               const std::vector<std::string> &kinds) {
    connect();
    const Result result =
        run("SELECT s.name, historian_millis(e.time), e.id, e.kind, e.mvalue, e.lower, e.upper,"
            " e.extreme, e.duration_ms FROM events e JOIN sensors s ON s.id = e.sensor_id"
            " WHERE ($1 = '' OR s.name = $1) AND e.time >= historian_time($2)"
            " AND e.time < historian_time($3)"
            " AND (cardinality($4::text[]) = 0 OR e.kind = ANY ($4::text[]))"
            " ORDER BY e.time, e.row_id",
            Params().text(sensor).number(span.from).number(span.to).text(textArray(kinds)));
    std::vector<EventRecord> events;
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        const PGresult *r = result.get();
        EventRecord event;
        event.sensor = toText(r, row, 0);
        event.time = toInt(r, row, 1);
        event.id = toText(r, row, 2);
        event.kind = toText(r, row, 3);
        event.mvalue = toOptionalInt(r, row, 4);
        event.lower = toOptionalInt(r, row, 5);
        event.upper = toOptionalInt(r, row, 6);
        event.extreme = toOptionalInt(r, row, 7);
        if (!PQgetisnull(r, row, 8))
            event.durationMs = toInt(r, row, 8);
        events.push_back(event);
    }
    return events;
}

namespace {
#define SELECT_STATUS                                                                              \
    "SELECT s.name, historian_millis(t.time), t.state, t.port, t.program, t.broker"                \
    " FROM statuses t JOIN sensors s ON s.id = t.sensor_id"
#define SELECT_INFO                                                                                \
    "SELECT s.name, historian_millis(i.time), i.firmware, i.ccd, i.pixels, i.parameters,"          \
    " i.program FROM infos i JOIN sensors s ON s.id = i.sensor_id"

StatusRecord statusAtRow(const PGresult *r, int row) {
    StatusRecord status;
    status.sensor = toText(r, row, 0);
    status.time = toInt(r, row, 1);
    status.state = toText(r, row, 2);
    status.port = toText(r, row, 3);
    status.program = toText(r, row, 4);
    status.broker = toText(r, row, 5);
    return status;
}

InfoRecord infoAtRow(const PGresult *r, int row) {
    InfoRecord info;
    info.sensor = toText(r, row, 0);
    info.time = toInt(r, row, 1);
    info.firmware = toText(r, row, 2);
    info.ccd = toText(r, row, 3);
    info.pixels = toInt32(r, row, 4);
    info.parameters = parseIntArray(PQgetvalue(r, row, 5));
    info.program = toText(r, row, 6);
    return info;
}
} // namespace

std::vector<StatusRecord> PostgresStore::statuses(const std::string &sensor, Span span) {
    connect();
    const Result result =
        run(SELECT_STATUS " WHERE ($1 = '' OR s.name = $1) AND t.time >= historian_time($2)"
                          " AND t.time < historian_time($3) ORDER BY t.time, t.row_id",
            Params().text(sensor).number(span.from).number(span.to));
    std::vector<StatusRecord> statuses;
    for (int row = 0; row < PQntuples(result.get()); ++row)
        statuses.push_back(statusAtRow(result.get(), row));
    return statuses;
}

std::vector<GapRecord> PostgresStore::gaps(const std::string &sensor, Span span) {
    connect();
    // Every gap that overlaps the span.
    const Result result =
        run("SELECT s.name, historian_millis(g.time_from), historian_millis(g.time_to), g.reason"
            " FROM gaps g JOIN sensors s ON s.id = g.sensor_id"
            " WHERE ($1 = '' OR s.name = $1) AND g.time_from < historian_time($3)"
            " AND g.time_to > historian_time($2) ORDER BY g.time_from, g.row_id",
            Params().text(sensor).number(span.from).number(span.to));
    std::vector<GapRecord> gaps;
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        GapRecord gap;
        gap.sensor = toText(result.get(), row, 0);
        gap.from = toInt(result.get(), row, 1);
        gap.to = toInt(result.get(), row, 2);
        gap.reason = toText(result.get(), row, 3);
        gaps.push_back(gap);
    }
    return gaps;
}

std::vector<InfoRecord> PostgresStore::infos(const std::string &sensor, Span span) {
    connect();
    const Result result =
        run(SELECT_INFO " WHERE ($1 = '' OR s.name = $1) AND i.time >= historian_time($2)"
                        " AND i.time < historian_time($3) ORDER BY i.time, i.row_id",
            Params().text(sensor).number(span.from).number(span.to));
    std::vector<InfoRecord> infos;
    for (int row = 0; row < PQntuples(result.get()); ++row)
        infos.push_back(infoAtRow(result.get(), row));
    return infos;
}

std::optional<InfoRecord> PostgresStore::infoAt(const std::string &sensor, Millis at) {
    connect();
    const Result result = run(SELECT_INFO " WHERE s.name = $1 AND i.time <= historian_time($2)"
                                          " ORDER BY i.time DESC, i.row_id DESC LIMIT 1",
                              Params().text(sensor).number(at));
    if (PQntuples(result.get()) == 0)
        return std::nullopt;
    return infoAtRow(result.get(), 0);
}

std::optional<StatusRecord> PostgresStore::statusAt(const std::string &sensor, Millis at) {
    connect();
    const Result result = run(SELECT_STATUS " WHERE s.name = $1 AND t.time <= historian_time($2)"
                                            " ORDER BY t.time DESC, t.row_id DESC LIMIT 1",
                              Params().text(sensor).number(at));
    if (PQntuples(result.get()) == 0)
        return std::nullopt;
    return statusAtRow(result.get(), 0);
}

#undef SELECT_STATUS
#undef SELECT_INFO

Expired PostgresStore::expire(Millis now, const Retention &retention) {
    connect();
    const Millis rawCutoff = now - retention.rawDays * DAY_MS;
    const Millis minuteCutoff = now - retention.minuteDays * DAY_MS;
    Expired expired;
    run("BEGIN");
    expired.frames = toInt(
        run("SELECT historian_expire_frames(historian_time($1))", Params().number(rawCutoff)).get(),
        0, 0);
    expired.minuteRollups =
        std::strtoll(PQcmdTuples(run("DELETE FROM minute_rollups WHERE start < historian_time($1)",
                                     Params().number(minuteCutoff))
                                     .get()),
                     nullptr, 10);
    run("COMMIT");
    dayPartitions_.clear();
    return expired;
}

} // namespace historian

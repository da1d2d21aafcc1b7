// The historian's PostgreSQL store, for a plant that outgrows one file: the
// same tables and meanings as the SQLite store, with the raw frames in a
// table partitioned by day (UTC) so that retention drops a day's partition
// instead of deleting its rows, and written with a binary COPY. One
// connection (libpq); when it is lost or a statement fails, the batch's
// transaction is rolled back, StoreUnavailable says the server's reason and
// the next call connects again, so the service can retry the whole batch.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "historian/store.h"

struct pg_conn;
struct pg_result;

namespace historian {

class PostgresStore : public Store {
  public:
    static constexpr int SCHEMA_VERSION = 1;

    // `connection` as the user gives it to --db: a URI
    // (postgresql://user@host:port/database?...) or libpq's key=value form;
    // a password may come from ~/.pgpass or PGPASSFILE. Connects and creates
    // or migrates the schema; StoreUnavailable says why it could not.
    explicit PostgresStore(std::string connection);
    ~PostgresStore() override;
    PostgresStore(const PostgresStore &) = delete;
    PostgresStore &operator=(const PostgresStore &) = delete;

    // "PostgreSQL 127.0.0.1:5432/plant (schema 1)"
    std::string describe() const override;
    void append(const Batch &batch) override;
    std::vector<std::string> sensors() override;
    std::vector<TrendPoint> trend(const std::string &sensor, Span span, int bucketSeconds) override;
    std::vector<FrameRecord> frames(const std::string &sensor, Span span,
                                    std::size_t limit) override;
    Stats stats(const std::string &sensor, Span span) override;
    std::vector<EventRecord> events(const std::string &sensor, Span span,
                                    const std::vector<std::string> &kinds) override;
    std::vector<StatusRecord> statuses(const std::string &sensor, Span span) override;
    std::vector<GapRecord> gaps(const std::string &sensor, Span span) override;
    std::vector<InfoRecord> infos(const std::string &sensor, Span span) override;
    std::optional<InfoRecord> infoAt(const std::string &sensor, Millis at) override;
    std::optional<StatusRecord> statusAt(const std::string &sensor, Millis at) override;
    Expired expire(Millis now, const Retention &retention) override;

  private:
    class Params;
    struct ConnectionCloser {
        void operator()(pg_conn *connection) const;
    };
    struct ResultClearer {
        void operator()(pg_result *result) const;
    };
    using Result = std::unique_ptr<pg_result, ResultClearer>;

    // A batch whose COMMIT was sent but whose answer was lost with the
    // connection: it may or may not have been kept.
    struct InDoubt {
        std::string transaction; // its id (pg_current_xact_id)
        std::uint64_t fingerprint = 0;
    };

    void connect();
    void migrate();
    Result run(const char *sql, const Params &params);
    Result run(const char *sql);
    Result succeeded(Result result, int alsoGood);
    [[noreturn]] void fail(const std::string &reason);
    bool keptBefore(const Batch &batch);
    void makeDayPartitions(const std::vector<FrameRecord> &frames);
    int sensorId(const std::string &name);
    void copyFrames(const std::vector<FrameRecord> &frames);
    void insertRecords(const Batch &batch);

    std::string connection_;
    std::string place_; // "127.0.0.1:5432/plant"
    std::unique_ptr<pg_conn, ConnectionCloser> db_;
    std::unordered_map<std::string, int> sensorIds_; // forgotten when a transaction fails
    std::set<std::int64_t> dayPartitions_;           // days (since the epoch) known to exist
    std::optional<InDoubt> inDoubt_;
};

} // namespace historian

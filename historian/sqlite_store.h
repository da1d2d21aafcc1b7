// The historian's store in one SQLite file: nothing to set up, good for a
// plant of tens of sensors. WAL with synchronous=NORMAL (a crash of the
// machine may lose the last batches, never corrupt the file; the readers of
// `vexa-tb-historian query` never stop the writer), a busy timeout, and the
// schema's version in PRAGMA user_version, created at 0 and migrated forward.
// Every statement is prepared once and kept. One connection, used by one
// thread at a time (the calls take a lock).
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "historian/store.h"

struct sqlite3;
struct sqlite3_stmt;

namespace historian {

// The schema this program writes.
constexpr int SQLITE_SCHEMA_VERSION = 1;

class SqliteStore : public Store {
  public:
    enum class Access {
        ReadWrite, // creates the file and the schema when missing
        ReadOnly,  // for queries: the file must exist with a schema
    };

    // Opens (or creates) the file. Throws StoreUnavailable when it cannot be
    // opened or read, std::runtime_error when its schema is newer than this
    // program knows (nothing is changed then).
    explicit SqliteStore(const std::string &path, Access access = Access::ReadWrite,
                         int busyTimeoutMs = 5000);
    ~SqliteStore() override;
    SqliteStore(const SqliteStore &) = delete;
    SqliteStore &operator=(const SqliteStore &) = delete;

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
    struct StatementDeleter {
        void operator()(sqlite3_stmt *statement) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;
    struct ConnectionDeleter {
        void operator()(sqlite3 *db) const;
    };
    class Query;
    class Transaction;

    // Throws StoreUnavailable: "[<doing> ]<path>: <SQLite's message>", e.g.
    // "/var/lib/vexa-tb-historian/plant.db: database or disk is full".
    [[noreturn]] void fail(const std::string &doing = "") const;
    void exec(const char *sql);
    sqlite3_stmt *statement(const char *sql);
    int schemaVersion();
    void migrate(Access access);
    std::optional<std::int64_t> sensorId(const std::string &name);
    std::int64_t sensorIdForWriting(const std::string &name);
    void appendRecords(const Batch &batch);

    std::string path_;
    std::unique_ptr<sqlite3, ConnectionDeleter> db_;
    int schema_ = 0;
    std::map<const char *, Statement> statements_;  // by the SQL text's address: literals only
    std::map<std::string, std::int64_t> sensorIds_; // committed
    std::map<std::string, std::int64_t> pendingSensorIds_; // new in the open transaction
    mutable std::mutex mutex_;
};

} // namespace historian

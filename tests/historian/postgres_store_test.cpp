// The PostgreSQL store on a real PostgreSQL (tests/support/postgres_server.h):
// the rules every store keeps (StoreSuite), and what is PostgreSQL's own:
// retention drops whole days' partitions, a server stopped and started again
// between two appends loses and doubles nothing, nor does a batch retried
// after its COMMIT's answer was lost, a refused connection says why. One
// server for the whole binary, a fresh database per test.
#include "historian/postgres_store.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <thread>
#include <utility>

#include "tests/historian/store_suite.h"
#include "tests/support/postgres_server.h"

using namespace historian;

namespace {

constexpr Millis HOUR = 3600000;
constexpr Millis DAY = 24 * HOUR;
constexpr Millis DEC_8 = 1796688000000; // 2026-12-08 00:00 UTC

// Started by the first test that needs it (listing the tests starts none),
// removed when the binary ends.
PostgresServer &server() {
    static PostgresServer instance;
    static const bool started = instance.start();
    (void)started;
    return instance;
}

// What StoreUnavailable said while `action` ran; "" when it was not thrown.
std::string refusal(const std::function<void()> &action) {
    try {
        action();
    } catch (const StoreUnavailable &e) {
        return e.what();
    }
    return "";
}

FrameRecord frameAt(Millis time, std::int64_t seq) {
    FrameRecord frame;
    frame.sensor = "line-1";
    frame.time = time;
    frame.seq = seq;
    for (std::size_t word = 0; word < frame.words.size(); ++word)
        frame.words[word] = static_cast<std::uint16_t>(seq * 13 + static_cast<std::int64_t>(word));
    return frame;
}

// The suite's stores: a fresh database for each scratch folder, the same
// one when the suite opens the folder again.
std::unique_ptr<Store> openPostgres(const std::string &scratchDir) {
    static std::map<std::string, std::string> databases;
    std::string &uri = databases[scratchDir];
    if (uri.empty())
        uri = server().createDatabase();
    if (uri.empty())
        throw std::runtime_error("no database for the test: " + server().error());
    return std::make_unique<PostgresStore>(uri);
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Postgres, StoreSuite,
                         ::testing::Values(StoreBackend{"Postgres", openPostgres}),
                         storeBackendName);

namespace {

class PostgresStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server().running()) << server().error();
        uri = server().createDatabase();
        ASSERT_FALSE(uri.empty()) << server().error();
        database = uri.substr(uri.rfind('/') + 1);
        place = "127.0.0.1:" + std::to_string(server().port());
    }
    std::vector<std::string> partitions() {
        std::vector<std::string> names;
        EXPECT_TRUE(server().query(uri,
                                   "SELECT c.relname FROM pg_inherits i"
                                   " JOIN pg_class c ON c.oid = i.inhrelid"
                                   " WHERE i.inhparent = 'frames'::regclass ORDER BY 1",
                                   names))
            << server().error();
        return names;
    }

    std::string uri, database, place;
};

TEST_F(PostgresStoreTest,
       ExpireDropsTheDaysBeforeTheCutoffAndDeletesExactlyTheOlderFramesOfItsDay) {
    PostgresStore store(uri);
    const Millis cutoff = DEC_8 + 12 * HOUR;
    const struct {
        Millis time;
        bool kept;
    } frames[] = {
        {DEC_8 - DAY, false},    // the day before the cutoff's: dropped
        {DEC_8 - 1, false},      //
        {DEC_8, false},          // the cutoff's day, before it: deleted
        {cutoff - 1, false},     //
        {cutoff, true},          // not older than the retention allows
        {DEC_8 + DAY - 1, true}, //
        {DEC_8 + DAY, true},     // the day after
    };
    Batch batch;
    std::vector<Millis> kept;
    for (const auto &frame : frames) {
        batch.frames.push_back(
            frameAt(frame.time, static_cast<std::int64_t>(batch.frames.size()) + 1));
        if (frame.kept)
            kept.push_back(frame.time);
    }
    store.append(batch);
    EXPECT_EQ(partitions(),
              (std::vector<std::string>{"frames_20261207", "frames_20261208", "frames_20261209"}));

    const Expired expired = store.expire(cutoff + 2 * DAY, Retention{2, 400});

    EXPECT_EQ(expired.frames, 4);
    EXPECT_EQ(partitions(), (std::vector<std::string>{"frames_20261208", "frames_20261209"}));
    std::vector<Millis> left;
    for (const FrameRecord &frame : store.frames("line-1", Span{0, DEC_8 + 10 * DAY}, 100))
        left.push_back(frame.time);
    EXPECT_EQ(left, kept);
}

// Starts the server again when a test that stopped it ends early.
struct StartsTheServerAgain {
    ~StartsTheServerAgain() { server().start(); }
};

TEST_F(PostgresStoreTest, AnAppendWhileTheServerIsStoppedThrowsAndAfterItsStartIsKeptOnce) {
    PostgresStore store(uri);
    Batch first, second;
    for (std::int64_t seq = 1; seq <= 200; ++seq)
        (seq <= 100 ? first : second).frames.push_back(frameAt(DEC_8 + seq * 100, seq));
    for (Batch *batch : {&first, &second}) {
        Rollup minute;
        minute.sensor = "line-1";
        minute.start = DEC_8;
        minute.count = 100;
        minute.sum = 50000;
        batch->rollups.push_back(minute);
        EventRecord event;
        event.sensor = "line-1";
        event.time = DEC_8 + (batch == &first ? 1000 : 2000);
        event.id = batch == &first ? "1" : "2";
        event.kind = "out of tolerance";
        batch->events.push_back(event);
    }
    store.append(first);
    {
        StartsTheServerAgain guard;
        server().stop();
        const std::string reason = refusal([&] { store.append(second); });
        EXPECT_EQ(reason.rfind("PostgreSQL " + place + "/" + database + ": ", 0), 0u) << reason;
        EXPECT_NE(refusal([&] { store.sensors(); }), "");
        ASSERT_TRUE(server().start()) << server().error();
    }
    store.append(second);
    {
        StartsTheServerAgain guard; // restarted while the store is idle: it does not notice
        server().stop();
        ASSERT_TRUE(server().start()) << server().error();
    }
    EXPECT_EQ(refusal([&] { store.sensors(); }), "");

    const auto frames = store.frames("line-1", Span{DEC_8, DEC_8 + DAY}, 1000);
    ASSERT_EQ(frames.size(), 200u);
    for (std::size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(frames[i].words, frameAt(0, static_cast<std::int64_t>(i) + 1).words) << i;
    EXPECT_EQ(store.stats("line-1", Span{DEC_8, DEC_8 + DAY}).count, 200);
    EXPECT_EQ(store.events("", Span{DEC_8, DEC_8 + DAY}, {}).size(), 2u);
}

// While it lasts, a session that asks for synchronous commits waits at its
// COMMIT for a standby that does not exist: the transaction is kept, the
// answer held back. Set at a start of the server, so it holds at once.
class HeldCommits {
  public:
    HeldCommits() : held_(restartWith("ALTER SYSTEM SET synchronous_standby_names = 'nowhere'")) {}
    ~HeldCommits() { release(); }
    bool held() const { return held_; }
    bool release() { return !std::exchange(held_, false) || restartWith("ALTER SYSTEM RESET ALL"); }

  private:
    static bool restartWith(const char *sql) {
        const bool set = server().execute(server().uri("postgres"), sql);
        server().stop();
        return server().start() && set;
    }
    bool held_;
};

// The COMMIT goes through but its answer is lost with the connection (the
// test ends the session while the server holds the answer back).
TEST_F(PostgresStoreTest, ABatchRetriedAfterItsCommitsAnswerWasLostIsNotKeptTwice) {
    Batch before, batch;
    before.frames.push_back(frameAt(DEC_8, 0)); // makes the day's partition
    PostgresStore(uri).append(before);
    for (std::int64_t seq = 1; seq <= 50; ++seq)
        batch.frames.push_back(frameAt(DEC_8 + seq, seq));
    HeldCommits heldCommits;
    ASSERT_TRUE(heldCommits.held()) << server().error();
    PostgresStore store(uri + "?options=-c%20synchronous_commit%3Don");
    std::thread cutter([&] {
        const std::string endWaiting = "SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
                                       " WHERE wait_event = 'SyncRep'";
        std::vector<std::string> ended;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (ended.empty() && std::chrono::steady_clock::now() < end &&
               server().query(server().uri("postgres"), endWaiting, ended))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_FALSE(ended.empty()) << "waited 10 s for the COMMIT to wait for its standby";
        if (ended.empty()) // lets the COMMIT answer
            server().execute(server().uri("postgres"),
                             "ALTER SYSTEM RESET ALL; SELECT pg_reload_conf()");
    });
    const std::string reason = refusal([&] { store.append(batch); });
    cutter.join();
    EXPECT_NE(reason, "") << "the append said it failed";
    ASSERT_TRUE(heldCommits.release()) << server().error();
    const Span day{DEC_8, DEC_8 + DAY};
    ASSERT_EQ(store.frames("line-1", day, 1000).size(), 51u) << "yet the server kept its batch";

    store.append(batch);

    EXPECT_EQ(store.frames("line-1", day, 1000).size(), 51u);
}

TEST_F(PostgresStoreTest, ARefusedConnectionSaysWhyWithoutThePassword) {
    ASSERT_TRUE(server().execute(uri, "DROP ROLE IF EXISTS engineer")) << server().error();
    ASSERT_TRUE(server().execute(uri, "CREATE ROLE engineer LOGIN PASSWORD 'right-one'"))
        << server().error();
    const std::string at = place + "/" + database;
    const struct {
        std::string connection, reason;
    } cases[] = {
        {"postgresql://engineer:wrong-one@" + at,
         "PostgreSQL " + at + ": connection to server at \"127.0.0.1\", port " +
             std::to_string(server().port()) +
             " failed: FATAL:  password authentication failed for user \"engineer\""},
        {"postgresql://vexa@" + place + "/nosuch", "database \"nosuch\" does not exist"},
        {"postgresql://vexa@127.0.0.1:1/plant", "PostgreSQL 127.0.0.1:1/plant: connection to "
                                                "server at \"127.0.0.1\", port 1 failed: "
                                                "Connection refused"},
        {"postgresql://vexa@" + at + "?sslmode=sometimes", "invalid sslmode value: \"sometimes\""},
        {"postgresql://vexa:wrong-one@" + at + "?colour=blue",
         "PostgreSQL: invalid URI query parameter: \"colour\""},
    };
    for (const auto &c : cases) {
        const std::string reason = refusal([&] { PostgresStore store(c.connection); });
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.connection << "\n" << reason;
        EXPECT_EQ(reason.find("wrong-one"), std::string::npos) << reason;
    }
}

TEST_F(PostgresStoreTest, SaysWhereItKeepsThePlantAndRefusesANewerSchema) {
    EXPECT_EQ(PostgresStore(uri).describe(),
              "PostgreSQL " + place + "/" + database + " (schema 1)");
    ASSERT_TRUE(server().execute(uri, "UPDATE schema_version SET version = 2")) << server().error();

    const std::string reason = refusal([&] { PostgresStore store(uri); });

    EXPECT_EQ(reason, "PostgreSQL " + place + "/" + database +
                          " holds schema 2, newer than this historian knows (1): use a newer "
                          "vexa-tb-historian");
}

} // namespace

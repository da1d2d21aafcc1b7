// The service: the keeper's order and losses and the spool file against a
// store that can be told to be away (the batching and spool rules alone),
// then the real vexa-tb-historian started as a process against a real
// mosquitto and real SQLite files (and a real PostgreSQL where the machine
// has one): what the publisher sends arrives exactly, SIGTERM commits it
// all, foreign messages are counted, a full disk spools and writes back, the
// report's Cp and Cpk are those of the raw frames, and the exit codes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "broker/messages.h"
#include "broker/publisher.h"
#include "historian/postgres_store.h"
#include "historian/spool.h"
#include "historian/sqlite_store.h"
#include "historian/time_spec.h"
#include "historian/writer.h"
#include "params/parameter_table.h"
#include "tests/support/full_disk.h"
#include "tests/support/mosquitto_broker.h"
#include "tests/support/postgres_server.h"

using namespace historian;

namespace {

const std::string HISTORIAN = std::string(VEXA_APP_DIR) + "/vexa-tb-historian";

// A fresh folder, removed with what is in it.
class Folder {
  public:
    Folder() {
        char pattern[] = "/tmp/vexa-historian-XXXXXX";
        path = mkdtemp(pattern) ? pattern : "";
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

std::string readFile(const std::string &path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The program as a process, its stdout and stderr in files of `dir`.
class Program {
  public:
    Program(const std::vector<std::string> &args, const std::string &dir, const char *name)
        : out_(dir + "/" + name + ".out"), err_(dir + "/" + name + ".err") {
        std::vector<std::string> all{HISTORIAN};
        all.insert(all.end(), args.begin(), args.end());
        pid_ = fork();
        if (pid_ == 0) {
            std::vector<char *> argv;
            for (std::string &a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            const int out = open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, STDOUT_FILENO);
            dup2(err, STDERR_FILENO);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Program() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    // Its exit code once it ended within `ms`; -1 when it did not (then killed).
    int wait(int ms = 20000) {
        int status = 0;
        const bool ended = waitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, ms);
        if (!ended)
            return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    int terminate(int ms = 20000) {
        kill(pid_, SIGTERM);
        return wait(ms);
    }
    bool said(const std::string &text, int ms = 10000) {
        return waitUntil([&] { return err().find(text) != std::string::npos; }, ms);
    }
    std::string out() const { return readFile(out_); }
    std::string err() const { return readFile(err_); }

  private:
    std::string out_, err_;
    pid_t pid_ = -1;
};

struct Ran {
    int code;
    std::string out, err;
};
Ran runHistorian(const std::vector<std::string> &args, const std::string &dir) {
    Program program(args, dir, "run");
    const int code = program.wait();
    return {code, program.out(), program.err()};
}

// Publishes what the test makes with the publisher's builders, on Paho's
// synchronous client; QoS 1 waits for the broker's acknowledgement.
class RawPublisher {
  public:
    explicit RawPublisher(const std::string &uri) {
        static int count = 0;
        const std::string id =
            "vexa-test-pub-" + std::to_string(getpid()) + "-" + std::to_string(++count);
        MQTTClient_create(&client_, uri.c_str(), id.c_str(), MQTTCLIENT_PERSISTENCE_NONE, nullptr);
        MQTTClient_connectOptions options = MQTTClient_connectOptions_initializer;
        connected_ = MQTTClient_connect(client_, &options) == MQTTCLIENT_SUCCESS;
    }
    ~RawPublisher() {
        MQTTClient_disconnect(client_, 500);
        MQTTClient_destroy(&client_);
    }
    bool connected() const { return connected_; }
    bool publish(const std::string &topic, const std::string &payload, int qos = 0) {
        MQTTClient_message message = MQTTClient_message_initializer;
        message.payload = const_cast<char *>(payload.data());
        message.payloadlen = static_cast<int>(payload.size());
        message.qos = qos;
        MQTTClient_deliveryToken token = 0;
        if (MQTTClient_publishMessage(client_, topic.c_str(), &message, &token) !=
            MQTTCLIENT_SUCCESS)
            return false;
        return qos == 0 || MQTTClient_waitForCompletion(client_, token, 5000) == MQTTCLIENT_SUCCESS;
    }

  private:
    MQTTClient client_ = nullptr;
    bool connected_ = false;
};

stream::Clock::time_point at(Millis ms) {
    return stream::Clock::time_point(std::chrono::milliseconds(ms));
}

// Frame n of a test: every word says n, Mvalue and the band as given.
stream::Frame frameAt(Millis time, int n, int mvalue = 500, int tVal = 500, int tTol = 10) {
    stream::Frame frame;
    frame.time = at(time);
    for (std::size_t w = 0; w < frame.words.size(); ++w)
        frame.words[w] = static_cast<std::uint16_t>(n % 60000 + static_cast<int>(w));
    frame.words[FRAME_MVALUE] = static_cast<std::uint16_t>(mvalue);
    frame.words[FRAME_TVAL] = static_cast<std::uint16_t>(tVal);
    frame.words[FRAME_TTOL] = static_cast<std::uint16_t>(tTol);
    return frame;
}

std::string topic(const std::string &sensor, broker::Topic which) {
    return broker::topicName(sensor, which);
}

std::string statusMessage(broker::State state, Millis time) {
    return broker::statusJson(state, at(time),
                              {"/dev/ttyUSB0", "vexa-tb-ctl 1.41", "a1b2", 0, 0, ""});
}

std::string eventMessage(limits::EventKind kind, Millis time, const std::string &id,
                         std::optional<long long> durationMs = std::nullopt) {
    limits::LimitEvent event{at(time), kind, 515, 490, 510, durationMs, std::nullopt};
    return broker::eventJson(event, id);
}

// A minute well in the past (retention keeps it), on a minute.
Millis recentMinute(int minutesAgo) {
    return (nowMillis() / 60000 - minutesAgo) * 60000;
}

std::vector<FrameRecord> storedFrames(const std::string &db, const std::string &sensor) {
    try {
        SqliteStore store(db, SqliteStore::Access::ReadOnly);
        return store.frames(sensor, {0, std::numeric_limits<Millis>::max()}, 10000000);
    } catch (const std::exception &) {
        return {};
    }
}

// A store that can be told to be away; it keeps the batches in order.
class FakeStore : public Store {
  public:
    std::string describe() const override { return "a store of the test"; }
    void append(const Batch &batch) override {
        std::lock_guard<std::mutex> lock(mutex);
        if (away)
            throw StoreUnavailable("disk full");
        kept.push_back(batch);
    }
    std::vector<std::string> sensors() override { return {}; }
    std::vector<TrendPoint> trend(const std::string &, Span, int) override { return {}; }
    std::vector<FrameRecord> frames(const std::string &, Span, std::size_t) override { return {}; }
    Stats stats(const std::string &, Span) override { return {}; }
    std::vector<EventRecord> events(const std::string &, Span,
                                    const std::vector<std::string> &) override {
        return {};
    }
    std::vector<StatusRecord> statuses(const std::string &, Span) override { return {}; }
    std::vector<GapRecord> gaps(const std::string &, Span) override { return {}; }
    std::vector<InfoRecord> infos(const std::string &, Span) override { return {}; }
    std::optional<InfoRecord> infoAt(const std::string &, Millis) override { return {}; }
    std::optional<StatusRecord> statusAt(const std::string &, Millis) override { return {}; }
    Expired expire(Millis, const Retention &) override { return {}; }

    std::vector<std::int64_t> seqs() {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<std::int64_t> all;
        for (const Batch &b : kept)
            for (const FrameRecord &f : b.frames)
                all.push_back(f.seq);
        return all;
    }

    std::mutex mutex;
    bool away = false;
    std::vector<Batch> kept;
};

// `count` frames from `firstSeq` and one event behind them.
Batch framesAndEvent(std::int64_t firstSeq, int count) {
    Batch batch;
    for (int i = 0; i < count; ++i) {
        FrameRecord f{"line1", 1796688000000 + (firstSeq + i) * 10, firstSeq + i, {}};
        f.words.fill(static_cast<std::uint16_t>(firstSeq + i));
        batch.frames.push_back(f);
    }
    batch.events.push_back({"line1", 1796688000000 + firstSeq * 10, "e" + std::to_string(firstSeq),
                            "out of tolerance", 515, 490, 510, std::nullopt, std::nullopt});
    return batch;
}

std::vector<std::int64_t> seqsFrom(std::int64_t first, std::int64_t last) {
    std::vector<std::int64_t> all;
    for (std::int64_t s = first; s <= last; ++s)
        all.push_back(s);
    return all;
}

class Keeping : public testing::Test {
  protected:
    void SetUp() override { path = folder.path + "/spool"; }
    BatchKeeper keeper(Spool &spool) {
        return BatchKeeper(store, spool, [this](const std::string &text) { said.push_back(text); });
    }
    Folder folder;
    std::string path;
    FakeStore store;
    std::vector<std::string> said;
};

} // namespace

TEST_F(Keeping, BatchesTheStoreCannotTakeWaitInTheSpoolAndReachItInOrder) {
    Spool spool;
    std::string problem;
    ASSERT_TRUE(spool.open(path, 1 << 20, problem)) << problem;
    BatchKeeper keeper = this->keeper(spool);
    keeper.keep(framesAndEvent(1, 10), 0);
    store.away = true;
    keeper.keep(framesAndEvent(11, 10), 100);
    keeper.keep(framesAndEvent(21, 10), 200);
    store.away = false;
    keeper.writeBack(500, 1000);
    EXPECT_EQ(store.kept.size(), 1u) << "tried again before a second had passed";
    keeper.keep(framesAndEvent(31, 10), 1100); // the store answers: still behind the others
    keeper.writeBack(1100, 1000);
    keeper.keep(framesAndEvent(41, 10), 1200);
    EXPECT_EQ(store.seqs(), seqsFrom(1, 50));
    EXPECT_TRUE(spool.empty());
    EXPECT_EQ(said, (std::vector<std::string>{
                        "store away: disk full; spooling to " + path,
                        "store back: 3 batches (33 records) written from the spool"}));
    EXPECT_EQ(keeper.figures().keptRecords, 55);
}

TEST_F(Keeping, WhatTheFullSpoolCannotHoldIsCountedAndSaidAndItsEventsAreKept) {
    Spool spool;
    std::string problem;
    ASSERT_TRUE(spool.open(path, 16384, problem)) << problem;
    BatchKeeper keeper = this->keeper(spool);
    store.away = true;
    for (int i = 0; i < 6; ++i)
        keeper.keep(framesAndEvent(i * 100 + 1, 100), i * 10);
    const KeptFigures away = keeper.figures();
    EXPECT_EQ(away.lostFrames, 400);
    EXPECT_EQ(away.lostRecords, 400);
    ASSERT_EQ(said.size(), 2u) << "a loss said more than once a minute";
    EXPECT_EQ(said[1], "store away: 100 frames lost, the spool is full");
    store.away = false;
    keeper.writeBack(2000, 10000);
    EXPECT_EQ(store.seqs(), seqsFrom(1, 200));
    std::size_t events = 0;
    for (const Batch &b : store.kept)
        events += b.events.size();
    EXPECT_EQ(events, 6u);
    EXPECT_EQ(said.back(), "store back: 6 batches (206 records) written from the spool; 400 "
                           "frames lost while the spool was full");
}

TEST_F(Keeping, TheSpoolOutlivesTheProgramAndDropsATornLastBatchWithANote) {
    Batch every = framesAndEvent(1, 3);
    every.statuses.push_back({"line1", 5, "no answer", "/dev/ttyUSB0", "vexa-tb-ctl 1.41", "x"});
    InfoRecord info{"line1", 6, "V-EXA 1.4", "TCD1304", 3648, {}, "vexa-tb-ctl 1.41"};
    info.parameters[8] = 512;
    every.infos.push_back(info);
    every.gaps.push_back({"line1", 7, 8, "seq 3 to 9"});
    every.rollups.push_back({"line1", 60000, 60, 3, 1500.5, 750000.25, 499, 502, 1, 490, 510});
    {
        Spool spool;
        std::string problem;
        ASSERT_TRUE(spool.open(path, 1 << 20, problem)) << problem;
        for (const Batch &b : {framesAndEvent(1, 10), every, framesAndEvent(21, 10)})
            ASSERT_EQ(spool.put(b), Spool::Kept::Whole);
        spool.pop(); // the store took the first
    }
    // A crash while the fourth was written: its length and a few bytes only.
    const std::string torn("\x40\x00\x00\x00\x01\x02\x03\x04\x01\x02", 10);
    std::ofstream(path, std::ios::app | std::ios::binary) << torn;
    Spool spool;
    std::string problem;
    ASSERT_TRUE(spool.open(path, 1 << 20, problem)) << problem;
    ASSERT_EQ(spool.notes().size(), 2u);
    EXPECT_EQ(spool.notes()[0], "spool " + path +
                                    ": a torn last batch (10 bytes), cut short by a crash while "
                                    "it was written, is dropped");
    EXPECT_EQ(spool.notes()[1],
              "spool " + path +
                  ": 2 batches (19 records) left by an earlier run wait for the store");
    const std::optional<Batch> first = spool.front();
    ASSERT_TRUE(first);
    EXPECT_EQ(encodeBatch(*first), encodeBatch(every)) << "not read back as written";
    spool.pop();
    EXPECT_EQ(spool.front()->frames.front().seq, 21);
}

TEST_F(Keeping, TheWriterHandsOverBatchesOfAtMost5000RecordsAndSmallOnesWithoutWaiting) {
    Spool spool;
    std::string problem;
    ASSERT_TRUE(spool.open(path, 1 << 20, problem)) << problem;
    MessageQueue queue(100000);
    const Millis minute = recentMinute(30);
    for (int n = 1; n <= 12000; ++n)
        queue.push({topic("line1", broker::Topic::Frame),
                    broker::frameJson(n, frameAt(minute + n, n)), nowMillis()});
    Writer writer(store, spool, queue, WriterSettings{}, [](const std::string &) {});
    writer.start();
    EXPECT_TRUE(waitUntil([&] { return store.seqs().size() == 12000; }))
        << "the last 2,000 frames waited for more";
    writer.stop(); // the open minute and hour
    std::lock_guard<std::mutex> lock(store.mutex);
    ASSERT_GE(store.kept.size(), 3u);
    EXPECT_EQ(store.kept[0].size(), 5000u);
    EXPECT_EQ(store.kept[1].size(), 5000u);
    ASSERT_EQ(store.kept.back().rollups.size(), 2u);
    EXPECT_EQ(store.kept.back().rollups.front().count, 12000);
}

namespace {

// The broker, a folder, and the program keeping into an SQLite file there.
class Service : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(broker.start()) << "mosquitto did not start";
        db = folder.path + "/plant.db";
    }
    std::unique_ptr<Program> startService(const std::string &store = "") {
        auto program = std::make_unique<Program>(
            std::vector<std::string>{"--broker", broker.url(), "--db", store.empty() ? db : store,
                                     "--spool", folder.path + "/spool", "--client-id",
                                     "historian-test-" + std::to_string(getpid())},
            folder.path, "service");
        EXPECT_TRUE(program->said("broker connected")) << program->err();
        return program;
    }
    // A QoS 1 event behind what was published, seen by a subscriber of our
    // own: the broker has handed on everything before it.
    void marker(RawPublisher &publisher, const std::string &sensor) {
        ::Subscriber witness(broker.uri(), topic(sensor, broker::Topic::Event));
        ASSERT_TRUE(witness.connect());
        const std::string id = "marker-" + std::to_string(++markers_);
        ASSERT_TRUE(publisher.publish(topic(sensor, broker::Topic::Event),
                                      eventMessage(limits::EventKind::PortBack, nowMillis(), id),
                                      1));
        Received received;
        ASSERT_TRUE(witness.nextOn(topic(sensor, broker::Topic::Event), received));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }

    MosquittoBroker broker;
    Folder folder;
    std::string db;
    int markers_ = 0;
};

} // namespace

TEST_F(Service, WhatThePublisherSendsArrivesExactlyWithItsSeqAndTheGapsMarked) {
    auto service = startService();
    broker::Target target;
    std::string problem;
    ASSERT_TRUE(broker::parseUrl(broker.url(), target.url, problem)) << problem;
    target.name = "line3";
    target.program = "vexa-tb-ctl 1.41";
    broker::Publisher publisher(target);
    ASSERT_EQ(publisher.start(), "");
    ASSERT_TRUE(waitUntil([&] { return publisher.connected(); })) << "the publisher's broker";
    publisher.status(broker::State::Online);
    const Millis minute = recentMinute(60);
    std::vector<FrameRecord> sent;
    for (int n = 1; n <= 40; ++n) {
        const stream::Frame frame = frameAt(minute + n * 37, n, 480 + n);
        publisher.frame(frame);
        sent.push_back({"line3", minute + n * 37, n, {}});
        std::copy(frame.words.begin(), frame.words.end(), sent.back().words.begin());
    }
    // The same sensor's frames from elsewhere, 19 numbers on: a gap.
    RawPublisher raw(broker.uri());
    ASSERT_TRUE(raw.connected());
    for (int n = 60; n <= 70; ++n) {
        const stream::Frame frame = frameAt(minute + n * 37, n, 480 + n);
        ASSERT_TRUE(raw.publish(topic("line3", broker::Topic::Frame), broker::frameJson(n, frame)));
        sent.push_back({"line3", minute + n * 37, n, {}});
        std::copy(frame.words.begin(), frame.words.end(), sent.back().words.begin());
    }
    ASSERT_TRUE(waitUntil([&] { return storedFrames(db, "line3").size() >= sent.size(); }))
        << "frames kept: " << storedFrames(db, "line3").size() << "\n"
        << service->err();
    const std::vector<FrameRecord> kept = storedFrames(db, "line3");
    ASSERT_EQ(kept.size(), sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(kept[i].seq, sent[i].seq);
        EXPECT_EQ(kept[i].time, sent[i].time) << "seq " << sent[i].seq;
        EXPECT_EQ(kept[i].words, sent[i].words) << "seq " << sent[i].seq;
    }
    SqliteStore store(db, SqliteStore::Access::ReadOnly);
    const std::vector<GapRecord> gaps = store.gaps("line3", {minute, minute + 60000});
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].from, minute + 40 * 37);
    EXPECT_EQ(gaps[0].to, minute + 60 * 37);
    publisher.stop();
    EXPECT_EQ(service->terminate(), 0) << service->err();
}

TEST_F(Service, SigtermCommitsEverythingReceivedWithTheOpenRollups) {
    auto service = startService();
    RawPublisher raw(broker.uri());
    ASSERT_TRUE(raw.connected());
    const Millis minute = recentMinute(30);
    constexpr int N = 3000;
    for (int n = 1; n <= N; ++n)
        ASSERT_TRUE(raw.publish(topic("line4", broker::Topic::Frame),
                                broker::frameJson(n, frameAt(minute + n * 10, n))));
    marker(raw, "line4");
    EXPECT_EQ(service->terminate(), 0) << service->err();
    EXPECT_NE(service->err().find("stopped: 3,001 messages received (0 foreign), "),
              std::string::npos)
        << service->err();
    EXPECT_NE(service->err().find(" 0 spooled (0 still waiting in "), std::string::npos);
    EXPECT_EQ(storedFrames(db, "line4").size(), static_cast<std::size_t>(N));
    SqliteStore store(db, SqliteStore::Access::ReadOnly);
    EXPECT_EQ(store.stats("line4", {minute, minute + 3600000}).count, N)
        << "the open minute's roll-up was not kept";
}

TEST_F(Service, EventsAndStatusesSentWhileTheHistorianIsAwayArriveWhenItIsBack) {
    startService()->terminate();
    RawPublisher raw(broker.uri());
    ASSERT_TRUE(raw.connected());
    const Millis minute = recentMinute(15);
    for (int n = 1; n <= 3; ++n)
        ASSERT_TRUE(raw.publish(topic("line2", broker::Topic::Event),
                                eventMessage(limits::EventKind::OutOfTolerance, minute + n,
                                             "away-" + std::to_string(n)),
                                1));
    ASSERT_TRUE(raw.publish(topic("line2", broker::Topic::Status),
                            statusMessage(broker::State::PortLost, minute + 5), 1));
    auto service = startService();
    const auto kept = [&] {
        try {
            SqliteStore store(db, SqliteStore::Access::ReadOnly);
            const Span all{0, minute + 60000};
            return store.events("line2", all, {}).size() + store.statuses("line2", all).size();
        } catch (const std::exception &) {
            return std::size_t{0};
        }
    };
    EXPECT_TRUE(waitUntil([&] { return kept() == 4; })) << "the broker kept no session for it";
    EXPECT_EQ(service->terminate(), 0);
}

TEST(MessageQueue, AFullQueueDropsAndCountsInsteadOfWaiting) {
    MessageQueue queue(2);
    EXPECT_TRUE(queue.push({"vexa-tb/a/frame", "1", 0}));
    EXPECT_TRUE(queue.push({"vexa-tb/a/frame", "2", 0}));
    EXPECT_FALSE(queue.push({"vexa-tb/a/frame", "3", 0}));
    EXPECT_EQ(queue.received(), 3);
    EXPECT_EQ(queue.dropped(), 1);
    EXPECT_EQ(queue.take(0).back().payload, "2");
    EXPECT_TRUE(queue.push({"vexa-tb/a/frame", "4", 0}));
}

TEST_F(Service, MalformedAndForeignMessagesArePassedOverAndCounted) {
    auto service = startService();
    RawPublisher raw(broker.uri());
    ASSERT_TRUE(raw.connected());
    const std::string frames = topic("line5", broker::Topic::Frame);
    const Millis minute = recentMinute(20);
    std::string noMvalue = broker::frameJson(1, frameAt(minute, 1));
    noMvalue.replace(noMvalue.find("\"Mvalue\""), 8, "\"Mvaleu\"");
    for (const std::string &payload :
         {std::string("garbage"), noMvalue,
          std::string(R"({"seq":"2","time":"2026-12-08T06:00:00+01:00"})")})
        ASSERT_TRUE(raw.publish(frames, payload));
    ASSERT_TRUE(raw.publish(frames, broker::frameJson(3, frameAt(minute + 10, 3))));
    marker(raw, "line5");
    EXPECT_EQ(service->terminate(), 0);
    EXPECT_NE(service->err().find("(3 foreign)"), std::string::npos) << service->err();
    EXPECT_NE(
        service->err().find(" not shaped as the publisher's; the last: vexa-tb/line5/frame: "),
        std::string::npos)
        << service->err();
    const std::vector<FrameRecord> kept = storedFrames(db, "line5");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].seq, 3);
}

TEST_F(Service, AParameterChangeAppearsOnceInChanges) {
    auto service = startService();
    RawPublisher raw(broker.uri());
    ASSERT_TRUE(raw.connected());
    const Millis minute = recentMinute(10);
    broker::SensorInfo info{"V-EXA-TB 1.4", "TCD1304 3648 px", 3648, {}};
    for (int w = 0; w < 16; ++w)
        info.parameters[static_cast<std::size_t>(w)] = static_cast<unsigned short>(100 + w);
    ASSERT_TRUE(raw.publish(topic("line6", broker::Topic::Status),
                            statusMessage(broker::State::Online, minute), 1));
    ASSERT_TRUE(raw.publish(topic("line6", broker::Topic::Info),
                            broker::infoJson(info, at(minute + 1000)), 1));
    ASSERT_TRUE(raw.publish(topic("line6", broker::Topic::Info),
                            broker::infoJson(info, at(minute + 2000)), 1));
    info.parameters[TEACH_VALUE_WORD] = 512;
    ASSERT_TRUE(raw.publish(topic("line6", broker::Topic::Info),
                            broker::infoJson(info, at(minute + 3000)), 1));
    marker(raw, "line6");
    EXPECT_EQ(service->terminate(), 0);
    const Ran changes =
        runHistorian({"query", "changes", "line6", "--from", "-1d", "--db", db}, folder.path);
    EXPECT_EQ(changes.code, 0) << changes.err;
    EXPECT_EQ(changes.out, "time,sensor,parameter,from,to,program\n" + formatTime(minute + 3000) +
                               ",line6," + parameterTable[TEACH_VALUE_WORD].name +
                               ",108,512,vexa-tb-ctl 1.41\n");
}

TEST_F(Service, TheStoreAwayOnAFullDiskSpoolsAndWritesBackInOrderLosingNothing) {
    const std::string disk = folder.path + "/disk";
    std::filesystem::create_directory(disk);
    SmallDisk small(disk, "2M");
    if (!small.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (not root?): the full disk is not tried";
    const std::string store = disk + "/plant.db";
    auto service = startService(store);
    RawPublisher raw(broker.uri());
    ASSERT_TRUE(raw.connected());
    const Millis minute = recentMinute(40);
    int seq = 0;
    const auto publish = [&](int count) {
        for (int i = 0; i < count; ++i, ++seq)
            ASSERT_TRUE(
                raw.publish(topic("line7", broker::Topic::Frame),
                            broker::frameJson(seq + 1, frameAt(minute + seq * 20, seq + 1))));
    };
    publish(20);
    ASSERT_TRUE(waitUntil([&] { return storedFrames(store, "line7").size() == 20; }));
    {
        std::ofstream filler(disk + "/filler", std::ios::binary);
        const std::string block(65536, '\0');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) &&
               filler.flush()) {
        }
    }
    publish(3000);
    ASSERT_TRUE(service->said("store away: ")) << service->err();
    EXPECT_TRUE(service->said("; spooling to " + folder.path + "/spool"));
    publish(500);
    std::filesystem::remove(disk + "/filler");
    ASSERT_TRUE(service->said("store back: ", 15000)) << service->err();
    publish(80);
    marker(raw, "line7");
    EXPECT_EQ(service->terminate(), 0) << service->err();
    EXPECT_NE(service->err().find(" written from the spool"), std::string::npos);
    EXPECT_NE(service->err().find(", 0 lost"), std::string::npos) << service->err();
    std::vector<std::int64_t> seqs;
    for (const FrameRecord &f : storedFrames(store, "line7"))
        seqs.push_back(f.seq);
    EXPECT_EQ(seqs, seqsFrom(1, 3600));
}

TEST_F(Service, TheReportsCpAndCpkAreThoseOfTheRawFrames) {
    auto service = startService();
    RawPublisher raw(broker.uri());
    ASSERT_TRUE(raw.connected());
    const Millis start = recentMinute(80), half = start + 10 * 60000, end = start + 20 * 60000;
    ASSERT_TRUE(raw.publish(topic("line8", broker::Topic::Status),
                            statusMessage(broker::State::Online, start - 60000), 1));
    std::vector<double> values[2];
    for (int n = 0; n < 1200; ++n) {
        const Millis time = start + n * 1000;
        const int mvalue = 500 + (n * 7919) % 23 - 11 + (time >= half ? 3 : 0);
        values[time >= half].push_back(mvalue);
        ASSERT_TRUE(raw.publish(topic("line8", broker::Topic::Frame),
                                broker::frameJson(n + 1, frameAt(time, n + 1, mvalue))));
    }
    const std::string events = topic("line8", broker::Topic::Event);
    using limits::EventKind;
    ASSERT_TRUE(
        raw.publish(events, eventMessage(EventKind::OutOfTolerance, start + 1000, "a-1"), 1));
    ASSERT_TRUE(raw.publish(
        events, eventMessage(EventKind::BackInTolerance, start + 2500, "a-2", 1500), 1));
    ASSERT_TRUE(
        raw.publish(events, eventMessage(EventKind::OutOfTolerance, start + 5000, "a-3"), 1));
    ASSERT_TRUE(raw.publish(
        events, eventMessage(EventKind::BackInTolerance, start + 8200, "a-4", 3200), 1));
    marker(raw, "line8");
    EXPECT_EQ(service->terminate(), 0);

    const auto clock = [](Millis t) {
        const std::time_t seconds = static_cast<std::time_t>(t / 1000);
        std::tm local{};
        localtime_r(&seconds, &local);
        char text[8];
        std::snprintf(text, sizeof text, "%02d:%02d", local.tm_hour, local.tm_min);
        return std::string(text);
    };
    const Ran report =
        runHistorian({"query", "report", "--from", formatTime(start), "--to", formatTime(end),
                      "--shifts", clock(start) + "," + clock(half), "--db", db},
                     folder.path);
    ASSERT_EQ(report.code, 0) << report.err;
    std::istringstream lines(report.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "shift,end,sensor,frames,mean,sd,min,max,lower,upper,Cp,Cpk,out_percent,"
                    "excursions,longest_excursion,not_online");
    for (int shift = 0; shift < 2; ++shift) {
        ASSERT_TRUE(std::getline(lines, line)) << report.out;
        std::vector<std::string> cells;
        std::stringstream split(line);
        for (std::string cell; std::getline(split, cell, ',');)
            cells.push_back(cell);
        ASSERT_EQ(cells.size(), 16u) << line;
        const std::vector<double> &v = values[shift];
        double sum = 0, squares = 0;
        for (const double x : v)
            sum += x;
        const double mean = sum / static_cast<double>(v.size());
        for (const double x : v)
            squares += (x - mean) * (x - mean);
        const double sd = std::sqrt(squares / static_cast<double>(v.size() - 1));
        EXPECT_EQ(cells[0], formatTime(shift ? half : start));
        EXPECT_EQ(cells[2], "line8");
        EXPECT_EQ(cells[3], std::to_string(v.size()));
        EXPECT_NEAR(std::stod(cells[4]), mean, 0.006);
        EXPECT_NEAR(std::stod(cells[5]), sd, 0.0006);
        EXPECT_NEAR(std::stod(cells[10]), 20 / (6 * sd), 0.006) << "Cp";
        EXPECT_NEAR(std::stod(cells[11]), std::min(510 - mean, mean - 490) / (3 * sd), 0.006)
            << "Cpk";
        EXPECT_EQ(cells[13], shift ? "0" : "2");
        EXPECT_EQ(cells[14], shift ? "-" : "3.200");
        EXPECT_EQ(cells[15], "0.000");
    }

    // The same as a PDF; and what a query refuses.
    const std::string pdf = folder.path + "/report.pdf";
    const Ran filed = runHistorian({"query", "report", "--from", formatTime(start), "--to",
                                    formatTime(end), "--pdf", pdf, "--db", db},
                                   folder.path);
    EXPECT_EQ(filed.code, 0) << filed.err;
    EXPECT_EQ(readFile(pdf).substr(0, 5), "%PDF-");
    struct Refusal {
        std::vector<std::string> args;
        const char *said;
    };
    const Refusal refusals[] = {
        {{"query", "trend", "nope", "--from", "-1d", "--db", db},
         "unknown sensor 'nope'; the store knows line8"},
        {{"query", "trend", "line8", "--from", "-1d", "--db", folder.path + "/none.db"},
         "there is no store "},
        {{"query", "status", "line8", "--from", "now", "--to", "-1h", "--db", db},
         " lies after --to "},
        {{"query", "events", "--from", "soon", "--db", db}, "--from: 'soon' is not a time"},
    };
    for (const Refusal &r : refusals) {
        const Ran ran = runHistorian(r.args, folder.path);
        EXPECT_EQ(ran.code, 2) << r.said;
        EXPECT_NE(ran.err.find(r.said), std::string::npos) << ran.err;
    }
}

TEST_F(Service, RefusedCredentialsEndTheServiceWithExitCode1) {
    MosquittoBroker guarded("plant", "secret");
    ASSERT_TRUE(guarded.start());
    const std::string passwordFile = folder.path + "/password";
    std::ofstream(passwordFile) << "wrong\n";
    chmod(passwordFile.c_str(), 0600);
    Program service({"--broker", "mqtt://plant@127.0.0.1:" + std::to_string(guarded.port()),
                     "--password-file", passwordFile, "--db", db, "--spool",
                     folder.path + "/spool"},
                    folder.path, "refused");
    EXPECT_EQ(service.wait(), 1) << service.err();
    EXPECT_NE(service.err().find("the broker refused the credentials: not authorized"),
              std::string::npos)
        << service.err();
}

TEST(ServiceCommandLine, BadCommandLinesAndFilesEndWithExitCode2BeforeAnythingStarts) {
    Folder folder;
    const std::string openFile = folder.path + "/open-password";
    std::ofstream(openFile) << "secret\n";
    chmod(openFile.c_str(), 0644);
    struct Case {
        std::vector<std::string> args;
        const char *said;
    };
    const Case cases[] = {
        {{"--broker", "http://x"}, "--broker http://x: "},
        {{"--broker", "mqtt://u@127.0.0.1:1", "--password-file", openFile}, "--password-file "},
        {{"--db", folder.path + "/missing/plant.db"}, "does not exist; make it first"},
        {{"--spool-max", "0"}, "--spool-max takes a number from 1 to 1048576"},
        {{"--from", "-1h"}, "--from is an option of the query commands"},
        {{"query", "trend", "x", "--from", "-1h", "--broker", "mqtt://x"},
         "query does not take --broker"},
        {{"watch"}, "unknown command 'watch'"},
    };
    for (const Case &c : cases) {
        const Ran ran = runHistorian(c.args, folder.path);
        EXPECT_EQ(ran.code, 2) << c.said << "\n" << ran.err;
        EXPECT_NE(ran.err.find(c.said), std::string::npos) << ran.err;
    }
}

TEST_F(Service, PostgreSQLStoppedForSecondsLosesNothingAndKeepsOrder) {
    PostgresServer postgres;
    if (!postgres.start())
        GTEST_SKIP() << "no PostgreSQL to try: " << postgres.error();
    const std::string uri = postgres.createDatabase();
    ASSERT_FALSE(uri.empty()) << postgres.error();
    auto service = startService(uri);
    RawPublisher raw(broker.uri());
    ASSERT_TRUE(raw.connected());
    const Millis minute = recentMinute(50);
    int seq = 0;
    // About 50 frames a second, as a line thinned by frameEvery might send.
    const auto publishFor = [&](int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            ++seq;
            ASSERT_TRUE(raw.publish(topic("line9", broker::Topic::Frame),
                                    broker::frameJson(seq, frameAt(minute + seq * 20, seq))));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    };
    publishFor(1000);
    postgres.stop();
    publishFor(8000);
    EXPECT_TRUE(service->said("store away: ")) << service->err();
    ASSERT_TRUE(postgres.start()) << postgres.error();
    publishFor(1000);
    ASSERT_TRUE(service->said("store back: ", 15000)) << service->err();
    marker(raw, "line9");
    EXPECT_EQ(service->terminate(), 0) << service->err();
    PostgresStore store(uri);
    std::vector<std::int64_t> seqs;
    for (const FrameRecord &f : store.frames("line9", {0, minute + 3600000}, 100000))
        seqs.push_back(f.seq);
    EXPECT_EQ(seqs, seqsFrom(1, seq));
}

// What reaches the broker when it hangs or dies: every event at least once
// and in order, every frame either published or counted as dropped, and the
// summary a second that vouches for the frames before it. The bookkeeping
// alone, then against a real mosquitto stopped with SIGSTOP and killed.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>
#include <map>
#include <mutex>
#include <algorithm>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "broker/delivery.h"
#include "broker/frame_summary.h"
#include "broker/publisher.h"
#include "tests/support/mosquitto_broker.h"

using namespace broker;

namespace {

QJsonObject json(const std::string &payload) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(payload)).object();
}

Target targetOn(const MosquittoBroker &broker, const std::string &name) {
    Target t;
    std::string problem;
    EXPECT_TRUE(parseUrl(broker.url(), t.url, problem)) << problem;
    t.name = name;
    return t;
}

stream::Frame frameWith(int mvalue, int tVal, int tTol) {
    stream::Frame frame;
    frame.time = stream::Clock::now();
    frame.words[FRAME_MVALUE] = static_cast<std::uint16_t>(mvalue);
    frame.words[FRAME_TVAL] = static_cast<std::uint16_t>(tVal);
    frame.words[FRAME_TTOL] = static_cast<std::uint16_t>(tTol);
    return frame;
}

} // namespace

TEST(EventQueue, KeepsEachEventUntilAcknowledgedAndSendsTheRestAgainInOrder) {
    EventQueue queue(3);
    int nextToken = 10;
    std::vector<std::string> sent;
    const auto send = [&](const std::string &payload) {
        sent.push_back(payload);
        return nextToken++;
    };
    ASSERT_TRUE(queue.add("a"));
    ASSERT_TRUE(queue.add("b"));
    queue.sendWaiting(send); // a:10 b:11
    ASSERT_TRUE(queue.add("c"));
    queue.sendWaiting(send); // c:12, a and b not again
    EXPECT_EQ(sent, (std::vector<std::string>{"a", "b", "c"}));
    queue.acknowledged(11);
    queue.acknowledged(99); // another connection's: nothing
    EXPECT_EQ(queue.waiting(), 2u);

    queue.connectionLost();
    sent.clear();
    queue.sendWaiting(send);
    EXPECT_EQ(sent, (std::vector<std::string>{"a", "c"})) << "unacknowledged, again, in order";

    // A send that fails keeps it and those behind it for the next connection.
    queue.connectionLost();
    sent.clear();
    queue.sendWaiting([&](const std::string &payload) {
        sent.push_back(payload);
        return 0;
    });
    EXPECT_EQ(sent, (std::vector<std::string>{"a"}));

    // Full: the oldest goes, and says so.
    EXPECT_TRUE(queue.add("d"));
    EXPECT_FALSE(queue.add("e"));
    EXPECT_EQ(queue.dropped(), 1);
    sent.clear();
    queue.sendWaiting(send);
    EXPECT_EQ(sent, (std::vector<std::string>{"c", "d", "e"}));
}

TEST(FrameLedger, FramesCountAsDroppedUnlessASummaryBehindThemWasAcknowledged) {
    // f: a frame handed over; sN: a summary sent with token N; aN: token N
    // acknowledged. Then the connection goes.
    const struct {
        const char *script;
        long long lost;
    } cases[] = {
        {"f f", 2},
        {"f f s1 a1 f", 1},
        {"f s1 f f s2", 3},
        // A later acknowledgement vouches for the earlier summaries too.
        {"f s1 f s2 f s3 a2", 1},
        // Another connection's token vouches for nothing.
        {"f s1 a7", 1},
        {"", 0},
    };
    for (const auto &c : cases) {
        FrameLedger ledger;
        std::istringstream steps(c.script);
        for (std::string step; steps >> step;) {
            const int token = step.size() > 1 ? std::stoi(step.substr(1)) : 0;
            if (step[0] == 'f')
                ledger.handedOver();
            else if (step[0] == 's')
                ledger.summarySent(token);
            else
                ledger.summaryAcknowledged(token);
        }
        EXPECT_EQ(ledger.connectionLost(), c.lost) << c.script;
        EXPECT_EQ(ledger.connectionLost(), 0) << c.script << ": counted twice";
    }
}

TEST(FrameSummary, EachSpanHasItsOwnExtremesAndAnEmptySpanStillNamesTheLastFrame) {
    // Each span's Mvalues, in the band 400..600; what its summary says.
    const struct {
        std::vector<int> mvalues;
        long long frames, seq, out;
        int min, max;
    } spans[] = {
        {{700, 650}, 2, 2, 2, 650, 700},
        {{}, 0, 2, 0, 0, 0},
        {{520, 480, 510}, 3, 5, 0, 480, 520},
    };
    FrameSummary summary;
    long long seq = 0;
    for (const auto &span : spans) {
        for (const int m : span.mvalues)
            summary.add(++seq, frameWith(m, 500, 100));
        const Summary s = summary.take(State::Online, stream::Clock::now());
        EXPECT_EQ(s.frames, span.frames) << "span ending at " << seq;
        EXPECT_EQ(s.seq, span.seq) << "span ending at " << seq;
        EXPECT_EQ(s.out, span.out) << "span ending at " << seq;
        if (s.frames > 0) {
            EXPECT_EQ(s.min, span.min) << "span ending at " << seq;
            EXPECT_EQ(s.max, span.max) << "span ending at " << seq;
        }
    }
}

namespace {

// A monitor's load on a publisher: a frame every 37 ms and an event every
// 150 ms, from a thread of its own, until stopped; what it sent is kept.
class Line {
  public:
    explicit Line(Publisher &publisher) : publisher_(publisher) {
        thread_ = std::thread([this] {
            for (int n = 1; !stop_; ++n) {
                publisher_.frame(frameWith(500, 500, 100));
                frames_ = n;
                if (n % 4 == 0) {
                    publisher_.event({stream::Clock::now(), limits::EventKind::OutOfTolerance, n,
                                      400, 600, {}, {}});
                    events_ = n / 4;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(37));
            }
        });
    }
    ~Line() { stop(); }
    void stop() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    int frames() const { return frames_; }
    int events() const { return events_; }

  private:
    Publisher &publisher_;
    std::atomic<bool> stop_{false};
    std::atomic<int> frames_{0}, events_{0};
    std::thread thread_;
};

// Every message on the sensor's frame and event topics, by frame seq and
// by event id (with how often each id came).
struct Heard {
    std::set<long long> seqs;
    std::map<std::string, int> ids;
    std::vector<int> eventOrder; // the events' Mvalue, as they came
    std::vector<std::string> summaries;

    void take(const Received &r) {
        const QJsonObject m = json(r.payload);
        if (r.topic.size() > 6 && r.topic.compare(r.topic.size() - 6, 6, "/frame") == 0)
            seqs.insert(m.value("seq").toInteger());
        else if (r.topic.size() > 6 && r.topic.compare(r.topic.size() - 6, 6, "/event") == 0) {
            ++ids[m.value("id").toString().toStdString()];
            eventOrder.push_back(m.value("Mvalue").toInt());
        } else if (r.topic.size() > 8 && r.topic.compare(r.topic.size() - 8, 8, "/summary") == 0)
            summaries.push_back(r.payload);
    }
};

// Collects on a thread of its own, connecting again whenever the broker is
// back, until told to stop and nothing came for a second and a half.
class Listener {
  public:
    Listener(const std::string &uri, const std::string &filter) : subscriber_(uri, filter, true) {}
    ~Listener() {
        if (thread_.joinable())
            finish();
    }
    bool start() {
        if (!subscriber_.connect())
            return false;
        thread_ = std::thread([this] {
            using namespace std::chrono;
            auto quietSince = steady_clock::now();
            Received r;
            for (;;) {
                if (subscriber_.next(r, 200)) {
                    heard_.take(r);
                    quietSince = steady_clock::now();
                } else if (stop_ && steady_clock::now() - quietSince > milliseconds(1500)) {
                    return;
                } else if (!subscriber_.connected()) {
                    std::this_thread::sleep_for(milliseconds(100));
                    subscriber_.connect();
                }
            }
        });
        return true;
    }
    Heard finish() {
        stop_ = true;
        thread_.join();
        return heard_;
    }

  private:
    Subscriber subscriber_;
    std::atomic<bool> stop_{false};
    Heard heard_;
    std::thread thread_;
};

struct Outage {
    const char *name;
    bool hang; // SIGSTOP and SIGCONT; else SIGKILL and a new start
    int seconds;
};

void PrintTo(const Outage &o, std::ostream *out) {
    *out << o.name;
}

class BrokerOutage : public testing::TestWithParam<Outage> {};

} // namespace

TEST_P(BrokerOutage, EveryEventArrivesOnceByIdInOrderAndEveryFrameIsPublishedOrCountedDropped) {
    const Outage outage = GetParam();
    MosquittoBroker broker;
    ASSERT_TRUE(broker.start());
    Listener listener(broker.uri(), "vexa-tb/outage/#");
    ASSERT_TRUE(listener.start());
    // Before the publisher: its keeper may still tell news as the test ends.
    std::mutex newsMutex;
    std::vector<std::pair<std::chrono::steady_clock::time_point, std::string>> news;
    Publisher publisher(targetOn(broker, "outage"));
    publisher.onNews([&](const std::string &text) {
        std::lock_guard<std::mutex> lock(newsMutex);
        news.emplace_back(std::chrono::steady_clock::now(), text);
    });
    ASSERT_EQ(publisher.start(), "");
    ASSERT_TRUE(waitUntil([&] { return publisher.connected(); })) << publisher.state();
    Line line(publisher);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));

    const auto cut = std::chrono::steady_clock::now();
    if (outage.hang)
        broker.pause();
    else
        broker.crash();
    EXPECT_TRUE(waitUntil([&] { return !publisher.connected(); }, 7000))
        << "a broker that stopped answering still counts as connected";
    const auto noticed = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(outage.seconds) - (noticed - cut));
    if (outage.hang)
        broker.resume();
    else
        ASSERT_TRUE(broker.start());
    ASSERT_TRUE(waitUntil([&] { return publisher.connected(); }, 15000)) << publisher.state();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    line.stop();
    publisher.stop();
    const Heard heard = listener.finish();

    EXPECT_EQ(static_cast<int>(heard.ids.size()), line.events()) << "events lost";
    for (const auto &[id, times] : heard.ids)
        EXPECT_FALSE(id.empty());
    std::vector<int> firstSeen;
    std::set<int> seen;
    for (int m : heard.eventOrder)
        if (seen.insert(m).second)
            firstSeen.push_back(m);
    EXPECT_TRUE(std::is_sorted(firstSeen.begin(), firstSeen.end())) << "events out of order";

    const long long missing = line.frames() - static_cast<long long>(heard.seqs.size());
    EXPECT_GT(missing, 0) << "the outage took no frame";
    EXPECT_GE(publisher.dropped(), missing) << "frames lost without being counted";
    EXPECT_EQ(publisher.eventsUndelivered(), 0);
    EXPECT_FALSE(heard.summaries.empty());

    std::lock_guard<std::mutex> lock(newsMutex);
    std::vector<std::string> said;
    for (const auto &n : news)
        said.push_back(n.second);
    const std::string lost =
        outage.hang ? "connection lost: the broker stopped answering"
                    : "connection lost: the broker closed the connection";
    const auto at = std::find(said.begin(), said.end(), lost);
    ASSERT_NE(at, said.end()) << testing::PrintToString(said);
    EXPECT_EQ(said.front(), "broker connected");
    EXPECT_EQ(said.back(), "broker connected");
    EXPECT_EQ(std::count(said.begin(), said.end(), lost), 1) << testing::PrintToString(said);
    if (outage.hang) {
        EXPECT_LT(news[static_cast<std::size_t>(at - said.begin())].first - cut,
                  std::chrono::seconds(6));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BrokerOutage,
                         testing::Values(Outage{"Hung", true, 10}, Outage{"Killed", false, 4}),
                         [](const auto &info) { return std::string(info.param.name); });

// 1002 events while the broker is away: the two oldest go, which is said
// once and counted in the status that goes out when the broker comes.
TEST(BrokerEvents, AFullQueueDropsTheOldestSaysSoOnceAndTheStatusCountsThem) {
    MosquittoBroker broker; // started once the queue has overflowed
    // Before the publisher: its keeper may tell news until it stops.
    std::mutex newsMutex;
    std::vector<std::string> said;
    Publisher publisher(targetOn(broker, "full"));
    publisher.onNews([&](const std::string &text) {
        std::lock_guard<std::mutex> lock(newsMutex);
        said.push_back(text);
    });
    const auto saidNow = [&] {
        std::lock_guard<std::mutex> lock(newsMutex);
        return said;
    };
    publisher.status(State::Online);
    ASSERT_EQ(publisher.start(), "");
    ASSERT_TRUE(waitUntil([&] { return !saidNow().empty(); }, 3000))
        << "no word of the refused connect";
    for (int n = 1; n <= 1002; ++n)
        publisher.event(
            {stream::Clock::now(), limits::EventKind::OutOfTolerance, n, 400, 600, {}, {}});
    EXPECT_EQ(publisher.eventsDropped(), 2);
    const std::vector<std::string> news = saidNow();
    EXPECT_EQ(std::count(news.begin(), news.end(),
                         "the event queue is full (1000 waiting): the oldest events are dropped"),
              1)
        << testing::PrintToString(news);

    ASSERT_TRUE(broker.start());
    Subscriber status(broker.uri(), "vexa-tb/full/status");
    ASSERT_TRUE(status.connect());
    Received got;
    ASSERT_TRUE(status.next(got, 5000)) << "no status within the publisher's retry";
    EXPECT_EQ(json(got.payload).value("events_dropped").toInt(), 2) << got.payload;
}

TEST(BrokerSummary, EachSecondSaysTheFramesCountTheirExtremesAndThoseOutOfTheBand) {
    MosquittoBroker broker;
    ASSERT_TRUE(broker.start());
    Subscriber subscriber(broker.uri(), "vexa-tb/summed/summary");
    ASSERT_TRUE(subscriber.connect());
    Target t = targetOn(broker, "summed");
    t.frameEvery = 3; // thinning the frames does not thin what the summary counts
    Publisher publisher(t);
    publisher.status(State::NoAnswer);
    ASSERT_EQ(publisher.start(), "");
    ASSERT_TRUE(waitUntil([&] { return publisher.connected(); }));
    Received first;
    ASSERT_TRUE(subscriber.next(first, 2500)) << "no summary within a second and a half";
    // The band 400..600 with its edges inside; 1 and 1023 clamp it.
    const int values[][3] = {{500, 500, 100}, {600, 500, 100}, {601, 500, 100}, {399, 500, 100},
                             {400, 500, 100}, {1, 50, 100},    {0, 50, 100},    {1023, 1000, 100}};
    for (const auto &v : values)
        publisher.frame(frameWith(v[0], v[1], v[2]));
    long long frames = 0, out = 0, lastSeq = 0;
    int least = 2000, most = -1, last = -1;
    Received got;
    while (frames < 8 && subscriber.next(got, 2500)) {
        const QJsonObject s = json(got.payload);
        EXPECT_EQ(s.value("state").toString(), "no answer") << got.payload;
        frames += s.value("frames").toInteger();
        if (s.value("frames").toInteger() == 0)
            continue;
        out += s.value("out").toInteger();
        least = std::min(least, s.value("min").toInt());
        most = std::max(most, s.value("max").toInt());
        last = s.value("Mvalue").toInt();
        lastSeq = s.value("seq").toInteger();
        if (lastSeq == 8) {
            EXPECT_EQ(s.value("lower").toInt(), 900) << "the last frame's band";
            EXPECT_EQ(s.value("upper").toInt(), 1023);
        }
    }
    EXPECT_EQ(frames, 8);
    EXPECT_EQ(out, 3); // 601, 399, 0
    EXPECT_EQ(least, 0);
    EXPECT_EQ(most, 1023);
    EXPECT_EQ(last, 1023);
    EXPECT_EQ(lastSeq, 8);
}

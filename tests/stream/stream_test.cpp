// The frame stream's rules, each a row: who is told, in which order, after
// which subscriptions and unsubscriptions, also those made while being told;
// and what the history keeps.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "stream/publish.h"
#include "stream/stream.h"

namespace {

using stream::Channel;
using stream::Subscription;

// Listeners a..d on one channel of ints; each row sets them up, publishes
// 1 and 2, and names who heard what, in order ("a1" is a told of 1).
struct Scene {
    Channel<int> channel;
    std::vector<std::string> heard;
    std::unique_ptr<Subscription> subs[4];

    std::function<void(const int &)> note(char who) {
        return
            [this, who](const int &v) { heard.push_back(std::string(1, who) + std::to_string(v)); };
    }
    void add(int i, std::function<void(const int &)> also = {}) {
        subs[i] = std::make_unique<Subscription>(channel.subscribe([this, i, also](const int &v) {
            note(static_cast<char>('a' + i))(v);
            if (also)
                also(v);
        }));
    }
};

TEST(FrameStream, ChannelRules) {
    const struct {
        const char *rule;
        std::function<void(Scene &)> setUp;
        std::vector<std::string> heard;
        std::size_t listenersAfter;
    } rows[] = {
        {"nobody listens", [](Scene &) {}, {}, 0},
        {"listeners are told in the order they subscribed",
         [](Scene &s) {
             s.add(2);
             s.add(0);
             s.add(1);
         },
         {"c1", "a1", "b1", "c2", "a2", "b2"},
         3},
        {"a dropped subscription ends at once",
         [](Scene &s) {
             s.add(0);
             s.add(1);
             s.subs[0].reset();
         },
         {"b1", "b2"},
         1},
        {"a reset subscription ends at once",
         [](Scene &s) {
             s.add(0);
             s.add(1);
             s.subs[1]->reset();
         },
         {"a1", "a2"},
         1},
        {"a listener may end its own subscription while told",
         [](Scene &s) {
             s.add(0, [&s](const int &) { s.subs[0]->reset(); });
             s.add(1);
         },
         {"a1", "b1", "b2"},
         1},
        {"a listener may end a later one's while told: that one is not told",
         [](Scene &s) {
             s.add(0, [&s](const int &v) {
                 if (v == 1)
                     s.subs[1].reset();
             });
             s.add(1);
             s.add(2);
         },
         {"a1", "c1", "a2", "c2"},
         2},
        {"a listener subscribed while told hears from the next event on",
         [](Scene &s) {
             s.add(0, [&s](const int &v) {
                 if (v == 1)
                     s.add(3);
             });
         },
         {"a1", "a2", "d2"},
         2},
        {"a moved subscription keeps listening",
         [](Scene &s) {
             s.add(0);
             auto moved = std::make_unique<Subscription>(std::move(*s.subs[0]));
             s.subs[0] = std::move(moved);
         },
         {"a1", "a2"},
         1},
    };
    for (const auto &row : rows) {
        Scene scene;
        row.setUp(scene);
        scene.channel.publish(1);
        scene.channel.publish(2);
        EXPECT_EQ(scene.heard, row.heard) << row.rule;
        EXPECT_EQ(scene.channel.listeners(), row.listenersAfter) << row.rule;
    }
}

TEST(FrameStream, ASubscriptionOutlivingItsChannelEndsQuietly) {
    Subscription kept;
    {
        Channel<int> channel;
        kept = channel.subscribe([](const int &) {});
    }
    kept.reset();
    EXPECT_FALSE(kept);
}

TEST(FrameStream, HistoryKeepsTheNewestUpToItsCapacityOldestFirst) {
    const struct {
        std::size_t capacity;
        int pushed; // 1, 2, ... pushed
        std::vector<int> kept;
    } rows[] = {
        {3, 0, {}},        {3, 1, {1}}, {3, 3, {1, 2, 3}}, {3, 4, {2, 3, 4}},
        {3, 7, {5, 6, 7}}, {1, 2, {2}}, {0, 2, {}},
    };
    for (const auto &row : rows) {
        stream::History<int> history(row.capacity);
        for (int i = 1; i <= row.pushed; ++i)
            history.push(i);
        EXPECT_EQ(history.toVector(), row.kept) << row.capacity << " after " << row.pushed;
        if (!row.kept.empty()) {
            EXPECT_EQ(history.newest(), row.kept.back());
        }
    }
}

// The plain functions the loops and the link call reach the program's
// stream whole: every word, every sample, and the kind of each port event.
TEST(FrameStream, ThePublishingFunctionsReachTheProgramStream) {
    stream::FrameStream &program = stream::programStream();
    std::vector<stream::Frame> frames;
    std::vector<stream::VideoPass> passes;
    std::vector<stream::PortEvent> events;
    std::vector<bool> loops;
    const Subscription s1 = program.frames.subscribe([&](const auto &f) { frames.push_back(f); });
    const Subscription s2 =
        program.videoPasses.subscribe([&](const auto &p) { passes.push_back(p); });
    const Subscription s3 =
        program.portEvents.subscribe([&](const auto &e) { events.push_back(e); });
    const Subscription s4 =
        program.loops.subscribe([&](const auto &l) { loops.push_back(l.running); });

    unsigned short words[FRAME_WORDS_SEEN];
    for (int i = 0; i < FRAME_WORDS_SEEN; ++i)
        words[i] = static_cast<unsigned short>(100 + i);
    unsigned short x[VIDEO_PASS_SAMPLES], y[VIDEO_PASS_SAMPLES];
    for (int i = 0; i < VIDEO_PASS_SAMPLES; ++i) {
        x[i] = static_cast<unsigned short>(4 * i);
        y[i] = static_cast<unsigned short>(1023 - i);
    }
    const auto before = stream::Clock::now();
    LoopRunning(1);
    FrameDecoded(words);
    VideoPassDecoded(x, y);
    TrendPointPlotted(600, 400, 500, 512, 7);
    VideoCurvePlotted(x, y, x);
    PortOpened(3, -6);
    PortLost(3);
    ExchangeEnded(3, 1);
    ExchangeEnded(3, 0);
    LoopRunning(0);

    ASSERT_EQ(frames.size(), 1u);
    EXPECT_GE(frames[0].time, before);
    EXPECT_EQ(frames[0][FRAME_LEDGE], 100);
    EXPECT_EQ(frames[0][FRAME_IN0], 112);
    EXPECT_EQ(program.recentFrames.newest().words, frames[0].words);
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_EQ(passes[0].x[255], 1020);
    EXPECT_EQ(passes[0].y[0], 1023);
    const stream::TrendPoint point = program.trend.newest();
    EXPECT_EQ((std::vector<double>{point.upper, point.lower, point.teach, point.measured,
                                   point.selected}),
              (std::vector<double>{600, 400, 500, 512, 7}));
    ASSERT_TRUE(program.videoCurve);
    EXPECT_EQ(program.videoCurve->y, passes[0].y);
    EXPECT_EQ(program.videoCurve->threshold, passes[0].x);
    program.clearHistory();
    EXPECT_TRUE(program.trend.empty() && program.recentFrames.empty() && !program.videoCurve);
    using Kind = stream::PortEvent::Kind;
    ASSERT_EQ(events.size(), 4u);
    const Kind kinds[] = {Kind::Opened, Kind::Lost, Kind::Answered, Kind::NoAnswer};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(events[i].kind, kinds[i]) << i;
        EXPECT_EQ(events[i].port, 3);
    }
    EXPECT_EQ(events[0].result, -6);
    EXPECT_EQ(loops, (std::vector<bool>{true, false}));
}

} // namespace

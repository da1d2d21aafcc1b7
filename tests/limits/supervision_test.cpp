// The line's supervision, each rule a row: which frames raise and end an
// excursion (on-delay, hysteresis, both band edges, a band that moves, the
// duration and extreme), which port events report a change of the line, and
// the supervisor on the program's frame stream.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "limits/line_watch.h"
#include "limits/supervisor.h"
#include "limits/tolerance_watch.h"
#include "stream/publish.h"
#include "stream/stream.h"

namespace {

using limits::EventKind;
using limits::LimitEvent;
using std::chrono::milliseconds;

const stream::Clock::time_point T0 = stream::Clock::from_time_t(1'800'000'000);

// "out of tolerance @10 613 [412,612]", then " 20ms extreme 650" for an end.
std::string shown(const LimitEvent &e) {
    std::string text = std::string(limits::kindText(e.kind)) + " @" +
                       std::to_string((e.time - T0) / milliseconds(1));
    if (e.mvalue)
        text += " " + std::to_string(*e.mvalue) + " [" + std::to_string(e.lower.value_or(-1)) +
                "," + std::to_string(e.upper.value_or(-1)) + "]";
    if (e.durationMs)
        text += " " + std::to_string(*e.durationMs) + "ms";
    if (e.extreme)
        text += " extreme " + std::to_string(*e.extreme);
    return text;
}

struct At {
    int ms;
    std::uint16_t mvalue, tVal = 512, tTol = 100; // band 412 .. 612
};

stream::Frame frameAt(const At &at) {
    stream::Frame frame;
    frame.time = T0 + milliseconds(at.ms);
    frame.words[FRAME_MVALUE] = at.mvalue;
    frame.words[FRAME_TVAL] = at.tVal;
    frame.words[FRAME_TTOL] = at.tTol;
    return frame;
}

TEST(ToleranceWatch, RaisesAndEndsExcursionsAsTheFramesDecide) {
    const struct {
        const char *rule;
        int onDelayMs, hysteresis;
        std::vector<At> frames;
        std::vector<std::string> events;
    } rows[] = {
        {"both edges lie inside", 0, 0, {{0, 412}, {10, 612}, {20, 500}}, {}},
        {"above the upper edge: out at once, back on the edge",
         0,
         0,
         {{0, 500}, {10, 613}, {20, 650}, {30, 612}},
         {"out of tolerance @10 613 [412,612]",
          "back in tolerance @30 612 [412,612] 20ms extreme 650"}},
        {"below the lower edge: back on the edge",
         0,
         0,
         {{0, 411}, {40, 300}, {50, 350}, {60, 412}},
         {"out of tolerance @0 411 [412,612]",
          "back in tolerance @60 412 [412,612] 60ms extreme 300"}},
        {"excursions shorter than the on-delay raise nothing",
         50,
         0,
         {{0, 500}, {10, 700}, {40, 700}, {50, 500}, {60, 700}, {100, 500}},
         {}},
        {"the on-delay passed: raised then, lasting from the first frame outside",
         50,
         0,
         {{0, 500}, {10, 700}, {40, 720}, {60, 710}, {70, 705}, {90, 500}},
         {"out of tolerance @60 710 [412,612]",
          "back in tolerance @90 500 [412,612] 80ms extreme 720"}},
        {"a value inside the band restarts the on-delay, hysteresis or not",
         30,
         5,
         {{0, 700}, {20, 610}, {40, 700}, {70, 700}},
         {"out of tolerance @70 700 [412,612]"}},
        {"hysteresis at the upper edge: 608 stays out, 607 ends it",
         0,
         5,
         {{0, 650}, {10, 612}, {20, 608}, {30, 607}},
         {"out of tolerance @0 650 [412,612]",
          "back in tolerance @30 607 [412,612] 30ms extreme 650"}},
        {"hysteresis at the lower edge: 416 stays out, 417 ends it",
         0,
         5,
         {{0, 400}, {10, 412}, {20, 416}, {30, 417}},
         {"out of tolerance @0 400 [412,612]",
          "back in tolerance @30 417 [412,612] 30ms extreme 400"}},
        {"the extreme lies farthest outside, below or above",
         0,
         0,
         {{0, 400}, {10, 700}, {20, 300}, {30, 690}, {40, 500}},
         {"out of tolerance @0 400 [412,612]",
          "back in tolerance @40 500 [412,612] 40ms extreme 300"}},
        {"the band moves: each frame judged against its own",
         0,
         0,
         {{0, 500}, {10, 500, 400, 50}, {20, 690, 512, 50}, {30, 700}, {40, 500, 400, 100}},
         {"out of tolerance @10 500 [350,450]",
          "back in tolerance @40 500 [300,500] 30ms extreme 690"}},
        {"the clamped band: 0 below 1, 1024 above 1023",
         0,
         0,
         {{0, 0, 50, 80}, {10, 1, 50, 80}, {20, 1024, 1000, 100}, {30, 1023, 1000, 100}},
         {"out of tolerance @0 0 [1,130]", "back in tolerance @10 1 [1,130] 10ms extreme 0",
          "out of tolerance @20 1024 [900,1023]",
          "back in tolerance @30 1023 [900,1023] 10ms extreme 1024"}},
        {"a second excursion has its own start and extreme",
         0,
         0,
         {{0, 700}, {10, 500}, {20, 400}, {35, 500}},
         {"out of tolerance @0 700 [412,612]",
          "back in tolerance @10 500 [412,612] 10ms extreme 700",
          "out of tolerance @20 400 [412,612]",
          "back in tolerance @35 500 [412,612] 15ms extreme 400"}},
    };
    for (const auto &row : rows) {
        limits::ToleranceWatch watch({milliseconds(row.onDelayMs), row.hysteresis});
        std::vector<std::string> events;
        for (const At &at : row.frames)
            if (const auto event = watch.feed(frameAt(at)))
                events.push_back(shown(*event));
        EXPECT_EQ(events, row.events) << row.rule;
    }
}

TEST(LineWatch, ReportsEachChangeOfTheAnswersAndThePortOnce) {
    using K = stream::PortEvent::Kind;
    const struct {
        const char *rule;
        std::vector<stream::PortEvent> events; // the i-th comes at T0 + i ms
        std::vector<std::string> reported;
    } rows[] = {
        {"a first answer is no news, a first silence after answers is",
         {{K::Answered, 1},
          {K::Answered, 1},
          {K::NoAnswer, 1},
          {K::NoAnswer, 1},
          {K::Answered, 1},
          {K::Answered, 1},
          {K::NoAnswer, 1}},
         {"no answer @2", "answering again @4", "no answer @6"}},
        {"silence from the start",
         {{K::NoAnswer, 1}, {K::NoAnswer, 1}, {K::Answered, 1}},
         {"no answer @0", "answering again @2"}},
        {"a lost port comes back with the next open that works",
         {{K::Lost, 1},
          {K::Lost, 1},
          {K::Opened, 1, -3},
          {K::Opened, 1, 0},
          {K::Opened, 1, 0},
          {K::Lost, 1}},
         {"port lost @0", "port back @3", "port lost @5"}},
        {"an open without a loss is no news", {{K::Opened, 1, 0}, {K::Answered, 1}}, {}},
        {"an exchange cut short by the loss tells nothing until the port is back",
         {{K::Answered, 1},
          {K::Lost, 1},
          {K::NoAnswer, 1},
          {K::Opened, 1, 0},
          {K::Answered, 1},
          {K::NoAnswer, 1}},
         {"port lost @1", "port back @3", "no answer @5"}},
    };
    for (const auto &row : rows) {
        limits::LineWatch watch;
        std::vector<std::string> reported;
        for (std::size_t i = 0; i < row.events.size(); ++i)
            if (const auto event = watch.feed(row.events[i], T0 + milliseconds(i)))
                reported.push_back(shown(*event));
        EXPECT_EQ(reported, row.reported) << row.rule;
    }
}

// The supervisor hears the program's stream: frames as the loops publish
// them, port events as the link does, with its settings; it counts the
// excursions and ends its subscriptions with itself.
TEST(Supervisor, PublishesTheEventsOfTheProgramsStreamAndCountsExcursions) {
    stream::FrameStream &program = stream::programStream();
    const std::size_t framesHeard = program.frames.listeners();
    std::vector<LimitEvent> events;
    const auto frame = [](unsigned short mvalue) {
        unsigned short words[FRAME_WORDS_SEEN] = {};
        words[FRAME_MVALUE] = mvalue, words[FRAME_TVAL] = 512, words[FRAME_TTOL] = 100;
        FrameDecoded(words);
    };
    const auto before = stream::Clock::now();
    {
        limits::Supervisor supervisor({milliseconds(0), 5});
        const stream::Subscription heard =
            supervisor.events.subscribe([&](const LimitEvent &e) { events.push_back(e); });
        PortOpened(1, 0);
        ExchangeEnded(1, 1);
        frame(500);
        frame(700);
        ExchangeEnded(1, 0);
        frame(610); // inside, but not by more than the hysteresis
        EXPECT_TRUE(supervisor.outOfTolerance());
        frame(600);
        frame(300);
        PortLost(1);
        EXPECT_EQ(supervisor.excursions(), 2);
        ASSERT_EQ(events.size(), 5u);
        EXPECT_EQ(supervisor.lastExcursion(), events[3].time);
    }
    const auto after = stream::Clock::now();
    std::vector<std::string> kinds;
    for (const LimitEvent &e : events) {
        kinds.push_back(limits::kindText(e.kind));
        EXPECT_TRUE(e.time >= before && e.time <= after) << kinds.back();
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"out of tolerance", "no answer", "back in tolerance",
                                               "out of tolerance", "port lost"}));
    EXPECT_EQ(events[2].mvalue, 600);
    EXPECT_EQ(events[2].extreme, 700);
    EXPECT_EQ(program.frames.listeners(), framesHeard);
    frame(700); // no one is left to hear it
    EXPECT_EQ(events.size(), 5u);
}

} // namespace

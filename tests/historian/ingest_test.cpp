// The ingest reads payloads made by the publisher's own builders
// (broker/messages.h), in a zone with a half-hour offset, so the test reads
// exactly what a monitor sends: good messages become their records, broken
// ones are passed over with the reason, and a sensor's gaps, repeated infos
// and roll-ups follow from the messages before.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include <nlohmann/json.hpp>

#include "broker/messages.h"
#include "historian/changes.h"
#include "historian/ingest.h"

using namespace historian;

namespace {

constexpr Millis T0 = 1796688000000; // 2026-12-08T00:00:00Z
const std::string FRAME = "vexa-tb/line1/frame", EVENT = "vexa-tb/line1/event",
                  STATUS = "vexa-tb/line1/status", INFO = "vexa-tb/line1/info";

stream::Clock::time_point at(Millis time) {
    return stream::Clock::time_point(std::chrono::milliseconds(time));
}

std::string frameJson(std::int64_t seq, Millis time, std::uint16_t mvalue = 500) {
    stream::Frame frame{at(time), {}};
    for (int word = 0; word < FRAME_WORDS; ++word)
        frame.words[word] = std::uint16_t(100 + word);
    frame.words[FRAME_MVALUE] = mvalue;
    return broker::frameJson(seq, frame);
}

std::string statusJson(broker::State state, Millis time) {
    return broker::statusJson(state, at(time),
                              {"/dev/ttyUSB0", "vexa-tb-ctl 1.41", "i1", 3, 0, ""});
}

std::string infoJson(Millis time, unsigned short tVal = 512) {
    broker::SensorInfo info{"V-EXA-TB 1.4", "TCD1304", 3648, {}};
    for (int word = 0; word < PARAMETERS; ++word)
        info.parameters[word] = static_cast<unsigned short>(word + 1);
    info.parameters[8] = tVal;
    return broker::infoJson(info, at(time));
}

// Local times with the offset -03:30 (Newfoundland, no tzdata needed).
class IngestTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char *tz = std::getenv("TZ"))
            savedTz = tz;
        setenv("TZ", "<-0330>3:30", 1);
        tzset();
    }
    void TearDown() override {
        if (savedTz)
            setenv("TZ", savedTz->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::optional<std::string> savedTz;
    Ingest ingest;
    Batch batch;
};

std::string text(const GapRecord &g) {
    return std::to_string((g.from - T0) / 1000) + ".." + std::to_string((g.to - T0) / 1000) + " " +
           g.reason;
}

} // namespace

TEST(IsoTime, ReadsThePublishersTimesAndRefusesOthers) {
    const struct {
        const char *text;
        std::optional<Millis> time;
    } rows[] = {
        {"2026-12-08T00:00:00.000+00:00", T0},
        {"2026-12-08T01:12:20.248+01:00", T0 + 12 * 60000 + 20248},
        {"2026-12-07T20:30:00.5-03:30", T0 + 500},
        {"2026-12-08T00:00:00Z", T0},
        {"2026-12-08T02:00:00+0200", T0},
        {"2026-13-08T00:00:00Z", std::nullopt},
        {"2026-02-29T00:00:00Z", std::nullopt},
        {"2026-12-08 00:00:00Z", std::nullopt},
        {"2026-12-08T00:00:00.Z", std::nullopt},
        {"2026-12-08T00:00:00+01:00x", std::nullopt},
        {"yesterday", std::nullopt},
    };
    for (const auto &row : rows)
        EXPECT_EQ(parseIsoTime(row.text), row.time) << row.text;
}

TEST_F(IngestTest, EachTopicsMessageBecomesItsRecord) {
    limits::LimitEvent back{at(T0 + 7), limits::EventKind::BackInTolerance, 550, 400, 600, 1500,
                            720};
    ASSERT_TRUE(ingest.take(STATUS, statusJson(broker::State::Online, T0), T0 + 50, batch));
    ASSERT_TRUE(ingest.take(INFO, infoJson(T0 + 1), T0 + 50, batch));
    ASSERT_TRUE(ingest.take(FRAME, frameJson(42, T0 + 2, 65535), T0 + 50, batch));
    ASSERT_TRUE(ingest.take(EVENT, broker::eventJson(back, "i1-7"), T0 + 50, batch));
    ASSERT_TRUE(ingest.take("vexa-tb/line1/event",
                            R"({"time":"2026-12-07T20:30:00.009-03:30","kind":"no answer"})",
                            T0 + 50, batch))
        << "an event of a publisher without ids";
    ASSERT_TRUE(ingest.take(STATUS, broker::lastWillJson("i1"), T0 + 60, batch));
    EXPECT_EQ(ingest.foreign(), 0) << ingest.lastForeign();
    EXPECT_EQ(ingest.taken(), 6);

    ASSERT_EQ(batch.statuses.size(), 2u);
    const StatusRecord &online = batch.statuses[0], &will = batch.statuses[1];
    EXPECT_EQ(std::tie(online.sensor, online.time, online.state, online.port, online.program),
              std::make_tuple("line1", T0, "online", "/dev/ttyUSB0", "vexa-tb-ctl 1.41"));
    EXPECT_EQ(std::tie(will.time, will.state, will.program),
              std::make_tuple(T0 + 60, "offline", ""))
        << "a last will takes the arrival time";
    ASSERT_EQ(batch.infos.size(), 1u);
    const InfoRecord &info = batch.infos[0];
    EXPECT_EQ(std::tie(info.time, info.firmware, info.ccd, info.pixels, info.program),
              std::make_tuple(T0 + 1, "V-EXA-TB 1.4", "TCD1304", 3648, "vexa-tb-ctl 1.41"));
    EXPECT_EQ(info.parameters, (std::array<int, PARAMETERS>{1, 2, 3, 4, 5, 6, 7, 8, 512, 10, 11, 12,
                                                            13, 14, 15, 16}));
    ASSERT_EQ(batch.frames.size(), 1u);
    const FrameRecord &frame = batch.frames[0];
    EXPECT_EQ(std::tie(frame.sensor, frame.time, frame.seq), std::make_tuple("line1", T0 + 2, 42));
    EXPECT_EQ(frame.words, (std::array<std::uint16_t, FRAME_WORDS>{
                               100, 101, 65535, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112}));
    ASSERT_EQ(batch.events.size(), 2u);
    const EventRecord &e = batch.events[0];
    EXPECT_EQ(std::tie(e.time, e.id, e.kind, e.mvalue, e.lower, e.upper, e.extreme, e.durationMs),
              std::make_tuple(T0 + 7, "i1-7", "back in tolerance", std::optional(550),
                              std::optional(400), std::optional(600), std::optional(720),
                              std::optional<std::int64_t>(1500)));
    EXPECT_EQ(std::tie(batch.events[1].id, batch.events[1].time, batch.events[1].mvalue),
              std::make_tuple("", T0 + 9, std::optional<int>()));
}

TEST_F(IngestTest, ABrokenMessageIsPassedOverWithTheReason) {
    const auto with = [](const std::string &json, const char *field, const nlohmann::json &value) {
        auto object = nlohmann::json::parse(json);
        if (value.is_discarded())
            object.erase(field);
        else
            object[field] = value;
        return object.dump();
    };
    const nlohmann::json missing(nlohmann::json::value_t::discarded);
    auto info = nlohmann::json::parse(infoJson(T0));
    info["parameters"].erase("tVal");
    const std::string good = frameJson(1, T0);
    const struct {
        std::string topic, payload, reason;
    } rows[] = {
        {FRAME, with(good, "Mvalue", "500"), "vexa-tb/line1/frame: Mvalue is not a number"},
        {FRAME, with(good, "in0", missing), "vexa-tb/line1/frame: in0 is missing"},
        {FRAME, with(good, "Mvalue", 65536),
         "vexa-tb/line1/frame: Mvalue is out of range (65536, not 0 to 65535)"},
        {FRAME, with(good, "tTol", -1),
         "vexa-tb/line1/frame: tTol is out of range (-1, not 0 to 65535)"},
        {FRAME, with(good, "Mvalue", 1e300),
         "vexa-tb/line1/frame: Mvalue is out of range (1e+300, not 0 to 65535)"},
        {FRAME, with(good, "Mvalue", 1.5),
         "vexa-tb/line1/frame: Mvalue is not a whole number (1.5)"},
        {FRAME, with(good, "seq", 0),
         "vexa-tb/line1/frame: seq is out of range (0, not 1 to 9007199254740992)"},
        {FRAME, with(good, "time", "yesterday"),
         "vexa-tb/line1/frame: time is not an ISO 8601 time (yesterday)"},
        {FRAME, R"({"seq":1,"Mvalue":1e400})", "vexa-tb/line1/frame: not JSON"},
        {FRAME, "[1,2]", "vexa-tb/line1/frame: not a JSON object"},
        {EVENT,
         with(broker::eventJson({at(T0), limits::EventKind::NoAnswer, {}, {}, {}, {}, {}}, "i1-1"),
              "kind", std::string(301, 'k')),
         "vexa-tb/line1/event: kind is longer than 300 characters (301)"},
        {EVENT, R"({"time":"2026-12-08T00:00:00Z","kind":5})",
         "vexa-tb/line1/event: kind is not a text"},
        {STATUS, with(statusJson(broker::State::Online, T0), "state", missing),
         "vexa-tb/line1/status: state is missing"},
        {STATUS, with(statusJson(broker::State::Online, T0), "dropped", -3),
         "vexa-tb/line1/status: dropped is out of range (-3, not 0 to 9007199254740992)"},
        {INFO, info.dump(), "vexa-tb/line1/info: parameters.tVal is missing"},
        {INFO, with(infoJson(T0), "pixels", "3648"), "vexa-tb/line1/info: pixels is not a number"},
        {"vexa-tb/line 1/frame", good,
         "vexa-tb/line 1/frame: the sensor's name may hold letters, digits, \"-\", \"_\" and \".\" "
         "only"},
        {"vexa-tb//frame", good, "vexa-tb//frame: the sensor's name is empty"},
        {"vexa-tb/" + std::string(101, 'n') + "/frame", good,
         "vexa-tb/" + std::string(101, 'n') +
             "/frame: the sensor's name is longer than 100 characters"},
        {"vexa-tb/a/b/frame", good,
         "vexa-tb/a/b/frame: not a sensor's topic (vexa-tb/<name>/<leaf>)"},
        {"plant/line1/frame", good,
         "plant/line1/frame: not a sensor's topic (vexa-tb/<name>/<leaf>)"},
        {"vexa-tb/line1/video", good, "vexa-tb/line1/video: not a topic the historian keeps"},
    };
    std::int64_t foreign = 0;
    for (const auto &row : rows) {
        EXPECT_FALSE(ingest.take(row.topic, row.payload, T0, batch)) << row.reason;
        EXPECT_EQ(ingest.foreign(), ++foreign);
        EXPECT_EQ(ingest.lastForeign(), row.reason);
    }
    EXPECT_TRUE(batch.empty()) << "nothing of a broken message";
    EXPECT_EQ(ingest.taken(), 0);
}

TEST_F(IngestTest, GapsFollowSeqJumpsRestartsAndStatusesThatAreNotOnline) {
    struct Message {
        char kind; // 'f' a frame with seq, 's' a status with state, 'w' a last will
        std::int64_t seq;
        Millis second; // after T0
        broker::State state = broker::State::Online;
    };
    const struct {
        const char *name;
        std::vector<Message> messages;
        std::vector<std::string> gaps;
    } rows[] = {
        {"every frame", {{'f', 1, 1}, {'f', 2, 2}, {'f', 3, 3}}, {}},
        {"--frame-every 10", {{'f', 1, 1}, {'f', 11, 2}, {'f', 21, 3}, {'f', 31, 4}}, {}},
        {"a jump at --frame-every 10",
         {{'f', 1, 1}, {'f', 11, 2}, {'f', 21, 3}, {'f', 61, 7}, {'f', 71, 8}},
         {"3..7 seq 21 to 61"}},
        {"joined a run",
         {{'f', 1001, 1}, {'f', 1002, 2}, {'f', 1010, 9}},
         {"2..9 seq 1002 to 1010"}},
        {"restarted",
         {{'f', 1, 1}, {'f', 2, 2}, {'f', 3, 3}, {'f', 1, 9}, {'f', 2, 10}},
         {"3..9 restarted"}},
        {"restarted with --frame-every 10",
         {{'f', 1, 1}, {'f', 2, 2}, {'f', 1, 5}, {'f', 11, 6}, {'f', 21, 7}},
         {"2..5 restarted"}},
        {"no answer, then frames again",
         {{'f', 1, 1}, {'f', 2, 2}, {'s', 0, 3, broker::State::NoAnswer}, {'s', 0, 8}, {'f', 3, 9}},
         {"3..9 no answer"}},
        {"port lost while seq ran on: one gap",
         {{'f', 1, 1}, {'f', 2, 2}, {'s', 0, 3, broker::State::PortLost}, {'f', 50, 9}},
         {"3..9 port lost"}},
        {"no answer, then offline",
         {{'f', 1, 1}, {'s', 0, 3, broker::State::NoAnswer}, {'w', 0, 5}, {'f', 1, 9}},
         {"3..5 no answer", "5..9 offline"}},
    };
    for (const auto &row : rows) {
        Ingest ingest;
        Batch batch;
        for (const Message &m : row.messages) {
            const Millis time = T0 + m.second * 1000;
            const std::string payload = m.kind == 'f'   ? frameJson(m.seq, time)
                                        : m.kind == 's' ? statusJson(m.state, time)
                                                        : broker::lastWillJson("i1");
            ASSERT_TRUE(ingest.take(m.kind == 'f' ? FRAME : STATUS, payload, time, batch))
                << ingest.lastForeign();
        }
        std::vector<std::string> gaps;
        for (const GapRecord &gap : batch.gaps)
            gaps.push_back(text(gap));
        EXPECT_EQ(gaps, row.gaps) << row.name;
    }
}

TEST_F(IngestTest, AnInfoOrStatusThatChangedNothingIsNotKeptAgain) {
    ingest.take(STATUS, statusJson(broker::State::Online, T0), T0, batch);
    ingest.take(INFO, infoJson(T0 + 1), T0, batch);
    ingest.take(STATUS, statusJson(broker::State::Online, T0 + 2), T0, batch); // a reconnection
    ingest.take(INFO, infoJson(T0 + 3), T0, batch);
    ingest.take(STATUS, broker::lastWillJson("i1"), T0 + 4, batch);
    ingest.take(INFO, infoJson(T0 + 5, 600), T0, batch);
    ASSERT_EQ(batch.infos.size(), 2u);
    EXPECT_EQ(batch.infos[1].time, T0 + 5);
    EXPECT_EQ(batch.infos[1].program, "vexa-tb-ctl 1.41") << "the last status that named one";
    EXPECT_EQ(batch.statuses.size(), 2u) << "online once, then offline";

    const auto changes = parameterChanges(batch.infos);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(std::tie(changes[0].time, changes[0].what, changes[0].from, changes[0].to),
              std::make_tuple(T0 + 5, "tVal", "512", "600"));
    EXPECT_EQ(parameterChanges(batch.infos, FirstInfo::ListsEveryField).size(), 3u + 16 + 1);
}

TEST_F(IngestTest, OpenRollupsAreHandedOutWhenTheSensorGoesAwayOrAtTheEnd) {
    ingest.take(FRAME, frameJson(1, T0 + 1000), T0, batch);
    ingest.take(FRAME, frameJson(2, T0 + 61000), T0, batch);
    ingest.take(FRAME, frameJson(3, T0 + 30000), T0, batch); // the time went back
    EXPECT_EQ(batch.frames.size(), 3u) << "every frame kept raw";
    EXPECT_EQ(batch.rollups.size(), 2u) << "minute 0, then minute 1 closed by the frame back in 0";
    ingest.take(STATUS, statusJson(broker::State::NoAnswer, T0 + 62000), T0, batch);
    ASSERT_EQ(batch.rollups.size(), 4u) << "minute 0 again and the hour";
    std::int64_t frames = 0;
    for (const Rollup &r : batch.rollups)
        frames += r.seconds == 60 ? r.count : 0;
    EXPECT_EQ(frames, 3);
    ingest.take(FRAME, frameJson(4, T0 + 63000), T0, batch);
    ingest.flush(batch);
    EXPECT_EQ(batch.rollups.size(), 6u);
}

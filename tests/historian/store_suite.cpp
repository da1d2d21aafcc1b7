// The store rules, each test a batch appended and read back through the
// Store interface; expected values come from the raw frames in the test, so
// a roll-up or a grouping the store gets wrong shows as a difference.
#include "tests/historian/store_suite.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "limits/tolerance.h"

using namespace historian;

namespace {

constexpr Millis T0 = 1796688000000; // 2026-12-08T00:00:00Z, on an hour
constexpr Millis SECOND = 1000, MINUTE = 60 * SECOND, HOUR = 60 * MINUTE, DAY = 24 * HOUR;
const Span ALL{0, T0 + 400 * DAY};

Millis start(Millis time, int seconds) {
    return time - time % (Millis{seconds} * 1000);
}

FrameRecord frame(const std::string &sensor, Millis time, std::int64_t seq, int mvalue,
                  int tVal = 500, int tTol = 100) {
    FrameRecord f{sensor, time, seq, {}};
    for (int word = 0; word < FRAME_WORDS; ++word)
        f.words[word] = std::uint16_t(seq * 7 + word * 1000); // every word its own value
    f.words[2] = std::uint16_t(mvalue);
    f.words[3] = std::uint16_t(tVal);
    f.words[4] = std::uint16_t(tTol);
    return f;
}

// Frames every 1.9 s from 02:58 to 04:33 (across minute and hour edges), the
// measured value wandering in and out of a band that changes from frame to
// frame (so a bucket's band is its last frame's, not any).
std::vector<FrameRecord> wanderingFrames(const std::string &sensor) {
    std::vector<FrameRecord> frames;
    unsigned noise = 12345;
    for (int i = 0; i < 3000; ++i) {
        noise = noise * 1103515245 + 12345;
        const int mvalue = 380 + int(noise >> 16) % 240;
        frames.push_back(frame(sensor, T0 + 2 * HOUR + 58 * MINUTE + i * 1900, i + 1, mvalue, 500,
                               80 + i % 3 * 10));
    }
    return frames;
}

limits::ToleranceBand bandOf(const FrameRecord &f) {
    return limits::toleranceBand(f.words[3], f.words[4]);
}

// The roll-ups of the frames (in time order), as a store must end up with.
std::vector<Rollup> rollupsOf(const std::vector<FrameRecord> &frames, int seconds) {
    std::map<Millis, Rollup> spans;
    for (const FrameRecord &f : frames) {
        const int m = f.words[2];
        const auto band = bandOf(f);
        Rollup &r = spans[start(f.time, seconds)];
        if (r.count == 0)
            r = {f.sensor, start(f.time, seconds), seconds, 0, 0, 0, m, m, 0, 0, 0};
        ++r.count;
        r.sum += m;
        r.sumSquares += double(m) * m;
        r.min = std::min(r.min, m);
        r.max = std::max(r.max, m);
        r.out += !band.contains(m);
        r.lower = band.lower;
        r.upper = band.upper;
    }
    std::vector<Rollup> rollups;
    for (auto &[at, r] : spans)
        rollups.push_back(r);
    return rollups;
}

// Records as one line of text each: a difference shows field by field.
template <typename T> void put(std::ostream &out, const T &value) {
    out << value << ' ';
}
template <typename T> void put(std::ostream &out, const std::optional<T> &value) {
    value ? put(out, *value) : void(out << "- ");
}
template <typename T, std::size_t N> void put(std::ostream &out, const std::array<T, N> &values) {
    for (const T &value : values)
        put(out, value);
}
template <typename... Fields> std::string line(const Fields &...fields) {
    std::ostringstream out;
    out.precision(17);
    (put(out, fields), ...);
    return out.str();
}

std::string text(const TrendPoint &p) {
    return line(p.start, p.count, p.mean, p.min, p.max, p.lower, p.upper);
}
std::string text(const Stats &s) {
    return line(s.count, s.sum, s.sumSquares, s.min, s.max, s.out, s.lower, s.upper);
}
std::string text(const FrameRecord &f) {
    return line(f.sensor, f.time, f.seq, f.words);
}
std::string text(const EventRecord &e) {
    return line(e.sensor, e.time, e.id, e.kind, e.mvalue, e.lower, e.upper, e.extreme,
                e.durationMs);
}
std::string text(const StatusRecord &s) {
    return line(s.sensor, s.time, s.state, s.port, s.program, s.broker);
}
std::string text(const InfoRecord &i) {
    return line(i.sensor, i.time, i.firmware, i.ccd, i.pixels, i.program, i.parameters);
}
std::string text(const GapRecord &g) {
    return line(g.sensor, g.from, g.to, g.reason);
}
template <typename Record> std::string text(const std::optional<Record> &record) {
    return record ? text(*record) : "none";
}
template <typename Record> std::vector<std::string> texts(const std::vector<Record> &records) {
    std::vector<std::string> out;
    for (const Record &r : records)
        out.push_back(text(r));
    return out;
}

// The trend as it follows from the raw frames (in time order) in the span.
std::vector<TrendPoint> trendOf(const std::vector<FrameRecord> &frames, Span span, int seconds) {
    std::map<Millis, TrendPoint> buckets;
    std::map<Millis, double> sums;
    for (const FrameRecord &f : frames) {
        if (f.time < span.from || f.time >= span.to)
            continue;
        const int m = f.words[2];
        const Millis at = start(f.time, seconds);
        TrendPoint &p = buckets[at];
        if (p.count == 0)
            p = {at, 0, 0, m, m, 0, 0};
        ++p.count;
        sums[at] += m;
        p.min = std::min(p.min, m);
        p.max = std::max(p.max, m);
        p.lower = bandOf(f).lower;
        p.upper = bandOf(f).upper;
    }
    std::vector<TrendPoint> points;
    for (auto &[at, p] : buckets) {
        p.mean = sums[at] / double(p.count);
        points.push_back(p);
    }
    return points;
}

InfoRecord info(const std::string &sensor, Millis time, int firstParameter) {
    InfoRecord i{sensor, time, "V-EXA-TB 1.4", "TCD1304 3648", 3648, {}, "vexa-tb-ctl 1.41"};
    for (int word = 0; word < PARAMETERS; ++word)
        i.parameters[word] = firstParameter + word * 3;
    return i;
}

} // namespace

void StoreSuite::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vexa-store-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    scratchDir = pattern;
    store = GetParam().open(scratchDir);
    ASSERT_TRUE(store);
}

void StoreSuite::TearDown() {
    store.reset();
    if (!scratchDir.empty())
        std::filesystem::remove_all(scratchDir);
}

void StoreSuite::reopen() {
    store.reset();
    store = GetParam().open(scratchDir);
}

std::string storeBackendName(const ::testing::TestParamInfo<StoreBackend> &info) {
    return info.param.name;
}

void PrintTo(const StoreBackend &backend, std::ostream *out) {
    *out << backend.name;
}

TEST_P(StoreSuite, FramesAreKeptExactlyAndReadBackInOrder) {
    Batch batch;
    batch.frames = {frame("line1", T0, 1, 0), frame("line1", T0 + 1, 1099511627776, 65535),
                    frame("line1", T0 + 2, 1099511627777, 512), frame("line2", T0, 5, 7),
                    frame("line1", T0 + 3, 1099511627778, 1)};
    batch.frames[1].words.fill(65535);
    batch.frames[2].words.fill(0);
    store->append(batch);

    const std::vector<FrameRecord> line1{batch.frames[0], batch.frames[1], batch.frames[2],
                                         batch.frames[4]};
    EXPECT_EQ(texts(store->frames("line1", ALL, 100)), texts(line1));
    EXPECT_EQ(texts(store->frames("line1", {T0 + 1, T0 + 3}, 100)),
              texts(std::vector<FrameRecord>{line1[1], line1[2]}))
        << "a span holds its start, not its end";
    EXPECT_EQ(store->frames("line1", ALL, 2).size(), 2u) << "at most the limit, oldest first";
    EXPECT_EQ(store->frames("line9", ALL, 100).size(), 0u);
    EXPECT_EQ(store->sensors(), (std::vector<std::string>{"line1", "line2"}));
}

TEST_P(StoreSuite, GapsThatOverlapTheSpanAreReturned) {
    struct Row {
        Millis from, to;
        bool inSpan;
    };
    const Span span{T0 + 10 * SECOND, T0 + 20 * SECOND};
    const Row rows[] = {
        {0, 5, false},  {5, 10, false},  {5, 12, true}, {12, 15, true},
        {15, 25, true}, {20, 25, false}, {0, 30, true},
    };
    Batch batch;
    std::vector<GapRecord> expected;
    for (const Row &row : rows) {
        const GapRecord gap{"line1", T0 + row.from * SECOND, T0 + row.to * SECOND,
                            "seq " + std::to_string(row.from) + " to " + std::to_string(row.to)};
        batch.gaps.push_back(gap);
        if (row.inSpan)
            expected.push_back(gap);
    }
    batch.gaps.push_back({"line2", T0 + 11 * SECOND, T0 + 13 * SECOND, "offline"});
    store->append(batch);
    std::sort(expected.begin(), expected.end(),
              [](const GapRecord &a, const GapRecord &b) { return a.from < b.from; });

    EXPECT_EQ(texts(store->gaps("line1", span)), texts(expected));
    EXPECT_EQ(store->gaps("", span).size(), expected.size() + 1) << "every sensor's";
}

TEST_P(StoreSuite, RollupsOfOneSpanKeptInTwoPartsAddUpToTheWhole) {
    std::vector<FrameRecord> frames;
    for (int i = 0; i < 40; ++i) // the later half in a narrower band
        frames.push_back(
            frame("line1", T0 + i * 1500, i + 1, 390 + (i * 37) % 230, 500, i < 20 ? 100 : 60));
    const std::vector<FrameRecord> first(frames.begin(), frames.begin() + 20);
    const std::vector<FrameRecord> second(frames.begin() + 20, frames.end());
    for (const auto &part : {first, second}) {
        Batch batch;
        batch.rollups = rollupsOf(part, 60);
        for (const Rollup &hour : rollupsOf(part, 3600))
            batch.rollups.push_back(hour);
        store->append(batch);
    }

    const Rollup whole = rollupsOf(frames, 60).front();
    const Stats expected{whole.count, whole.sum, whole.sumSquares, whole.min,
                         whole.max,   whole.out, whole.lower,      whole.upper};
    EXPECT_EQ(text(store->stats("line1", {T0, T0 + MINUTE})), text(expected));
    for (const int bucket : {60, 3600})
        EXPECT_EQ(texts(store->trend("line1", {T0, T0 + HOUR}, bucket)),
                  texts(trendOf(frames, {T0, T0 + HOUR}, bucket)))
            << bucket << " s";
}

TEST_P(StoreSuite, TrendEqualsWhatTheRawFramesSay) {
    const std::vector<FrameRecord> frames = wanderingFrames("line1");
    Batch batch;
    batch.frames = frames;
    batch.rollups = rollupsOf(frames, 60);
    for (const Rollup &hour : rollupsOf(frames, 3600))
        batch.rollups.push_back(hour);
    batch.frames.push_back(frame("line2", T0 + 3 * HOUR, 1, 1000)); // another sensor's
    store->append(batch);

    struct Row {
        int bucket;
        Span span;
    };
    const Row rows[] = {
        {1, {T0 + 2 * HOUR + 59 * MINUTE + 30 * SECOND, T0 + 3 * HOUR + 30 * SECOND}},
        {10, {T0 + 2 * HOUR + 59 * MINUTE + 5 * SECOND + 300, T0 + 3 * HOUR + 2 * MINUTE}},
        {60, {T0 + 2 * HOUR + 50 * MINUTE, T0 + 3 * HOUR + 10 * MINUTE}},
        {60, {T0, T0 + 5 * HOUR}},
        {300, {T0 + 2 * HOUR + 55 * MINUTE, T0 + 4 * HOUR + 20 * MINUTE}},
        {3600, {T0, T0 + 5 * HOUR}},
    };
    for (const Row &row : rows) {
        const auto got = store->trend("line1", row.span, row.bucket);
        const auto expected = trendOf(frames, row.span, row.bucket);
        EXPECT_GT(expected.size(), 1u);
        EXPECT_EQ(texts(got), texts(expected)) << row.bucket << " s";
    }
    EXPECT_TRUE(store->trend("line9", {T0, T0 + 5 * HOUR}, 60).empty());
}

TEST_P(StoreSuite, StatsAreTheSumsOfTheMinutesInTheSpan) {
    Batch batch;
    batch.rollups = rollupsOf(wanderingFrames("line1"), 60);
    store->append(batch);

    const Span spans[] = {
        {T0, T0 + 5 * HOUR},
        {T0 + 3 * HOUR, T0 + 3 * HOUR + MINUTE},
        {T0 + 2 * HOUR + 59 * MINUTE, T0 + 3 * HOUR + 31 * MINUTE},
        {T0, T0 + HOUR}, // before the first frame
    };
    for (const Span span : spans) {
        Stats expected;
        for (const Rollup &r : batch.rollups) {
            if (r.start < span.from || r.start >= span.to)
                continue;
            expected.min = expected.count ? std::min(expected.min, r.min) : r.min;
            expected.max = expected.count ? std::max(expected.max, r.max) : r.max;
            expected.count += r.count;
            expected.sum += r.sum;
            expected.sumSquares += r.sumSquares;
            expected.out += r.out;
            expected.lower = r.lower;
            expected.upper = r.upper;
        }
        EXPECT_EQ(text(store->stats("line1", span)), text(expected)) << span.from - T0;
    }
}

TEST_P(StoreSuite, RetentionDropsExactlyWhatIsOlder) {
    const Millis now = T0 + 30 * DAY;
    const Retention retention{7, 20};
    const Millis framesBefore = now - 7 * DAY, minutesBefore = now - 20 * DAY;
    struct Row {
        Millis time;
        bool kept;
    };
    const Row frameRows[] = {{framesBefore - 1, false},
                             {framesBefore, true},
                             {framesBefore + 1, true},
                             {framesBefore - DAY, false}};
    const Row minuteRows[] = {
        {minutesBefore - MINUTE, false}, {minutesBefore, true}, {minutesBefore + MINUTE, true}};
    Batch batch;
    std::vector<FrameRecord> keptFrames;
    for (const Row &row : frameRows) {
        batch.frames.push_back(frame("line1", row.time, 1, 500));
        if (row.kept)
            keptFrames.push_back(batch.frames.back());
    }
    std::sort(keptFrames.begin(), keptFrames.end(),
              [](const FrameRecord &a, const FrameRecord &b) { return a.time < b.time; });
    for (const Row &row : minuteRows) {
        batch.rollups.push_back({"line1", row.time, 60, 1, 500, 250000, 500, 500, 0, 400, 600});
        batch.rollups.push_back({"line1", row.time, 3600, 1, 500, 250000, 500, 500, 0, 400, 600});
    }
    batch.events.push_back({"line1", T0, "old-1", "no answer", {}, {}, {}, {}, {}});
    store->append(batch);

    const Expired expired = store->expire(now, retention);
    EXPECT_EQ(expired.frames, 2);
    EXPECT_EQ(expired.minuteRollups, 1);
    EXPECT_EQ(texts(store->frames("line1", ALL, 100)), texts(keptFrames));
    EXPECT_EQ(store->stats("line1", ALL).count, 2) << "the minutes kept";
    std::int64_t hours = 0;
    for (const TrendPoint &p : store->trend("line1", {0, now}, 3600))
        hours += p.count;
    EXPECT_EQ(hours, 3) << "hours are kept for ever";
    EXPECT_EQ(store->events("line1", ALL, {}).size(), 1u) << "events are kept for ever";
    const Expired again = store->expire(now, retention);
    EXPECT_EQ(again.frames + again.minuteRollups, 0);
}

TEST_P(StoreSuite, EventsSentAgainAreKeptOncePerId) {
    const EventRecord out{"line1", T0, "i1-1", "out of tolerance", 700, 400, 600, {}, {}};
    const EventRecord back{"line1", T0 + 1500, "i1-2", "back in tolerance", 550, 400,
                           600,     720,       1500};
    const EventRecord noIdA{"line1", T0 + 2000, "", "no answer", {}, {}, {}, {}, {}};
    const EventRecord noIdB{"line1", T0 + 2000, "", "no answer", {}, {}, {}, {}, {}};
    const EventRecord otherSensor{"line2", T0 + 100, "i1-1", "port lost", {}, {}, {}, {}, {}};
    EventRecord outAgain = out;
    outAgain.time += 5; // as a publisher sends it again: the first copy's id
    Batch first;
    first.events = {out, back, out, noIdA, noIdB, otherSensor};
    store->append(first);
    Batch second;
    second.events = {outAgain, back};
    store->append(second);

    EXPECT_EQ(texts(store->events("line1", ALL, {})),
              texts(std::vector<EventRecord>{out, back, noIdA, noIdB}));
    EXPECT_EQ(texts(store->events("", ALL, {})),
              texts(std::vector<EventRecord>{out, otherSensor, back, noIdA, noIdB}));
    EXPECT_EQ(texts(store->events("", ALL, {"port lost", "back in tolerance"})),
              texts(std::vector<EventRecord>{otherSensor, back}));
    EXPECT_EQ(texts(store->events("line1", {T0 + 1, T0 + 2000}, {})),
              texts(std::vector<EventRecord>{back}));
}

TEST_P(StoreSuite, InfoAtAndStatusAtPickTheOneInForce) {
    const InfoRecord first = info("line1", T0 + 10 * SECOND, 100);
    InfoRecord second = info("line1", T0 + 20 * SECOND, 200);
    second.program = "vexa-tb-scope 1.41";
    const StatusRecord online{"line1",        T0 + 10 * SECOND,   "online",
                              "/dev/ttyUSB0", "vexa-tb-ctl 1.41", ""};
    const StatusRecord lost{"line1",        T0 + 20 * SECOND,   "port lost",
                            "/dev/ttyUSB0", "vexa-tb-ctl 1.41", "broker connected"};
    Batch batch;
    batch.infos = {first, second, info("line2", T0 + 15 * SECOND, 300)};
    batch.statuses = {online, lost, {"line2", T0 + 15 * SECOND, "offline", "", "", ""}};
    store->append(batch);

    struct Row {
        Millis at;
        const InfoRecord *info;
        const StatusRecord *status;
    };
    const Row rows[] = {
        {T0 + 10 * SECOND - 1, nullptr, nullptr},
        {T0 + 10 * SECOND, &first, &online},
        {T0 + 20 * SECOND - 1, &first, &online},
        {T0 + 20 * SECOND, &second, &lost},
        {T0 + DAY, &second, &lost},
    };
    for (const Row &row : rows) {
        const auto expectedInfo = row.info ? std::optional(*row.info) : std::nullopt;
        const auto expectedStatus = row.status ? std::optional(*row.status) : std::nullopt;
        EXPECT_EQ(text(store->infoAt("line1", row.at)), text(expectedInfo)) << row.at - T0;
        EXPECT_EQ(text(store->statusAt("line1", row.at)), text(expectedStatus)) << row.at - T0;
    }
    EXPECT_EQ(texts(store->infos("line1", ALL)), texts(std::vector<InfoRecord>{first, second}));
    EXPECT_EQ(texts(store->statuses("line1", {T0, T0 + 20 * SECOND})),
              texts(std::vector<StatusRecord>{online}));
    EXPECT_EQ(store->infos("", ALL).size(), 3u);
    EXPECT_EQ(store->statuses("", ALL).size(), 3u);
}

// The broker hands a new subscription the retained status and info again.
TEST_P(StoreSuite, ARetainedStatusOrInfoDeliveredAgainIsKeptOnce) {
    Batch batch;
    batch.infos = {info("line1", T0, 100)};
    batch.statuses = {{"line1", T0, "online", "/dev/ttyUSB0", "vexa-tb-ctl 1.41", ""}};
    store->append(batch);
    store->append(batch);
    EXPECT_EQ(store->infos("line1", ALL).size(), 1u);
    EXPECT_EQ(store->statuses("line1", ALL).size(), 1u);
}

TEST_P(StoreSuite, ABatchThatBreaksARuleKeepsNothingOfIt) {
    Batch batch;
    batch.frames = {frame("line1", T0, 1, 500)};
    batch.events = {{"line1", T0, "i1-1", "no answer", {}, {}, {}, {}, {}}};
    batch.statuses = {{"line1", T0, "online", "", "", ""}};
    batch.infos = {info("line1", T0, 100)};
    batch.gaps = {{"line1", T0, T0 + 1, "restarted"}};
    batch.rollups = rollupsOf(batch.frames, 60);
    Batch broken = batch;
    broken.rollups.push_back({"", T0, 60, 1, 1, 1, 1, 1, 0, 1, 1}); // no sensor: refused

    EXPECT_THROW(store->append(broken), StoreUnavailable);
    EXPECT_TRUE(store->sensors().empty());
    EXPECT_TRUE(store->frames("line1", ALL, 10).empty());
    EXPECT_TRUE(store->events("", ALL, {}).empty());
    EXPECT_TRUE(store->statuses("", ALL).empty());
    EXPECT_TRUE(store->infos("", ALL).empty());
    EXPECT_TRUE(store->gaps("", ALL).empty());
    EXPECT_EQ(store->stats("line1", ALL).count, 0);

    store->append(batch); // the store goes on
    EXPECT_EQ(store->frames("line1", ALL, 10).size(), 1u);
    EXPECT_EQ(store->stats("line1", ALL).count, 1);
    EXPECT_EQ(store->sensors(), std::vector<std::string>{"line1"});
}

TEST_P(StoreSuite, EverythingKeptIsThereAfterReopening) {
    Batch batch;
    batch.frames = wanderingFrames("line1");
    batch.rollups = rollupsOf(batch.frames, 60);
    batch.infos = {info("line1", T0, 100)};
    batch.gaps = {{"line1", T0, T0 + 1, "restarted"}};
    store->append(batch);
    reopen();
    EXPECT_EQ(texts(store->frames("line1", ALL, 10000)), texts(batch.frames));
    EXPECT_EQ(store->stats("line1", ALL).count, Millis(batch.frames.size()));
    EXPECT_EQ(store->infos("line1", ALL).size(), 1u);
    EXPECT_EQ(store->gaps("line1", ALL).size(), 1u);
    Batch more;
    more.frames = {frame("line1", T0 + 5 * HOUR, 9999, 500)};
    store->append(more);
    EXPECT_EQ(store->sensors(), std::vector<std::string>{"line1"}) << "the same sensor";
}

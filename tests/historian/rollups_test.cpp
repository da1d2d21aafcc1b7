// The minute and hour roll-ups against what the raw frames say: a table of
// frame sequences across minute and hour edges (and back in time), and a
// table of values at the band's edges and clamps.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "historian/rollups.h"

using namespace historian;

namespace {

constexpr Millis T0 = 1796688000000; // 2026-12-08T00:00:00Z, on an hour

struct Sample {
    Millis offset; // from T0
    int mvalue;
    int tVal = 500, tTol = 100;
};

FrameRecord frameOf(const Sample &s) {
    FrameRecord f{"line1", T0 + s.offset, 1, {}};
    f.words[MVALUE_WORD] = std::uint16_t(s.mvalue);
    f.words[TVAL_WORD] = std::uint16_t(s.tVal);
    f.words[TTOL_WORD] = std::uint16_t(s.tTol);
    return f;
}

std::string text(const Rollup &r) {
    std::ostringstream out;
    out << r.seconds << " s at " << r.start - T0 << ": " << r.count << " sum " << r.sum
        << " squares " << r.sumSquares << " " << r.min << ".." << r.max << " out " << r.out
        << " band " << r.lower << ".." << r.upper;
    return out.str();
}

// Roll-ups merged per length and start as a store merges them.
std::vector<std::string> merged(const std::vector<Rollup> &parts) {
    std::map<std::pair<int, Millis>, Rollup> spans;
    for (const Rollup &part : parts) {
        auto [it, added] = spans.try_emplace({part.seconds, part.start}, part);
        if (added)
            continue;
        Rollup &r = it->second;
        r.count += part.count;
        r.sum += part.sum;
        r.sumSquares += part.sumSquares;
        r.min = std::min(r.min, part.min);
        r.max = std::max(r.max, part.max);
        r.out += part.out;
        r.lower = part.lower;
        r.upper = part.upper;
    }
    std::vector<std::string> texts;
    for (const auto &[key, r] : spans)
        texts.push_back(text(r));
    return texts;
}

// What the samples (in the order they came) say per minute and hour, from the
// frames themselves; the band as the trend chart draws it (500 +- 100).
std::vector<std::string> expectedFrom(const std::vector<Sample> &samples) {
    std::vector<Rollup> one;
    for (const Sample &s : samples)
        for (const int seconds : {60, 3600}) {
            const Millis length = seconds * 1000;
            const Millis start = T0 + s.offset - (T0 + s.offset) % length;
            const int lower = std::max(1, s.tVal - s.tTol), upper = std::min(1023, s.tVal + s.tTol);
            const bool out = s.mvalue < lower || s.mvalue > upper;
            one.push_back({"line1", start, seconds, 1, double(s.mvalue),
                           double(s.mvalue) * s.mvalue, s.mvalue, s.mvalue, out, lower, upper});
        }
    return merged(one);
}

struct Sequence {
    const char *name;
    std::vector<Sample> samples;
};

const Sequence SEQUENCES[] = {
    {"within one minute", {{1000, 450}, {20000, 700}, {59999, 380}}},
    {"across a minute's edge", {{59900, 500}, {60000, 610}, {60100, 390}}},
    {"across an hour's edge", {{3599999, 600}, {3600000, 601}, {3600001, 399}}},
    {"hours apart", {{5000, 500}, {3 * 3600000 + 5000, 520}}},
    {"back into the minute before", {{10000, 500}, {70000, 520}, {30000, 700}, {80000, 300}}},
    {"back into the hour before", {{3599000, 500}, {3601000, 520}, {3598000, 530}}},
    {"the band changing within the minute",
     {{1000, 450, 500, 100}, {2000, 450, 500, 20}, {3000, 450, 440, 20}}},
};

} // namespace

TEST(Rollups, EqualWhatTheRawFramesSay) {
    for (const Sequence &sequence : SEQUENCES) {
        SensorRollups rollups("line1");
        std::vector<Rollup> out;
        for (const Sample &s : sequence.samples)
            rollups.add(frameOf(s), out);
        rollups.flush(out);
        EXPECT_EQ(merged(out), expectedFrom(sequence.samples)) << sequence.name;
        std::vector<Rollup> again;
        rollups.flush(again);
        EXPECT_TRUE(again.empty()) << sequence.name << ": flushed once";
    }
}

TEST(Rollups, AMinuteIsHandedOutWhenTheNextBegins) {
    SensorRollups rollups("line1");
    std::vector<Rollup> out;
    rollups.add(frameOf({1000, 500}), out);
    rollups.add(frameOf({59999, 500}), out);
    EXPECT_TRUE(out.empty());
    rollups.add(frameOf({60000, 500}), out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(text(out[0]), "60 s at 0: 2 sum 1000 squares 500000 500..500 out 0 band 400..600");
}

// A value on a limit lies inside; the limits are clamped to 1 .. 1023.
TEST(Rollups, CountFramesOutsideTheirOwnBand) {
    struct Row {
        int mvalue, tVal, tTol;
        bool out;
        int lower, upper;
    };
    const Row rows[] = {
        {400, 500, 100, false, 400, 600},    {600, 500, 100, false, 400, 600},
        {399, 500, 100, true, 400, 600},     {601, 500, 100, true, 400, 600},
        {1, 50, 100, false, 1, 150},         {0, 50, 100, true, 1, 150},
        {1023, 1000, 100, false, 900, 1023}, {1024, 1000, 100, true, 900, 1023},
    };
    for (const Row &row : rows) {
        RollupAccumulator minute("line1", 60);
        std::vector<Rollup> out;
        minute.add(frameOf({0, row.mvalue, row.tVal, row.tTol}), out);
        minute.flush(out);
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0].out, row.out ? 1 : 0)
            << row.mvalue << " in " << row.tVal << "+-" << row.tTol;
        EXPECT_EQ(out[0].lower, row.lower);
        EXPECT_EQ(out[0].upper, row.upper);
    }
}

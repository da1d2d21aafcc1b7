// The figures against figures worked out by hand: mean, sample standard
// deviation, min, max, the frames outside their own band and Cp and Cpk
// against the newest band, over a window of N frames or since a reset.
#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

#include "statistics/process_statistics.h"

namespace {

using statistics::Figures;
using statistics::ProcessStatistics;

// `times` frames alike; the edges stand at Mvalue + 100 and Mvalue + 300.
struct Frames {
    int times;
    std::uint16_t mvalue, tVal = 512, tTol = 100;
};

constexpr std::size_t NO_RESET = ~std::size_t{0};

struct Case {
    const char *rule;
    std::vector<Frames> runs;
    std::size_t window;
    std::size_t resetAfterRuns; // reset once this many runs are in
    std::size_t count;
    std::optional<double> mean, sd;
    std::optional<int> min, max;
    std::size_t outside;
    std::optional<double> cp, cpk;
    std::vector<std::pair<int, std::uint32_t>> bars; // Mvalue, frames
};

stream::Frame frameOf(const Frames &run) {
    stream::Frame frame;
    frame.words[FRAME_MVALUE] = run.mvalue;
    frame.words[FRAME_LEDGE] = static_cast<std::uint16_t>(run.mvalue + 100);
    frame.words[FRAME_REDGE] = static_cast<std::uint16_t>(run.mvalue + 300);
    frame.words[FRAME_TVAL] = run.tVal;
    frame.words[FRAME_TTOL] = run.tTol;
    return frame;
}

void expectNear(const std::optional<double> &got, const std::optional<double> &want,
                const char *what) {
    ASSERT_EQ(got.has_value(), want.has_value()) << what;
    if (want) {
        EXPECT_NEAR(*got, *want, 1e-4) << what;
    }
}

TEST(ProcessStatistics, FiguresMatchTheHandWorkedOnes) {
    const std::vector<Frames> alternating = [] {
        std::vector<Frames> runs{{1, 0}};
        for (int i = 0; i < 50; ++i)
            runs.insert(runs.end(), {{1, 510}, {1, 514}});
        return runs;
    }();
    // clang-format off
    const Case cases[] = {
        // rule, frames, window, reset after run, count, mean, sd, min, max, outside, Cp, Cpk, bars
        {"an empty window has no figures", {}, 100, NO_RESET, 0, {}, {}, {}, {}, 0, {}, {}, {}},
        {"one frame has no spread", {{1, 500}}, 100, NO_RESET, 1, 500, {}, 500, 500, 0, {}, {},
         {{500, 1}}},
        // All alike: sd 0, so Cp and Cpk have no value.
        {"zero spread", {{3, 500}}, 100, NO_RESET, 3, 500, 0, 500, 500, 0, {}, {}, {{500, 3}}},
        // Mean 550; deviations -150, -50, 50, 150: sd = sqrt(50000 / 3) = 129.0994 (not
        // the population's 111.80); band 412..612, 400 and 700 outside; Cp = 200 / (6 sd),
        // Cpk = min(612 - 550, 550 - 412) / (3 sd) = 62 / 387.298.
        {"four frames", {{1, 400}, {1, 500}, {1, 600}, {1, 700}}, 100, NO_RESET,
         4, 550, 129.09944, 400, 700, 2, 0.258199, 0.160083, {{400, 1}, {500, 1}, {600, 1}, {700, 1}}},
        // 101 frames in a window of 100: the first (0) goes. 510 and 514 alternate:
        // mean 512, sd = sqrt(100 * 4 / 99) = 2.010076, Cp = Cpk = 200 / (6 sd).
        {"a full window drops its oldest frame", alternating, 100, NO_RESET,
         100, 512, 2.010076, 510, 514, 0, 16.583124, 16.583124, {{510, 50}, {514, 50}}},
        {"a larger window takes the frames already in", alternating, 1000, NO_RESET,
         101, 506.930693, 50.985146, 0, 514, 1, 0.653785, 0.620643, {{0, 1}, {510, 50}, {514, 50}}},
        // After the reset only 500 and 520: mean 510, sd = sqrt(200) = 14.1421.
        {"a reset forgets every frame before it", {{2, 0}, {1, 500}, {1, 520}}, 100, 1,
         2, 510, 14.142136, 500, 520, 0, 2.357023, 2.309882, {{500, 1}, {520, 1}}},
        {"since the reset, up to the reset", {{2, 0}}, ProcessStatistics::SINCE_RESET, 1,
         0, {}, {}, {}, {}, 0, {}, {}, {}},
        // Each frame against its own band: 500 in 480..520, 520 outside 490..510, 520 in
        // 510..530, 536 outside 510..530. Mean 519, sd = sqrt(652 / 3) = 14.7422; the
        // newest band 510..530: Cp = 20 / (6 sd), Cpk = min(11, 9) / (3 sd).
        {"a band that moves",
         {{1, 500, 500, 20}, {1, 520, 500, 10}, {1, 520, 520, 10}, {1, 536, 520, 10}}, 100, NO_RESET,
         4, 519, 14.742230, 500, 536, 2, 0.226108, 0.203497, {{500, 1}, {520, 2}, {536, 1}}},
        // Since the reset beyond the ring: 0 once, then 512 ten thousand times.
        {"since the reset keeps more than the largest window", {{1, 0}, {10000, 512}},
         ProcessStatistics::SINCE_RESET, NO_RESET,
         10001, 511.948805, 5.119744, 0, 512, 1, 6.510742, 6.507409, {{0, 1}, {512, 10000}}},
        {"a value above the last pixel counts in the last bar", {{1, 2000}}, 100, NO_RESET,
         1, 2000, {}, 2000, 2000, 1, {}, {}, {{1023, 1}}},
        {"the largest window over more frames", {{1, 0}, {10000, 512}}, 10000, NO_RESET,
         10000, 512, 0, 512, 512, 0, {}, {}, {{512, 10000}}},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rule);
        ProcessStatistics statistics;
        for (std::size_t r = 0; r < c.runs.size(); ++r) {
            if (r == c.resetAfterRuns)
                statistics.reset();
            for (int i = 0; i < c.runs[r].times; ++i)
                statistics.add(frameOf(c.runs[r]));
        }
        if (c.resetAfterRuns == c.runs.size())
            statistics.reset();
        statistics.setWindow(c.window);
        const Figures f = statistics.figures();

        EXPECT_EQ(f.count, c.count);
        // The edges move with Mvalue: the same spread, 100 and 300 higher.
        for (auto [value, offset] : {std::pair{statistics::STAT_MVALUE, 0},
                                     {statistics::STAT_LEDGE, 100},
                                     {statistics::STAT_REDGE, 300}}) {
            const statistics::ValueFigures &v = f.values[value];
            expectNear(v.mean, c.mean ? std::optional<double>(*c.mean + offset) : std::nullopt,
                       "mean");
            expectNear(v.sd, c.sd, "sd");
            EXPECT_EQ(v.min, c.min ? std::optional<int>(*c.min + offset) : std::nullopt);
            EXPECT_EQ(v.max, c.max ? std::optional<int>(*c.max + offset) : std::nullopt);
        }
        EXPECT_EQ(f.outOfTolerance, c.outside);
        expectNear(f.outOfToleranceShare,
                   c.count ? std::optional<double>(double(c.outside) / double(c.count))
                           : std::nullopt,
                   "share");
        expectNear(f.cp, c.cp, "Cp");
        expectNear(f.cpk, c.cpk, "Cpk");
        std::vector<std::pair<int, std::uint32_t>> bars;
        for (std::size_t value = 0; value < f.histogram.size(); ++value)
            if (f.histogram[value])
                bars.emplace_back(static_cast<int>(value), f.histogram[value]);
        EXPECT_EQ(bars, c.bars);
    }
}

} // namespace

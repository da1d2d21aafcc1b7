// How well the line holds its tolerance, over the last N frames or since a
// reset: count, mean, sample standard deviation, min and max of the measured
// value and both edges, the frames outside their own band, and Cp and Cpk
// against the newest frame's band. Adding a frame costs a few additions and
// no allocation; the figures are worked out only when asked for.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "limits/tolerance.h"
#include "stream/frame.h"

namespace statistics {

// The histogram has one bar per pixel value; a value above the last pixel
// counts in the last bar.
constexpr std::size_t HISTOGRAM_BARS = 1024;
using Histogram = std::array<std::uint32_t, HISTOGRAM_BARS>;

// The figures of one value over the window; empty where the window has no
// value for them (no frame; sd: fewer than two).
struct ValueFigures {
    std::optional<double> mean, sd;
    std::optional<int> min, max;
};

enum StatisticsValue : std::size_t { STAT_MVALUE, STAT_LEDGE, STAT_REDGE, STAT_VALUES };

struct Figures {
    std::size_t count = 0;
    std::array<ValueFigures, STAT_VALUES> values;
    std::size_t outOfTolerance = 0;
    std::optional<double> outOfToleranceShare; // 0 .. 1
    std::optional<limits::ToleranceBand> band; // the newest frame's
    std::optional<double> cp, cpk;
    Histogram histogram{}; // of Mvalue
};

class ProcessStatistics {
  public:
    // The largest window the user picks; "since reset" has no bound.
    static constexpr std::size_t LARGEST_WINDOW = 10000;
    static constexpr std::size_t SINCE_RESET = 0;

    // window: 1 .. LARGEST_WINDOW frames, or SINCE_RESET.
    explicit ProcessStatistics(std::size_t window = 100);

    void add(const stream::Frame &frame);
    // Takes effect at once on the frames already added (up to the last
    // LARGEST_WINDOW of them); a larger number counts as LARGEST_WINDOW.
    void setWindow(std::size_t frames);
    std::size_t window() const { return window_; }
    // Forgets every frame: each window counts from here.
    void reset();

    Figures figures() const;

  private:
    struct Sample {
        std::uint16_t values[STAT_VALUES];
        limits::ToleranceBand band;
    };
    // Running sums, exact in integers.
    struct Sums {
        std::size_t count = 0, outside = 0;
        std::array<std::uint64_t, STAT_VALUES> sum{}, squares{};
        std::array<int, STAT_VALUES> min{}, max{};
        Histogram histogram{};
        limits::ToleranceBand band{0, 0};

        void add(const Sample &sample);
        void figures(Figures &out) const;
    };

    std::size_t window_;
    std::vector<Sample> ring_; // the last LARGEST_WINDOW frames, allocated once
    std::size_t next_ = 0, kept_ = 0;
    Sums sinceReset_;
};

} // namespace statistics

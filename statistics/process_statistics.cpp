// Each frame goes into a ring of the last 10,000 and into the sums since the
// reset; a window of N frames sums its part of the ring when its figures are
// asked for (a few times a second at most), so a frame costs the same
// whichever window is shown. Sums of integers stay exact; the spread is the
// sample standard deviation (divided by n - 1).
#include "statistics/process_statistics.h"

#include <algorithm>
#include <cmath>

namespace statistics {

namespace {

constexpr std::uint16_t VALUE_WORDS[STAT_VALUES] = {FRAME_MVALUE, FRAME_LEDGE, FRAME_REDGE};

} // namespace

void ProcessStatistics::Sums::add(const Sample &sample) {
    for (std::size_t v = 0; v < STAT_VALUES; ++v) {
        const int value = sample.values[v];
        min[v] = count == 0 ? value : std::min(min[v], value);
        max[v] = count == 0 ? value : std::max(max[v], value);
        sum[v] += static_cast<std::uint64_t>(value);
        squares[v] += static_cast<std::uint64_t>(value) * static_cast<std::uint64_t>(value);
    }
    ++histogram[std::min<std::size_t>(sample.values[STAT_MVALUE], HISTOGRAM_BARS - 1)];
    outside += sample.band.contains(sample.values[STAT_MVALUE]) ? 0 : 1;
    band = sample.band;
    ++count;
}

void ProcessStatistics::Sums::figures(Figures &out) const {
    out.count = count;
    out.outOfTolerance = outside;
    out.histogram = histogram;
    if (count == 0)
        return;
    const double n = static_cast<double>(count);
    for (std::size_t v = 0; v < STAT_VALUES; ++v) {
        ValueFigures &f = out.values[v];
        const double mean = static_cast<double>(sum[v]) / n;
        f.mean = mean;
        f.min = min[v];
        f.max = max[v];
        if (count < 2)
            continue;
        // All values alike: exactly no spread, whatever the rounding says.
        const double spread = min[v] == max[v]
                                  ? 0.0
                                  : std::max(0.0, static_cast<double>(squares[v]) -
                                                      static_cast<double>(sum[v]) * mean);
        f.sd = std::sqrt(spread / (n - 1.0));
    }
    out.outOfToleranceShare = static_cast<double>(outside) / n;
    out.band = band;
    const std::optional<double> &sd = out.values[STAT_MVALUE].sd;
    if (!sd || *sd <= 0.0)
        return;
    const double mean = *out.values[STAT_MVALUE].mean;
    out.cp = (band.upper - band.lower) / (6.0 * *sd);
    out.cpk = std::min(band.upper - mean, mean - band.lower) / (3.0 * *sd);
}

ProcessStatistics::ProcessStatistics(std::size_t window) : ring_(LARGEST_WINDOW) {
    setWindow(window);
}

void ProcessStatistics::add(const stream::Frame &frame) {
    Sample sample{};
    for (std::size_t v = 0; v < STAT_VALUES; ++v)
        sample.values[v] = frame.words[VALUE_WORDS[v]];
    sample.band = limits::toleranceBand(frame[FRAME_TVAL], frame[FRAME_TTOL]);
    ring_[next_] = sample;
    next_ = (next_ + 1) % ring_.size();
    kept_ = std::min(kept_ + 1, ring_.size());
    sinceReset_.add(sample);
}

void ProcessStatistics::setWindow(std::size_t frames) {
    window_ = std::min(frames, LARGEST_WINDOW);
}

void ProcessStatistics::reset() {
    next_ = kept_ = 0;
    sinceReset_ = Sums{};
}

Figures ProcessStatistics::figures() const {
    Figures out;
    if (window_ == SINCE_RESET) {
        sinceReset_.figures(out);
        return out;
    }
    Sums sums;
    const std::size_t taken = std::min(window_, kept_);
    for (std::size_t i = taken; i > 0; --i)
        sums.add(ring_[(next_ + ring_.size() - i) % ring_.size()]);
    sums.figures(out);
    return out;
}

} // namespace statistics

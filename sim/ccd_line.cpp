#include "sim/ccd_line.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Share of pixel centre x covered by a border at distance d (soft over a few pixels,
// as the optics blur the shadow's edge).
double coverage(double d) {
    constexpr double kRamp = 4.0;
    return std::clamp(d / kRamp + 0.5, 0.0, 1.0);
}

std::uint16_t meanLevel(const std::vector<std::uint16_t> &line, std::size_t first,
                        std::size_t last) {
    // first, last: 1-based pixels, first <= last
    unsigned long sum = 0;
    for (std::size_t p = first; p <= last; ++p)
        sum += line[p - 1];
    return static_cast<std::uint16_t>(sum / (last - first + 1));
}

} // namespace

std::uint64_t Random::next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

int Random::uniform(int lo, int hi) {
    const auto span = static_cast<std::uint64_t>(hi - lo + 1);
    return lo + static_cast<int>(next() % span);
}

std::uint16_t pixelsOfCcdType(std::uint16_t ccdType) {
    return ccdType == 3 ? 512 : 1024;
}

SyntheticLine::SyntheticLine(std::size_t pixels, std::uint64_t seed)
    : seed_(seed), samples_(pixels, 0) {
    render();
}

void SyntheticLine::advance() {
    ++exposure_;
    render();
}

void SyntheticLine::render() {
    const double n = static_cast<double>(samples_.size());
    const double e = static_cast<double>(exposure_);

    // Object geometry: about 14 % of the line wide, breathing by +-6 %, its centre travelling
    // back and forth so that it leaves the line by 5 % at either end.
    const double baseWidth = 0.14 * n;
    const double width = baseWidth * (1.0 + 0.06 * std::sin(2.0 * kPi * e / 90.0));
    const double centreMin = baseWidth / 2.0 - 0.05 * n;
    const double centreMax = n - centreMin;
    const double travel = centreMax - centreMin;
    const double speed = 3.0 * n / 1024.0;
    const double s = std::fmod(0.35 * n - centreMin + speed * e, 2.0 * travel);
    const double centre = centreMin + (s < travel ? s : 2.0 * travel - s);
    left_ = centre - width / 2.0;
    right_ = centre + width / 2.0;

    Random rng(seed_ ^ (0xD1B54A32D192ED03ULL * (exposure_ + 1)));
    for (std::size_t k = 0; k < samples_.size(); ++k) {
        const double x = static_cast<double>(k) + 0.5; // centre of pixel k + 1
        const double background = 640.0 + 220.0 * std::sin(kPi * x / n);
        const double inside = coverage(x - left_) * coverage(right_ - x);
        const double noise = rng.uniform(-9, 9) + rng.uniform(-9, 9);
        const double v = background - (background - kObjectLevel) * inside + noise;
        samples_[k] = static_cast<std::uint16_t>(std::lround(std::clamp(v, 0.0, 1023.0)));
    }
}

Measurement measure(const std::vector<std::uint16_t> &line, const Words &params,
                    std::uint16_t previousPix1) {
    Measurement m;
    const std::size_t n = line.size();
    if (n == 0)
        return m;

    const std::size_t first = std::max<std::size_t>(params[param::eBeg], 1);
    const std::size_t last = std::min<std::size_t>(params[param::eEnd], n);
    const bool darkObject = params[param::polarity] != 0;
    const std::uint16_t thd = params[param::vThd];
    auto onObject = [&](std::size_t p) {
        return darkObject ? line[p - 1] < thd : line[p - 1] >= thd;
    };

    std::size_t enter = 0; // first pixel where the line enters the object
    std::size_t leave = 0; // first pixel past the last place where it leaves it
    if (first <= last) {
        for (std::size_t p = first + 1; p <= last; ++p) {
            const bool now = onObject(p);
            const bool before = onObject(p - 1);
            if (now && !before && enter == 0)
                enter = p;
            if (!now && before)
                leave = p;
        }
        m.mvstart = meanLevel(line, first, std::min(first + 7, last));
        m.mvend = meanLevel(line, last >= first + 7 ? last - 7 : first, last);
    }

    if (enter != 0 && leave > enter) {
        m.edcnt = 2;
        m.Ledge = static_cast<std::uint16_t>(enter);
        m.Redge = static_cast<std::uint16_t>(leave);
        m.pixdelta = static_cast<std::uint16_t>(leave - enter);
    } else if (enter != 0 || leave != 0) {
        m.edcnt = 1;
        m.Ledge = m.Redge = static_cast<std::uint16_t>(enter != 0 ? enter : leave);
    }

    const std::uint16_t eMode = params[param::eMode];
    if (eMode == 2) {
        m.valid = m.edcnt == 2;
        m.Mvalue = m.pixdelta;
    } else if (m.edcnt > 0) {
        m.valid = true;
        if (eMode == 0)
            m.Mvalue = m.Ledge;
        else if (eMode == 1)
            m.Mvalue = m.Redge;
        else
            m.Mvalue = static_cast<std::uint16_t>((m.Ledge + m.Redge) / 2);
    }

    switch (params[param::ccdMode]) {
    case 1:
        m.pix1 = params[param::pStart];
        break;
    case 2:
        if (m.edcnt == 0) {
            m.pix1 = previousPix1;
        } else {
            const long centre = (static_cast<long>(m.Ledge) + m.Redge) / 2;
            const long highest = std::max<long>(1, static_cast<long>(n) - 255);
            m.pix1 = static_cast<std::uint16_t>(std::clamp<long>(centre - 128, 1, highest));
        }
        break;
    default:
        m.pix1 = 1;
        break;
    }
    return m;
}

} // namespace sim

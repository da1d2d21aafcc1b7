// The simulated CCD line and the edge evaluation the sensor runs on it.
#pragma once

#include "sim/protocol.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

// Small deterministic generator (splitmix64): the same seed gives the same line on every host.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    // Uniform in [lo, hi].
    int uniform(int lo, int hi);

  private:
    std::uint64_t state_;
};

// Pixel count of a CCD type: 1 and 2 have 1024 pixels, 3 has 512; unknown types count as 1024.
std::uint16_t pixelsOfCcdType(std::uint16_t ccdType);

// One CCD line: a dark object moving slowly back and forth across a bright, unevenly lit
// background, with noise. Each advance() is one exposure: the object moves by about 3 pixels
// on a 1024-pixel line (half that on 512 pixels), its width breathes a little, and the noise is
// drawn anew. Everything follows from the seed and the exposure count.
class SyntheticLine {
  public:
    SyntheticLine(std::size_t pixels, std::uint64_t seed);

    void advance();
    std::size_t exposure() const { return exposure_; }
    std::size_t pixels() const { return samples_.size(); }

    // Element k is pixel k + 1; values 0..1023.
    const std::vector<std::uint16_t> &samples() const { return samples_; }

    // The object's true left and right border in pixel coordinates (pixel p spans p-1 .. p).
    double objectLeft() const { return left_; }
    double objectRight() const { return right_; }

    static constexpr int kObjectLevel = 110;

  private:
    void render();

    std::uint64_t seed_;
    std::size_t exposure_ = 0;
    double left_ = 0.0;
    double right_ = 0.0;
    std::vector<std::uint16_t> samples_;
};

// What the sensor finds on one line with one parameter set.
struct Measurement {
    std::uint16_t Ledge = 0;
    std::uint16_t Redge = 0;
    std::uint16_t Mvalue = 0;
    std::uint16_t pix1 = 1;
    std::uint16_t edcnt = 0;
    std::uint16_t mvstart = 0;
    std::uint16_t mvend = 0;
    std::uint16_t pixdelta = 0;
    bool valid = false; // Mvalue holds a measured value (enters max/min tracking)
};

// Evaluates the line inside the window eBeg..eEnd (1-based pixels, clamped to the line) against
// the video threshold vThd:
//  - polarity 1 (or any non-zero value): a dark object on a bright background, object pixels
//    lie below vThd; polarity 0: a bright object on a dark background, object pixels lie at or
//    above vThd.
//  - Ledge is the first pixel where the line enters the object, Redge the first pixel past the
//    last place where it leaves it, so pixdelta = Redge - Ledge is the object's width.
//  - With only one of the two found (object cut by the window), edcnt is 1 and Ledge = Redge =
//    that edge; mvstart and mvend are the mean video levels of the first and last 8 pixels of
//    the window, telling on which side of the edge the background lies.
//  - Mvalue by eMode: 0 Ledge, 1 Redge, 2 the width Redge - Ledge (needs two edges), 3 and
//    above the centre (Ledge + Redge) / 2.
//  - pix1: ccdMode 1 -> pStart; ccdMode 2 -> start of a 256-pixel window centred on the object
//    and kept inside the line (previousPix1 when no edge was found); other modes -> 1.
Measurement measure(const std::vector<std::uint16_t> &line, const Words &params,
                    std::uint16_t previousPix1 = 1);

} // namespace sim

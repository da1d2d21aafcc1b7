// The tolerance band of a frame: the range the trend chart draws as its
// upper and lower limit traces, which the status bar's lamp and the
// supervision of excursions judge the measured value against.
#pragma once

namespace limits {

// The limits as the trend chart draws them: tVal - tTol, at least 1, and
// tVal + tTol, at most 1023. A value on either limit lies inside.
struct ToleranceBand {
    int lower;
    int upper;
    bool contains(int value) const { return value >= lower && value <= upper; }
};

ToleranceBand toleranceBand(unsigned short tVal, unsigned short tTol);

} // namespace limits

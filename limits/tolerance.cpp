#include "limits/tolerance.h"

#include <algorithm>

namespace limits {

namespace {

// The trend chart's clamps: its limit traces never leave 1 .. 1023.
constexpr int LOWEST_LIMIT = 1;
constexpr int HIGHEST_LIMIT = 1023;

} // namespace

ToleranceBand toleranceBand(unsigned short tVal, unsigned short tTol) {
    const int teach = tVal;
    const int tolerance = tTol;
    return {std::max(teach - tolerance, LOWEST_LIMIT), std::min(teach + tolerance, HIGHEST_LIMIT)};
}

} // namespace limits

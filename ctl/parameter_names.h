// The sensor's sixteen parameters by name, in the order of the parameter
// block (and of the lines of a parameter file).
#pragma once

#include <array>

namespace ctl {

inline constexpr std::array<const char *, 16> parameterNames{
    "power", "rs232Mode", "vThd",  "bVal",  "polarity", "eMode",  "eBeg",    "eEnd",
    "tVal",  "tTol",      "iGain", "ePoti", "ccdMode",  "pStart", "anaMode", "para15",
};
inline constexpr int TEACH_VALUE_WORD = 8; // tVal

} // namespace ctl

#include "units/mm_scale.h"

namespace units {

namespace {

// The resolution word that marks type 2's optical variant.
constexpr std::uint16_t OPTICAL_RESOLUTION = 750;
constexpr double PITCH_7_8_UM = 0.0078;
constexpr double PITCH_25_UM = 0.025;
constexpr double OPTICAL_RANGE_MM = 75.0;
constexpr double OPTICAL_PIXELS = 1024.0;

} // namespace

std::optional<double> mmPerPixel(std::uint16_t ccdtype, std::uint16_t ccdresolution) {
    switch (ccdtype) {
    case 1:
        return PITCH_7_8_UM;
    case 2:
        if (ccdresolution == OPTICAL_RESOLUTION) {
            return OPTICAL_RANGE_MM / OPTICAL_PIXELS;
        }
        return PITCH_25_UM;
    case 3:
        return PITCH_25_UM;
    default:
        return std::nullopt;
    }
}

} // namespace units

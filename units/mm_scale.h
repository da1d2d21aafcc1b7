// Millimetres on the sensor's line, from the CCD description the sensor
// reports with order 10 (its type and resolution words).
#pragma once

#include <cstdint>
#include <optional>

namespace units {

// How far one pixel of the CCD line reaches in the measured field. The
// direct-imaging sensors measure with the CCD itself, so a pixel is the pixel
// pitch; the variant with optics images a 75 mm working range onto its 1024
// pixels, so a pixel there is 75 mm / 1024. Empty where the description
// names no pitch ("no information avialable!").
std::optional<double> mmPerPixel(std::uint16_t ccdtype, std::uint16_t ccdresolution);

// Why millimetres are unavailable, for a tooltip or a greyed menu item.
constexpr const char *MM_UNAVAILABLE = "mm unavailable: the CCD description names no pixel pitch";

} // namespace units

// What the three graphs show at a position, read from the frame stream's
// history rather than from the widgets: the edge graph's pixel, the trend
// chart's point (its frame's time, five values and band) and the video
// graph's sample (pixel, value, threshold), and the texts for the
// measurement cursors on the trend chart and the video graph.
#pragma once

#include <optional>

#include "readouts/plot_readout.h"
#include "stream/frame.h"

namespace readouts {

class UnitsChoice;

// The trend chart's point at x (its index, 0 the oldest of its 100), and how
// many seconds its frame came before that of the newest point.
struct TrendAt {
    int index;
    stream::TrendPoint point;
    double secondsBefore;
};
std::optional<TrendAt> trendPointAt(double x);

GraphReading edgeReading(const UnitsChoice &units);
GraphReading trendReading(const UnitsChoice &units);
GraphReading videoReading(const UnitsChoice &units);

} // namespace readouts

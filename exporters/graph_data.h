// The numbers the trend chart and the video graph show, as plain values that
// the data exporters write and tests compare without a screen.
#pragma once

#include <QByteArray>

#include <vector>

namespace exporters {

struct GraphData {
    // The trend chart's traces in trace order, each oldest point first.
    std::vector<std::vector<double>> trend;
    // The video graph: the samples' pixels, the video curve and the
    // threshold line over the same pixels.
    std::vector<double> pixel, video, threshold;
};

// What the trend chart and the video graph show now, from the frame stream's
// history of what they drew.
GraphData graphData();

// Two CSV sections, each a header line and one row per point: the trend
// history, then after one empty line the video curve.
QByteArray toCsv(const GraphData &data);

} // namespace exporters

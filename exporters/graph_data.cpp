// The trend chart's five traces and the video graph's two curves, read from
// the graphs as last drawn, and their CSV form. A spreadsheet opens the file
// as it is: comma-separated, a header line per section, numbers without
// thousands separators or quotes, CRLF line ends.
#include "exporters/graph_data.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "runtime/widget_access.h"

namespace exporters {

namespace {

// The trend chart's traces, in trace order.
constexpr std::array<const char *, 5> TREND_COLUMNS{
    {"Upper limit", "Lower limit", "Teach value", "Measured value", "Selected value"}};

QByteArray number(double value) {
    return QByteArray::number(value, 'g', 15);
}

QByteArray cell(const std::vector<double> &values, std::size_t row) {
    return row < values.size() ? number(values[row]) : QByteArray();
}

QByteArray trendHeader(std::size_t traces) {
    QByteArray line = "Trend point";
    for (std::size_t t = 0; t < traces; ++t)
        line += ',' + (t < TREND_COLUMNS.size() ? QByteArray(TREND_COLUMNS[t])
                                                : "Trace " + QByteArray::number(t + 1));
    return line;
}

} // namespace

GraphData graphData(int panel, int trendChart, int videoGraph) {
    GraphData data;
    data.trend = rt::stripChartTraces(panel, trendChart);
    // The video graph draws the video curve first, the threshold line second.
    const std::vector<rt::CurvePlot> curves = rt::graphCurves(panel, videoGraph);
    if (!curves.empty()) {
        data.pixel = curves[0].x;
        data.video = curves[0].y;
    }
    if (curves.size() > 1)
        data.threshold = curves[1].y;
    return data;
}

QByteArray toCsv(const GraphData &data) {
    const QByteArray end = "\r\n";
    const std::size_t columns = std::max(data.trend.size(), TREND_COLUMNS.size());
    QByteArray text = trendHeader(columns) + end;
    std::size_t points = 0;
    for (const auto &trace : data.trend)
        points = std::max(points, trace.size());
    const std::vector<double> none;
    for (std::size_t k = 0; k < points; ++k) {
        text += QByteArray::number(static_cast<qulonglong>(k));
        for (std::size_t t = 0; t < columns; ++t)
            text += ',' + cell(t < data.trend.size() ? data.trend[t] : none, k);
        text += end;
    }
    text += end + "Video pixel,Video signal,Video threshold" + end;
    for (std::size_t i = 0; i < data.pixel.size(); ++i)
        text +=
            number(data.pixel[i]) + ',' + cell(data.video, i) + ',' + cell(data.threshold, i) + end;
    return text;
}

} // namespace exporters

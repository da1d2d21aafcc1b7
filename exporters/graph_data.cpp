// The trend chart's five traces and the video graph's two curves, from the
// frame stream's history of what the graphs drew, and their CSV form. A spreadsheet opens the file
// as it is: comma-separated, a header line per section, numbers without
// thousands separators or quotes, CRLF line ends.
#include "exporters/graph_data.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "stream/stream.h"

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

GraphData graphData() {
    const stream::FrameStream &program = stream::programStream();
    GraphData data;
    // Once it has drawn, the chart shows all its points: zeros before the
    // first frame's.
    const stream::History<stream::TrendPoint> &trend = program.trend;
    if (!trend.empty()) {
        const std::size_t points = trend.capacity(), first = points - trend.size();
        data.trend.assign(TREND_COLUMNS.size(), std::vector<double>(points, 0.0));
        for (std::size_t i = 0; i < trend.size(); ++i) {
            const stream::TrendPoint &p = trend[i];
            const double traces[] = {p.upper, p.lower, p.teach, p.measured, p.selected};
            for (std::size_t t = 0; t < TREND_COLUMNS.size(); ++t)
                data.trend[t][first + i] = traces[t];
        }
    }
    if (const auto &curve = program.videoCurve) {
        data.pixel.assign(curve->x.begin(), curve->x.end());
        data.video.assign(curve->y.begin(), curve->y.end());
        data.threshold.assign(curve->threshold.begin(), curve->threshold.end());
    }
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

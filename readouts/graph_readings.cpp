#include "readouts/graph_readings.h"

#include <QDateTime>
#include <QStringList>

#include <chrono>
#include <cmath>

#include "readouts/units_choice.h"
#include "stream/stream.h"

namespace readouts {

namespace {

using stream::programStream;

QString signedNumber(double value, int decimals = 0) {
    const double scale = std::pow(10.0, decimals);
    value = std::round(value * scale) / scale + 0.0; // never "-0"
    return (value > 0 ? QStringLiteral("+") : QString()) + QString::number(value, 'f', decimals);
}

// A difference in pixels, with its mm beside it while mm is shown.
QString pixelDifference(const UnitsChoice &units, double pixels) {
    QString text = signedNumber(pixels);
    if (const auto mm = units.mmPerPixel())
        text += QObject::tr(" (%1 mm)").arg(signedNumber(pixels * *mm, 3));
    return text;
}

QString clockText(stream::Clock::time_point time) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss.zzz"));
}

// The video graph's sample nearest to x: its index in the curve.
std::optional<std::size_t> sampleAt(double x) {
    const auto &curve = programStream().videoCurve;
    if (!curve)
        return std::nullopt;
    std::size_t nearest = 0;
    for (std::size_t i = 1; i < curve->x.size(); ++i)
        if (std::abs(curve->x[i] - x) < std::abs(curve->x[nearest] - x))
            nearest = i;
    return nearest;
}

QString trendCursor(const char *name, double x) {
    const auto at = trendPointAt(x);
    if (!at)
        return QObject::tr("%1: point %2, no frame").arg(QLatin1String(name)).arg(std::lround(x));
    return QObject::tr("%1: point %2, %3 s, measured value %4")
        .arg(QLatin1String(name))
        .arg(at->index)
        .arg(signedNumber(-at->secondsBefore, 2))
        .arg(at->point.measured);
}

} // namespace

std::optional<TrendAt> trendPointAt(double x) {
    const auto &trend = programStream().trend;
    const long index = std::lround(x);
    const long first = static_cast<long>(trend.capacity() - trend.size());
    if (trend.empty() || index < first || index >= static_cast<long>(trend.capacity()))
        return std::nullopt;
    const stream::TrendPoint &point = trend[static_cast<std::size_t>(index - first)];
    const std::chrono::duration<double> before = trend.newest().time - point.time;
    return TrendAt{static_cast<int>(index), point, before.count()};
}

GraphReading edgeReading(const UnitsChoice &units) {
    GraphReading reading;
    reading.hover = [&units](double x) {
        return QObject::tr("pixel %1").arg(units.pixels(std::round(x)));
    };
    return reading;
}

GraphReading trendReading(const UnitsChoice &units) {
    GraphReading reading;
    reading.snap = [](double x) { return std::round(x); };
    reading.hover = [&units](double x) {
        const auto at = trendPointAt(x);
        if (!at)
            return QString();
        const stream::TrendPoint &p = at->point;
        return QStringList{
            QObject::tr("point %1, %2 (%3 s)")
                .arg(at->index)
                .arg(clockText(p.time), signedNumber(-at->secondsBefore, 2)),
            QObject::tr("upper limit %1").arg(units.pixels(p.upper)),
            QObject::tr("lower limit %1").arg(units.pixels(p.lower)),
            QObject::tr("teach value %1").arg(units.pixels(p.teach)),
            QObject::tr("measured value %1").arg(units.pixels(p.measured)),
            QObject::tr("selected value %1").arg(p.selected),
            QObject::tr("band %1 to %2").arg(units.pixels(p.lower), units.pixels(p.upper)),
        }
            .join(QLatin1Char('\n'));
    };
    reading.measure = [&units](const std::vector<double> &cursors) {
        QStringList lines{trendCursor("A", cursors[0])};
        if (cursors.size() < 2)
            return lines.join(QLatin1Char('\n'));
        lines << trendCursor("B", cursors[1]);
        const auto a = trendPointAt(cursors[0]), b = trendPointAt(cursors[1]);
        QString delta = QObject::tr("\u0394 %1 frames").arg(signedNumber(cursors[1] - cursors[0]));
        if (a && b)
            delta += QObject::tr(", %1 s, \u0394 measured value %2")
                         .arg(signedNumber(a->secondsBefore - b->secondsBefore, 2),
                              pixelDifference(units, b->point.measured - a->point.measured));
        return (lines << delta).join(QLatin1Char('\n'));
    };
    return reading;
}

GraphReading videoReading(const UnitsChoice &units) {
    GraphReading reading;
    reading.snap = [](double x) {
        const auto i = sampleAt(x);
        return i ? programStream().videoCurve->x[*i] : x;
    };
    reading.hover = [&units](double x) {
        const auto i = sampleAt(x);
        if (!i)
            return QString();
        const stream::VideoCurve &curve = *programStream().videoCurve;
        return QObject::tr("pixel %1\nvalue %2\nthreshold %3")
            .arg(units.pixels(curve.x[*i]))
            .arg(curve.y[*i])
            .arg(curve.threshold[*i]);
    };
    reading.measure = [&units](const std::vector<double> &cursors) {
        const auto &curve = programStream().videoCurve;
        QStringList lines;
        const char *names[] = {"A", "B"};
        std::vector<int> values;
        for (std::size_t c = 0; c < cursors.size(); ++c) {
            const auto i = sampleAt(cursors[c]);
            if (!i)
                return QObject::tr("%1: pixel %2, no video")
                    .arg(QLatin1String(names[c]))
                    .arg(cursors[c]);
            values.push_back(curve->y[*i]);
            lines << QObject::tr("%1: pixel %2, value %3")
                         .arg(QLatin1String(names[c]), units.pixels(curve->x[*i]))
                         .arg(curve->y[*i]);
        }
        if (values.size() == 2)
            lines << QObject::tr("\u0394 pixels %1, \u0394 value %2")
                         .arg(pixelDifference(units, cursors[1] - cursors[0]),
                              signedNumber(values[1] - values[0]));
        return lines.join(QLatin1Char('\n'));
    };
    return reading;
}

} // namespace readouts

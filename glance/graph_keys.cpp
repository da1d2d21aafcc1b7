#include "glance/graph_keys.h"

#include <QColor>
#include <QComboBox>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include "glance/tool_tip_key.h"

namespace window {

namespace {

struct KeyRow {
    const char *color;        // a colour, or the name of the graph's colour property
    const char *defaultColor; // when the graph has no such property
    const char *what;
};

// The trend chart sets these colours on every frame.
constexpr KeyRow TREND_ROWS[] = {
    {"#000000", nullptr, QT_TRANSLATE_NOOP("window", "1 upper limit: teach value + tolerance")},
    {"#000000", nullptr,
     QT_TRANSLATE_NOOP("window", "2 lower limit: teach value \u2212 tolerance")},
    {"#000000", nullptr, QT_TRANSLATE_NOOP("window", "3 teach value")},
    {"#ff0000", nullptr, QT_TRANSLATE_NOOP("window", "4 measured value")},
    {"#ff0000", nullptr, QT_TRANSLATE_NOOP("window", "5 %1")},
};

// Trace 5 by the analogue mode the CCD settings show: 0 the measured value,
// 1 and 3 the analogue maximum, 2 and 4 the analogue minimum.
QString selectedTrace(const QWidget *trendChart) {
    const auto *mode =
        trendChart
            ? trendChart->window()->findChild<const QComboBox *>(QStringLiteral("RING_AnaMode"))
            : nullptr;
    if (!mode)
        return QObject::tr("value the analogue mode selects: measured value (0), "
                           "analogue max (1, 3), analogue min (2, 4)");
    // The panel file may give the entries values of their own.
    const QStringList values =
        mode->property("itemValues").toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
    const int index = mode->currentIndex();
    const int value = index >= 0 && index < values.size() ? values[index].trimmed().toInt() : index;
    const QString what = value == 0                 ? QObject::tr("measured value")
                         : value == 1 || value == 3 ? QObject::tr("analogue max")
                         : value == 2 || value == 4 ? QObject::tr("analogue min")
                                                    : QObject::tr("not defined");
    return QObject::tr("%1, selected by analogue mode %2").arg(what).arg(value);
}

QString filled(const QString &text, const QString &fill) {
    return text.contains(QLatin1String("%1")) ? text.arg(fill) : text;
}

constexpr KeyRow EDGE_ROWS[] = {
    {"", nullptr,
     QT_TRANSLATE_NOOP("window", "x axis: the pixel range shown, the whole line or the "
                                 "256-pixel window")},
    {"#ff0000", nullptr,
     QT_TRANSLATE_NOOP("window", "edge regions: from an edge to the end of the range")},
    {"#00ff00", nullptr,
     QT_TRANSLATE_NOOP("window", "tolerance band: teach value \u00b1 tolerance")},
    {"cursor1Color", "#0000ff", QT_TRANSLATE_NOOP("window", "cursor 1: edge position")},
    {"cursor2Color", "#ff8000", QT_TRANSLATE_NOOP("window", "cursor 2: left window edge")},
    {"cursor3Color", "#ff8000", QT_TRANSLATE_NOOP("window", "cursor 3: right window edge")},
};

template <std::size_t N>
QString keyTable(const QString &title, const KeyRow (&rows)[N], const QWidget *graph,
                 const QString &fill = QString()) {
    QStringList html;
    html << QStringLiteral("<b>%1</b><table cellspacing=\"2\">").arg(title.toHtmlEscaped());
    for (const KeyRow &row : rows) {
        QString color = QString::fromLatin1(row.color);
        if (row.defaultColor) {
            const QVariant own = graph ? graph->property(row.color) : QVariant();
            color = own.isValid() ? own.toString() : QString::fromLatin1(row.defaultColor);
        }
        const QString swatch = color.isEmpty()
                                   ? QString()
                                   : QStringLiteral("<span style=\"background-color:%1;color:%1\">"
                                                    "&nbsp;&nbsp;&nbsp;&nbsp;</span>")
                                         .arg(QColor(color).name());
        html << QStringLiteral("<tr><td>%1</td><td>%2</td></tr>")
                    .arg(swatch, filled(QObject::tr(row.what), fill).toHtmlEscaped());
    }
    html << QStringLiteral("</table>");
    return html.join(QString());
}

} // namespace

QString edgeGraphKey(const QWidget *edgeGraph) {
    return keyTable(QObject::tr("Edge graph"), EDGE_ROWS, edgeGraph);
}

QString trendChartKey(const QWidget *trendChart) {
    return keyTable(QObject::tr("Trend chart, last 100 frames"), TREND_ROWS, nullptr,
                    selectedTrace(trendChart));
}

void addGraphKeys(QWidget *edgeGraph, QWidget *trendChart) {
    if (edgeGraph)
        new ToolTipKey(edgeGraph, [edgeGraph] { return edgeGraphKey(edgeGraph); });
    if (trendChart)
        new ToolTipKey(trendChart, [trendChart] { return trendChartKey(trendChart); });
}

} // namespace window

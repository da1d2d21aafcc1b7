#include "window/graph_keys.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include "window/tool_tip_key.h"

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
    {"#ff0000", nullptr,
     QT_TRANSLATE_NOOP("window", "5 value the analogue mode selects: measured value (0), "
                                 "analogue max (1, 3), analogue min (2, 4)")},
};

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
QString keyTable(const QString &title, const KeyRow (&rows)[N], const QWidget *graph) {
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
                    .arg(swatch, QObject::tr(row.what).toHtmlEscaped());
    }
    html << QStringLiteral("</table>");
    return html.join(QString());
}

} // namespace

QString edgeGraphKey(const QWidget *edgeGraph) {
    return keyTable(QObject::tr("Edge graph"), EDGE_ROWS, edgeGraph);
}

QString trendChartKey() {
    return keyTable(QObject::tr("Trend chart, last 100 frames"), TREND_ROWS, nullptr);
}

void addGraphKeys(QWidget *edgeGraph, QWidget *trendChart) {
    if (edgeGraph)
        new ToolTipKey(edgeGraph, [edgeGraph] { return edgeGraphKey(edgeGraph); });
    if (trendChart)
        new ToolTipKey(trendChart, [] { return trendChartKey(); });
}

} // namespace window

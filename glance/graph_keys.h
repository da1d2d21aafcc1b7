// Colour keys of the edge graph and the trend chart, in their tooltips: a
// legend drawn into a plot would be drawn again with every frame.
#pragma once

class QString;
class QWidget;

namespace window {

// What each colour of the edge graph marks; the cursors' colours are read
// from the graph (the panel file gives them).
QString edgeGraphKey(const QWidget *edgeGraph);
// The trend chart's five traces, in trace order; trace 5 named by the
// analogue mode the CCD settings show now.
QString trendChartKey(const QWidget *trendChart);

void addGraphKeys(QWidget *edgeGraph, QWidget *trendChart);

} // namespace window

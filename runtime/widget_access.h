// Qt-side access to the widgets behind panel and control handles, and to what
// a graph shows, for tests and tools that drive or inspect the panels as a
// user would.
#pragma once

#include <QEvent>

#include <vector>

class QWidget;

namespace rt {

QWidget *panelWidget(int panel);
QWidget *controlWidget(int panel, int control);

// Queues `event` for the callback the panel file attached to the control,
// exactly as the user's action on it would: the callback runs from event
// processing, and a dimmed control takes nothing. False when nothing was
// queued (no such control, dimmed, or no callback).
bool postUserEvent(int panel, int control, int event);

// Sent to a control each time the program writes a text into it (changed or
// not) or changes its number, so that a window around the panel can follow
// the status line or a numeric without polling them.
QEvent::Type programValueEvent();

struct RectanglePlot {
    double x1, y1, x2, y2; // x1 <= x2, y1 <= y2
    int frameColor, fillColor;
};
struct CurvePlot {
    std::vector<double> x, y; // in the order they were plotted
    int color;
};

// The plots of a graph, oldest first; cursors are not plots.
std::vector<RectanglePlot> graphRectangles(int panel, int control);
std::vector<CurvePlot> graphCurves(int panel, int control);
// A strip chart's traces as last plotted, one vector of points per trace.
std::vector<std::vector<double>> stripChartTraces(int panel, int control);
int stripChartTraceColor(int panel, int control, int trace);
// The current x or y axis range of a graph.
bool graphAxisRange(int panel, int control, int axis, double *min, double *max);

} // namespace rt

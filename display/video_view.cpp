// The video graph: the 256 samples in red against the threshold in dark green.
#include "display/video_view.h"

#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "stream/publish.h"

namespace {

constexpr int VIDEO_POINTS = 256;
constexpr int VIDEO_PLOT_STYLE = 5;
constexpr int VIDEO_POINT_STYLE = 10;
constexpr int SOLID_LINE = 0;
constexpr int EVERY_POINT = 1;
constexpr int VIDEO_COLOR = 0xFF0000;     // red
constexpr int THRESHOLD_COLOR = 0x008000; // dark green

void PlotCurve(const unsigned short *y, int color) {
    PlotXY(panelHandle, GRAPH_Data, xArray, y, VIDEO_POINTS, VAL_UNSIGNED_SHORT_INTEGER,
           VAL_UNSIGNED_SHORT_INTEGER, VIDEO_PLOT_STYLE, VIDEO_POINT_STYLE, SOLID_LINE, EVERY_POINT,
           color);
}

} // namespace

void PlotDATACurve(const unsigned short *y) {
    SetAxisScalingMode(panelHandle, GRAPH_Data, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 1023.0);
    DeleteGraphPlot(panelHandle, GRAPH_Data, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
    PlotCurve(y, VIDEO_COLOR);
    PlotCurve(thdArray, THRESHOLD_COLOR); // drawn last, so it lies on top
    VideoCurvePlotted(xArray, y, thdArray);
}

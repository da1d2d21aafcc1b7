// One measurement frame on the edge graph. Cursor 1 marks the edge the edge
// mode evaluates, cursors 2 and 3 the evaluation window; red rectangles cover
// the pixels from an edge to an end of the x range, green bands the range the
// teach value and tolerance allow. Every call replaces all rectangles.
#include "display/raw_values.h"

#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"

namespace {

constexpr int RED = 0xFF0000;
constexpr int GREEN = 0x00FF00;
constexpr double CURSOR_Y = 0.75;
constexpr double REGION_BOTTOM = 0.25;
constexpr double REGION_TOP = 1.0;
constexpr double BAND_BOTTOM = 0.0;
constexpr double BAND_TOP = 0.35;
constexpr int LINE_END = 1024;    // no edge or band reaches beyond this pixel
constexpr int WINDOW_WIDTH = 256; // the window range runs pix1 .. pix1 + 256
constexpr unsigned short PIXDELTA_LIMIT = 192;

// Edge position of the edge mode: left, right, or the centre of both edges.
unsigned short EdgePosition(void) {
    if (eMode == 0)
        return Ledge;
    if (eMode == 1)
        return Redge;
    if (Ledge == 0 || Redge == 0)
        return 1;
    return static_cast<unsigned short>((Ledge + Redge) / 2);
}

void ShowIndicators(void) {
    SetCtrlVal(panelHandle, NUM_Ledge, Ledge);
    SetCtrlVal(panelHandle, NUM_Redge, Redge);
    SetCtrlVal(panelHandle, NUM_Mvalue, Mvalue);
    SetCtrlVal(panelHandle, NUM_TeachValue, tVal);
    SetCtrlVal(panelHandle, NUM_Tolerance, tTol);
    SetCtrlVal(panelHandle, NUM_AnaMax, anaMax);
    if (anaMin == 1023) // kept as 1 for the trend chart too
        anaMin = 1;
    SetCtrlVal(panelHandle, NUM_AnaMin, anaMin);
}

void SetWindowRange(void) {
    SetAxisScalingMode(panelHandle, GRAPH_Raw, VAL_XAXIS, VAL_MANUAL, pix1,
                       static_cast<double>(pix1) + WINDOW_WIDTH);
    pixB = pix1;
    pixE = static_cast<unsigned short>(pix1 + WINDOW_WIDTH);
}

void SetFullLineRange(void) {
    SetAxisScalingMode(panelHandle, GRAPH_Raw, VAL_XAXIS, VAL_MANUAL, 1.0, ccdmaxpixel);
    pixB = 1;
    pixE = ccdmaxpixel;
}

void PutWindowCursors(void) {
    SetGraphCursor(panelHandle, GRAPH_Raw, 2, eBeg, CURSOR_Y);
    SetGraphCursor(panelHandle, GRAPH_Raw, 3, eEnd, CURSOR_Y);
}

// x range by CCD mode; the cursors of the evaluation window follow eBeg and
// eEnd whenever the whole line is shown for want of a window.
void SetEdgeRange(void) {
    if (ccdMode == 1) {
        SetWindowRange();
    } else if (ccdMode == 2) {
        if (eMode < 2 || pixdelta > PIXDELTA_LIMIT) {
            SetFullLineRange();
        } else if (edcnt == 0) {
            SetFullLineRange();
            PutWindowCursors();
        } else {
            SetWindowRange();
        }
    } else {
        SetFullLineRange();
        PutWindowCursors();
    }
}

unsigned short ClampEdge(unsigned short edge) {
    if (edge < pixB)
        edge = pixB;
    if (edge > pixE)
        edge = pixE;
    if (edge == 0)
        edge = 1;
    if (edge > LINE_END)
        edge = LINE_END;
    return edge;
}

void PlotRegion(double x1, double x2) {
    PlotRectangle(panelHandle, GRAPH_Raw, x1, REGION_BOTTOM, x2, REGION_TOP, RED, RED);
}

void PlotEdgeRegions(void) {
    if (edcnt == 1) {
        // One edge: the object lies on the side mvstart/mvend point to.
        if (mvstart < mvend)
            PlotRegion(Ledge, pixE);
        else
            PlotRegion(pixB, Ledge);
    } else {
        PlotRegion(pixB, Ledge);
        PlotRegion(Redge, pixE);
    }
}

void PlotBand(int left, int right) {
    PlotRectangle(panelHandle, GRAPH_Raw, left, BAND_BOTTOM, right, BAND_TOP, GREEN, GREEN);
}

// A band that must stay on the line: a negative left end becomes 1, a right
// end beyond the line becomes its last pixel.
void PlotClampedBand(int left, int right) {
    if (left < 0)
        left = 1;
    if (right > LINE_END)
        right = LINE_END;
    PlotBand(left, right);
}

void PlotToleranceBands(int edge) {
    const int teach = tVal;
    const int tolerance = tTol;
    if (eMode == 2) {
        // Width mode: one band on either side of the centre, teach value apart.
        if (edcnt == 0)
            return;
        const int h = teach / 2;
        const int t = tolerance / 2;
        PlotClampedBand(edge - h - t, edge - h + t);
        PlotBand(edge + h - t, edge + h + t);
    } else {
        PlotClampedBand(teach - tolerance, teach + tolerance);
    }
}

} // namespace

void PlotRAWValues(void) {
    unsigned short edge = EdgePosition();
    ShowIndicators();
    SetEdgeRange();
    DeleteGraphPlot(panelHandle, GRAPH_Raw, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
    edge = ClampEdge(edge);
    SetGraphCursor(panelHandle, GRAPH_Raw, 1, edge, CURSOR_Y);
    PlotEdgeRegions();
    PlotToleranceBands(edge);
}

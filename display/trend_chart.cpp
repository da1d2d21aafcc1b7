// The trend history holds 100 points of five traces, interleaved point by
// point (element 5k + j is point k of trace j + 1, newest point last). Every
// frame pushes the oldest point out and the whole history is plotted again.
#include "display/trend_chart.h"

#include <cstring>

#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "stream/publish.h"

namespace {

constexpr int TRACES = 5;
constexpr int HISTORY = 500; // 100 points of 5 traces
constexpr int NEWEST = HISTORY - TRACES;
constexpr int POINTS_PER_SCREEN = 101;
constexpr int SCROLL_CONTINUOUS = 1;
constexpr int BLACK = 0x000000;
constexpr int RED = 0xFF0000;
constexpr int UPPER_LIMIT_MAX = 1023;
constexpr int LOWER_LIMIT_MIN = 1;

// Trace 5: the value the analogue mode selects.
unsigned short SelectedValue(void) {
    switch (anaMode) {
    case 1:
    case 3:
        return anaMax;
    case 2:
    case 4:
        return anaMin == 1023 ? 1 : anaMin;
    default: // 0, and the measured value for modes the sensor does not know
        return Mvalue;
    }
}

void SetTraceColors(void) {
    SetCtrlAttribute(panelHandle, STRIP_Trend, ATTR_POINTS_PER_SCREEN, POINTS_PER_SCREEN);
    SetCtrlAttribute(panelHandle, STRIP_Trend, ATTR_SCROLL_MODE, SCROLL_CONTINUOUS);
    for (int trace = 1; trace <= 3; trace++)
        SetTraceAttribute(panelHandle, STRIP_Trend, trace, ATTR_TRACE_COLOR, BLACK);
    for (int trace = 4; trace <= 5; trace++)
        SetTraceAttribute(panelHandle, STRIP_Trend, trace, ATTR_TRACE_COLOR, RED);
    SetCtrlAttribute(panelHandle, STRIP_Trend, ATTR_NUM_TRACES, TRACES);
}

} // namespace

void PlotRAWGraph(void) {
    const unsigned short selected = SelectedValue();
    Shift(arrayNORM, HISTORY, -TRACES, arrayNORM);

    int upper = static_cast<int>(tVal) + static_cast<int>(tTol);
    if (upper > UPPER_LIMIT_MAX)
        upper = UPPER_LIMIT_MAX;
    int lower = static_cast<int>(tVal) - static_cast<int>(tTol);
    if (lower < LOWER_LIMIT_MIN)
        lower = LOWER_LIMIT_MIN;

    arrayNORM[NEWEST + 0] = upper;
    arrayNORM[NEWEST + 1] = lower;
    arrayNORM[NEWEST + 2] = tVal;
    arrayNORM[NEWEST + 3] = Mvalue;
    arrayNORM[NEWEST + 4] = selected;
    TrendPointPlotted(upper, lower, tVal, Mvalue, selected);

    SetTraceColors();
    PlotStripChart(panelHandle, STRIP_Trend, arrayNORM, HISTORY, 0, 0, VAL_DOUBLE);
}

int Copy1D(const double *input, int n, double *output) {
    if (n < 1)
        return ARRAY_BAD_COUNT;
    // memmove: byte for byte, and safe when output is input.
    std::memmove(output, input, static_cast<size_t>(n) * sizeof(double));
    return ARRAY_OK;
}

int Shift(const double *input, int n, int s, double *output) {
    if (n < 1)
        return ARRAY_BAD_COUNT;
    // The magnitude in 64 bits: -s overflows an int for the most negative s.
    const long long magnitude = s < 0 ? -static_cast<long long>(s) : s;
    if (magnitude >= n)
        return ARRAY_BAD_SHIFT;
    if (s == 0)
        return Copy1D(input, n, output);

    const int m = static_cast<int>(magnitude);
    const size_t kept = static_cast<size_t>(n - m) * sizeof(double);
    if (s > 0) {
        std::memmove(output + m, input, kept);
        for (int i = 0; i < m; i++)
            output[i] = 0.0;
    } else {
        std::memmove(output, input + m, kept);
        for (int i = n - m; i < n; i++)
            output[i] = 0.0;
    }
    return ARRAY_OK;
}

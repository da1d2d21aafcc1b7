// The trend chart STRIP_Trend: the last 100 frames as five traces, kept in
// arrayNORM, and the two array operations it rests on.
#pragma once

// Appends the current frame to the history and hands all of it to the chart.
void PlotRAWGraph(void);

// Status codes of the array operations.
constexpr int ARRAY_OK = 0;
constexpr int ARRAY_BAD_COUNT = -20003; // n below 1
constexpr int ARRAY_BAD_SHIFT = -20102; // |s| of n or more

// Moves n values by s places (towards the end when s > 0) into output and
// fills the places left behind with 0.0. input and output may be the same
// array. Leaves output alone on a bad count or shift.
int Shift(const double *input, int n, int s, double *output);
// Copies n values unchanged.
int Copy1D(const double *input, int n, double *output);

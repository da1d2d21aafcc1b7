// The one call WinMain makes for reading values off the graphs.
#pragma once

// The hover readouts on the three graphs (by their control ids), the
// measurement cursors on the trend chart and the video graph, the trend
// chart's line styles, legend and time axis, and View > Units with the mm
// of the indicators in their tooltips. `ccdtype` and `ccdresolution` are
// where the program keeps the sensor's CCD description.
void AttachReadouts(int panel, int edgeGraph, int trendChart, int videoGraph,
                    const unsigned short *ccdtype, const unsigned short *ccdresolution);

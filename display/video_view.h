// The video graph: samples against the threshold curve.
#pragma once

void PlotDATACurve(const unsigned short *y);

// The edge view: the frame's values on the indicators and the edge graph
// GRAPH_Raw (x range, edge cursor, edge regions, tolerance bands).
#pragma once

// Draws the current measurement-frame variables; the caller updates them first.
// Rewrites anaMin 1023 as 1 and sets pixB and pixE to the x range drawn.
void PlotRAWValues(void);

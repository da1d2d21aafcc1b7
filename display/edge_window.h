// The evaluation window's edges on the main panel: entering a new edge moves
// its cursor on the edge graph (2 left, 3 right).
#pragma once

// Commit: cursor 2 to the entered value; eBeg is not touched.
int CC_NEDITEdgeLeft(int panel, int control, int event, void *callbackData, int eventData1,
                     int eventData2);
// Commit: a value above ccdmaxpixel becomes ccdmaxpixel (numeric and eEnd);
// then cursor 3 to the value.
int CC_NEDITEdgeRight(int panel, int control, int event, void *callbackData, int eventData1,
                      int eventData2);

// The state at a glance, around the main panel: the title names the port and
// whether the sensor answers, a status bar under the panel shows the frames,
// the in-tolerance lamp and what to do on a failure, the status line keeps a
// history in its tooltip, the graphs have colour keys, and the window fits the
// screen it opens on.
#pragma once

#include "glance/range_marks.h"

// For WinMain, before the first connect.
void AttachGlance(int panel, int statusLine, int edgeGraph, int trendChart);

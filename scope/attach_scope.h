// The one call WinMain makes for zoom, pan, freeze, the trend's auto-scale
// and the two signal graphs side by side.
#pragma once

// On the main panel `panel`: a view for each of the three graphs, Sensor >
// Freeze (F9) with its toggle on the signal graphs' box, View > Auto-scale
// trend and View > Trend and video side by side. After the status bar is
// there (AttachGlance), which then also says "frozen".
void AttachScope(int panel, int edgeGraph, int trendChart, int videoGraph);

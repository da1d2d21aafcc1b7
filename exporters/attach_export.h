// The one call WinMain makes for exporting.
#pragma once

// The File menu's export items and the graphs' right-click menus on the main
// panel's window; the three graphs by their control ids.
void AttachExport(int panel, int edgeGraph, int trendChart, int videoGraph);

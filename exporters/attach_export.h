// The one call WinMain makes for exporting.
#pragma once

#include <QString>

// The File menu's export items and the graphs' right-click menus on the main
// panel's window; the three graphs by their control ids. `sensorText` names
// the sensor in an exported picture's caption (its port and firmware text).
void AttachExport(int panel, int edgeGraph, int trendChart, int videoGraph,
                  QString (*sensorText)() = nullptr);

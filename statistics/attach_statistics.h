// The one call WinMain makes for the statistics window.
#pragma once

// "Statistics" in the View menu of the main panel's window.
void AttachStatistics(int panel);

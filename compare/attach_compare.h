// The one call WinMain makes for the compare window.
#pragma once

// "Compare parameters..." in the Tools menu of the main panel's window.
void AttachCompareWindow(int panel);

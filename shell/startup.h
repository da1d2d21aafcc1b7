// Start-up pieces of the program: the panel file, the defaults, the first
// values on the panels and the main panel's callback. WinMain (app/program.h)
// calls them in order.
#pragma once

constexpr const char *PANEL_FILE = "VexaTBScope14.uir";

void InitVars(void);
// The program's defaults of the parameters and the link state (the first
// step of InitVars).
void SetDefaultValues(void);
void ShowInfoText(const char *text, int left, int top, int size);
int CC_PANEL(int panel, int event, void *callbackData, int eventData1, int eventData2);

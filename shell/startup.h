// Start-up and shut-down of the program.
#pragma once

constexpr const char *PANEL_FILE = "VexaTBScope14.uir";

// The whole program: load the panels, set the variables, connect, run the
// event loop until the main panel is closed. 0 after a normal end, -1 when
// the run-time or a panel cannot be loaded.
int WinMain(void *hInstance, void *hPrevInstance, char *lpszCmdLine, int nCmdShow);
void InitVars(void);
// The program's defaults of the parameters and the link state (the first
// step of InitVars).
void SetDefaultValues(void);
void ShowInfoText(const char *text, int left, int top, int size);
int CC_PANEL(int panel, int event, void *callbackData, int eventData1, int eventData2);
void RegisterProgramCallbacks(void);

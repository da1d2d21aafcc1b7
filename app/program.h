// The whole program, as main starts it and the tests drive it.
#pragma once

// Load the panels, attach the additions, set the variables, connect, run the
// event loop until the main panel is closed. 0 after a normal end, -1 when
// the run-time or a panel cannot be loaded.
int WinMain(void *hInstance, void *hPrevInstance, char *lpszCmdLine, int nCmdShow);
// Gives the run-time the callbacks the panel file may name, and the
// exchanges the status line for their progress notes.
void RegisterProgramCallbacks(void);

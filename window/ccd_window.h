// The CCD settings panel's window: where it opens, that it comes back where
// the user left it (across runs), and that its close button and Esc hide it
// the way the CCD-settings button does.
#pragma once

// Hides the panel and keeps the program's record that it is hidden.
using PanelHideHook = void (*)(void);

// For WinMain: `ccdPanel` is the child panel of `mainPanel`; a close of its
// window calls `hide` instead of being ignored.
void AttachCCDWindow(int mainPanel, int ccdPanel, PanelHideHook hide);

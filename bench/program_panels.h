// The benchmarks run the program's own code on its real panels, as WinMain
// sets them up, without a window manager.
#pragma once

#include <stdlib.h>

#include "app/program.h"
#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/startup.h"

// Starts the run-time offscreen, loads both panels and runs InitVars.
// False when the run-time or a panel cannot be loaded.
inline bool StartProgramPanels(char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!InitCVIRTE(nullptr, argv, nullptr))
        return false;
    RegisterProgramCallbacks();
    panelHandle = LoadPanel(0, VEXA_PANEL_FILE, PANEL);
    panelPopUp = LoadPanel(panelHandle, VEXA_PANEL_FILE, CCDPANEL);
    if (panelHandle < 0 || panelPopUp < 0)
        return false;
    InitVars();
    return true;
}

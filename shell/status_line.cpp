#include "shell/status_line.h"

#include <cstdio>

#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"

void SetStatus(const char *text) {
    std::snprintf(szStatus, sizeof szStatus, "%s", text); // at most 71 characters
    ShowStatus();
}

void ShowStatus(void) {
    SetCtrlVal(panelHandle, TEXT_Status, szStatus);
}

void ShowNote(const char *text) {
    SetCtrlVal(panelHandle, TEXT_Status, text);
}

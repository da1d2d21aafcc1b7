// The busy controls the Run and Data loops share; the frame copy is in
// frame_copy.cpp.
#include "display/loop_support.h"

#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"

void SetBusyControls(int dimmed) {
    SetCtrlAttribute(panelHandle, CTRL_Busy1, ATTR_DIMMED, dimmed);
    SetCtrlAttribute(panelHandle, CTRL_Busy2, ATTR_DIMMED, dimmed);
    SetCtrlAttribute(panelHandle, CTRL_Busy3, ATTR_DIMMED, dimmed);
}

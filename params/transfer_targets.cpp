// Target selection: each radio button acts on its own value-changed event.
#include "params/transfer_targets.h"

#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"

namespace {

// Lights `button` alone and makes `code` the target.
void LightOnly(int button, int code) {
    SetCtrlVal(panelHandle, button, 1);
    target = code;
    if (button != RBTRam)
        SetCtrlVal(panelHandle, RBTRam, 0);
    if (button != RBTEeprom)
        SetCtrlVal(panelHandle, RBTEeprom, 0);
    if (button != RBTFile)
        SetCtrlVal(panelHandle, RBTFile, 0);
}

// A button switched off: back to RAM, whose button is lit (again).
void FallBackToRam(void) {
    target = RAM;
    SetCtrlVal(panelHandle, RBTRam, 1);
}

void SelectTarget(int button, int code) {
    int on = 0;
    GetCtrlVal(panelHandle, button, &on);
    if (on == 1)
        LightOnly(button, code);
    else
        FallBackToRam();
}

} // namespace

int CC_RBTRam(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
              int /*eventData1*/, int /*eventData2*/) {
    if (event == EVENT_VAL_CHANGED)
        SelectTarget(RBTRam, RAM);
    return 0;
}

int CC_RBTEeprom(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
                 int /*eventData1*/, int /*eventData2*/) {
    if (event == EVENT_VAL_CHANGED)
        SelectTarget(RBTEeprom, EEPROM);
    return 0;
}

int CC_RBTFile(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
               int /*eventData1*/, int /*eventData2*/) {
    if (event == EVENT_VAL_CHANGED)
        SelectTarget(RBTFile, DATFILE);
    return 0;
}

void ForceTargetRam(void) {
    SetCtrlVal(panelHandle, RBTRam, 1);
    target = RAM;
    SetCtrlVal(panelHandle, RBTEeprom, 0);
    SetCtrlVal(panelHandle, RBTFile, 0);
}

// The program's defaults, apart from the rest of the start-up: vexa-tb-ctl
// starts from them too, and must not take the panels' start-up with them.
#include "params/parameter_table.h"
#include "shell/globals.h"
#include "shell/startup.h"

void SetDefaultValues(void) {
    SetParameterStartValues();
    pixB = 1;
    pixE = 1024;
    com = 1;
    sync = 0x55;
    order = 1;
    target = RAM;
    rx_flag = 0;
    stop_flag = 1;
    ccdmaxpixel = 1024;
}

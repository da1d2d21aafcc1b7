// The video graph's x axis for the x layouts of video_layout.cpp.
#include "link/video_layout.h"

#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"

void SetFullLineLayout(void) {
    SetAxisScalingMode(panelHandle, GRAPH_Data, VAL_XAXIS, VAL_MANUAL, 1.0, ccdmaxpixel);
    FullLineX(xArray);
}

void SetWindowLayout(unsigned short p) {
    SetAxisScalingMode(panelHandle, GRAPH_Data, VAL_XAXIS, VAL_MANUAL, p, p + 256.0);
    WindowX(p, xArray);
}

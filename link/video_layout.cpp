#include "link/video_layout.h"

#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"

void FullLineX(unsigned short x[256]) {
    const int step = ccdmaxpixel == 1024 ? 4 : 2;
    for (int i = 0; i < 256; i++)
        x[i] = static_cast<unsigned short>(step * i);
}

void WindowX(unsigned short p, unsigned short x[256]) {
    for (int i = 0; i < 256; i++)
        x[i] = static_cast<unsigned short>(p + i);
}

void SetFullLineLayout(void) {
    SetAxisScalingMode(panelHandle, GRAPH_Data, VAL_XAXIS, VAL_MANUAL, 1.0, ccdmaxpixel);
    FullLineX(xArray);
}

void SetWindowLayout(unsigned short p) {
    SetAxisScalingMode(panelHandle, GRAPH_Data, VAL_XAXIS, VAL_MANUAL, p, p + 256.0);
    WindowX(p, xArray);
}

#include "link/video_layout.h"

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

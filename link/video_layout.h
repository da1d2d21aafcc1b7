// The two x layouts of the video graph GRAPH_Data: the axis range and the x
// position of each of the 256 samples in xArray.
#pragma once

// The whole CCD line: axis 1 .. ccdmaxpixel; every fourth pixel of a
// 1024-pixel line, every second pixel otherwise.
void SetFullLineLayout(void);
// A window of 256 pixels from pixel p: axis p .. p + 256, samples at p + i.
void SetWindowLayout(unsigned short p);

// The two x layouts of the video graph GRAPH_Data: the axis range and the x
// position of each of the 256 samples in xArray.
#pragma once

// The whole CCD line: axis 1 .. ccdmaxpixel; every fourth pixel of a
// 1024-pixel line, every second pixel otherwise.
void SetFullLineLayout(void);
// A window of 256 pixels from pixel p: axis p .. p + 256, samples at p + i.
void SetWindowLayout(unsigned short p);

// The x positions alone, into `x`, for a program without the graph.
void FullLineX(unsigned short x[256]);
void WindowX(unsigned short p, unsigned short x[256]);

// The video loop: Data reads the CCD's video signal, 256 samples in four
// blocks of 64, and plots it against the threshold until Stop or a missing
// reply ends the loop.
#pragma once

// Commit (1) only. Returns 0 once the loop has ended.
int CC_BTNData(int panel, int control, int event, void *callbackData, int eventData1,
               int eventData2);

// The x layout of the video graph for the samples just read: the window at
// pStart in CCD mode 1; in CCD mode 2 the window at pix1 while the sensor
// reports a narrow object between two edges in edge mode 2 and above;
// otherwise the whole line.
void SetVideoLayout(void);
// The choice SetVideoLayout makes, without the graph: 1 and the window's first
// pixel in `start`, or 0 for the whole line.
int VideoWindowStart(unsigned short *start);

// What the loops and the link call to publish into the program's stream:
// plain functions, so that the procedural code needs nothing else of it.
#pragma once

// words[0 .. FRAME_WORDS_SEEN-1]: the frame as the sensor sent it.
void FrameDecoded(const unsigned short *words);
// x: the sample positions the video graph uses, y: the samples; 256 each.
void VideoPassDecoded(const unsigned short *x, const unsigned short *y);
// running: 1 when a loop starts, 0 when it has ended.
void LoopRunning(int running);
// The trend chart's five traces of the point it has just drawn.
void TrendPointPlotted(double upper, double lower, double teach, double measured, double selected);
// The video graph's curve and threshold line as just drawn; 256 each.
void VideoCurvePlotted(const unsigned short *x, const unsigned short *y,
                       const unsigned short *threshold);

// The connect sequence's open, with OpenComConfig's result.
void PortOpened(int port, int result);
// A port that closed by itself because its device went away.
void PortLost(int port);
// replied is 1 when the sensor's reply came, 0 when its wait timed out.
void ExchangeEnded(int port, int replied);

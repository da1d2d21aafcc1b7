// Additions beside the panels (the recorder, the window's status bar) learn
// of the Run and Data loops here: each frame and video pass the loops take,
// and when a loop starts and ends. The loops know nothing of who listens; an
// observer must be cheap, as it runs for every frame.
#pragma once

// The words of a measurement frame as the sensor sends them in its order-8
// reply; observers get all thirteen (the Data loop shows only the first 12).
enum FrameWord {
    FRAME_LEDGE,
    FRAME_REDGE,
    FRAME_MVALUE,
    FRAME_TVAL,
    FRAME_TTOL,
    FRAME_PIX1,
    FRAME_EDCNT,
    FRAME_MVSTART,
    FRAME_MVEND,
    FRAME_PIXDELTA,
    FRAME_ANAMAX,
    FRAME_ANAMIN,
    FRAME_IN0,
    FRAME_WORDS_SEEN
};
constexpr int VIDEO_PASS_SAMPLES = 256;

// words[0 .. FRAME_WORDS_SEEN-1]: the frame as the sensor sent it.
using FrameObserver = void (*)(const unsigned short *words);
void AddFrameObserver(FrameObserver observer); // up to four at a time
void RemoveFrameObserver(FrameObserver observer);
void FrameDecoded(const unsigned short *words);

// x: the sample positions the video graph uses, y: the samples; 256 each.
using VideoPassObserver = void (*)(const unsigned short *x, const unsigned short *y);
void SetVideoPassObserver(VideoPassObserver observer); // nullptr: nobody listens
void VideoPassDecoded(const unsigned short *x, const unsigned short *y);

// running: 1 when a loop starts, 0 when it has ended.
using LoopObserver = void (*)(int running);
void SetLoopObserver(LoopObserver observer); // nullptr: nobody listens
void LoopRunning(int running);

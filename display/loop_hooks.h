// Additions beside the panels (the window's status bar) learn of the Run and
// Data loops here: each frame the loops take over, and when a loop starts and
// ends. The loops know nothing of who listens; an observer must be cheap, as
// it runs for every frame.
#pragma once

// The words of a measurement frame, in the order the loops take them over.
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
};

// words[0 .. count-1]: the frame as taken over (the Data loop takes 12 words,
// the Run loop 13).
using FrameObserver = void (*)(const unsigned short *words, int count);
void SetFrameObserver(FrameObserver observer); // nullptr: nobody listens
void FrameDecoded(const unsigned short *words, int count);

// running: 1 when a loop starts, 0 when it has ended.
using LoopObserver = void (*)(int running);
void SetLoopObserver(LoopObserver observer); // nullptr: nobody listens
void LoopRunning(int running);

#include "display/loop_hooks.h"

namespace {

constexpr int MAX_FRAME_OBSERVERS = 4;
FrameObserver g_frameObservers[MAX_FRAME_OBSERVERS] = {};
VideoPassObserver g_videoPassObserver = nullptr;
LoopObserver g_loopObserver = nullptr;

} // namespace

void AddFrameObserver(FrameObserver observer) {
    for (FrameObserver known : g_frameObservers)
        if (known == observer)
            return;
    for (FrameObserver &slot : g_frameObservers)
        if (!slot) {
            slot = observer;
            return;
        }
}

void RemoveFrameObserver(FrameObserver observer) {
    for (FrameObserver &slot : g_frameObservers)
        if (slot == observer)
            slot = nullptr;
}

void FrameDecoded(const unsigned short *words) {
    for (FrameObserver observer : g_frameObservers)
        if (observer)
            observer(words);
}

void SetVideoPassObserver(VideoPassObserver observer) {
    g_videoPassObserver = observer;
}

void VideoPassDecoded(const unsigned short *x, const unsigned short *y) {
    if (g_videoPassObserver)
        g_videoPassObserver(x, y);
}

void SetLoopObserver(LoopObserver observer) {
    g_loopObserver = observer;
}

void LoopRunning(int running) {
    if (g_loopObserver)
        g_loopObserver(running);
}

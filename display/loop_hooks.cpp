#include "display/loop_hooks.h"

namespace {

FrameObserver g_frameObserver = nullptr;
LoopObserver g_loopObserver = nullptr;

} // namespace

void SetFrameObserver(FrameObserver observer) {
    g_frameObserver = observer;
}

void FrameDecoded(const unsigned short *words, int count) {
    if (g_frameObserver)
        g_frameObserver(words, count);
}

void SetLoopObserver(LoopObserver observer) {
    g_loopObserver = observer;
}

void LoopRunning(int running) {
    if (g_loopObserver)
        g_loopObserver(running);
}

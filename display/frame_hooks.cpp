#include "display/frame_hooks.h"

namespace {

FrameDecodedHook g_frameDecoded = nullptr;
VideoPassHook g_videoPass = nullptr;

} // namespace

void SetFrameDecodedHook(FrameDecodedHook hook) {
    g_frameDecoded = hook;
}

void SetVideoPassHook(VideoPassHook hook) {
    g_videoPass = hook;
}

void FrameDecoded(const unsigned short *words) {
    if (g_frameDecoded)
        g_frameDecoded(words);
}

void VideoPassDecoded(const unsigned short *x, const unsigned short *y) {
    if (g_videoPass)
        g_videoPass(x, y);
}

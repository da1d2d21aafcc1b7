// Additions beside the panels (the recorder) learn of each measurement frame
// and each video pass the loops decode here; the loops know nothing of them.
#pragma once

constexpr int HOOK_FRAME_WORDS = 13; // words 0 to 12 of an order-8 reply
constexpr int HOOK_VIDEO_SAMPLES = 256;

// words: the frame's data words 0 to 12 as the sensor sent them.
using FrameDecodedHook = void (*)(const unsigned short *words);
// x: the sample positions the graph uses, y: the samples; 256 each.
using VideoPassHook = void (*)(const unsigned short *x, const unsigned short *y);

void SetFrameDecodedHook(FrameDecodedHook hook); // nullptr: nobody listens
void SetVideoPassHook(VideoPassHook hook);

// Called by the Run and Data loops for every frame they take over, and by the
// Data loop at the end of each pass once the video graph's layout is chosen.
void FrameDecoded(const unsigned short *words);
void VideoPassDecoded(const unsigned short *x, const unsigned short *y);

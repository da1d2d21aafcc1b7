// Where the video graph's window starts, without the graph: the Data loop's
// layout and vexa-tb-ctl's video capture take the same choice.
#include "display/video_loop.h"

#include "shell/globals.h"

namespace {

constexpr unsigned short PIXDELTA_LIMIT = 192;

} // namespace

int VideoWindowStart(unsigned short *start) {
    if (ccdMode == 1) {
        *start = pStart;
        return 1;
    }
    if (ccdMode == 2 && eMode >= 2 && pixdelta <= PIXDELTA_LIMIT && edcnt != 0) {
        *start = pix1;
        return 1;
    }
    return 0;
}

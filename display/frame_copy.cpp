// The measurement frame the Run and Data loops (and vexa-tb-ctl) take over.
#include "display/loop_support.h"

#include "shell/globals.h"

namespace {

// Word i of a measurement frame goes to frameVars[i].
unsigned short *const frameVars[RUN_FRAME_WORDS] = {
    &Ledge,   &Redge, &Mvalue,   &tVal,   &tTol,   &pix1, &edcnt,
    &mvstart, &mvend, &pixdelta, &anaMax, &anaMin, &in0,
};

} // namespace

void CopyPPtoFrame(int words) {
    if (words > RUN_FRAME_WORDS)
        words = RUN_FRAME_WORDS;
    for (int i = 0; i < words; i++)
        *frameVars[i] = pp[i];
}

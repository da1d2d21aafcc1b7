// Redraws the threshold line of the video graph from the numeric.
#include "display/video_threshold.h"

#include "display/video_view.h"
#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"

int CC_NEDITVideoThreshold(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
                           int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_COMMIT && event != EVENT_LEFT_CLICK)
        return 0;
    unsigned short threshold = 0;
    GetCtrlVal(panelHandle, NEDITVideoThreshold, &threshold);
    for (unsigned short &t : thdArray)
        t = threshold;
    PlotDATACurve(adcbuf);
    return 0;
}

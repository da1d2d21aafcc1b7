// The CCD info as the window takes it: the line's pixel count, the video
// graph's x layout and the description on the CCD settings panel.
#include "link/exchanges.h"
#include "link/result_text.h"
#include "link/transactions.h"
#include "link/video_layout.h"
#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"

int GetCCDInfo(void) {
    CcdInfo info{};
    const ExchangeOutcome outcome = CcdInfoExchange(&info);
    PutResult(outcome.text);
    if (rx_flag == 1) { // any reply replaces them, also one with a wrong echo
        ccdtype = info.type;
        ccdmaxpixel = info.maxPixel;
        ccdresolution = info.resolution;
    }

    if (outcome.result == 1) {
        pixB = 1;
        pixE = ccdmaxpixel;
        if (eEnd < ccdmaxpixel)
            eEnd = ccdmaxpixel; // the panel shows it with the next parameter read
        SetCtrlAttribute(panelPopUp, NSLIDE_PixelStart, ATTR_MAX_VALUE, ccdmaxpixel);
        if (ccdMode == 0)
            SetFullLineLayout();
        else
            SetWindowLayout(pix1);
        ReplaceTextBoxLine(panelPopUp, TEXTBOX_CCDInfo, 0, CCDDescription(ccdtype, ccdresolution));
    }
    // The connect sequence shows szStatus at its end.
    return outcome.result;
}

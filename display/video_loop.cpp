// The video loop runs inside the Data button's callback. Each pass asks for a
// measurement frame, shows it on the edge view, reads the four video blocks
// with the receive callback off, chooses the x layout and redraws the video
// graph. A pass always runs to its end: Stop and the frame time-out only end
// the loop after the drawing.
#include "display/video_loop.h"

#include "display/loop_support.h"
#include "display/raw_values.h"
#include "display/video_view.h"
#include "link/connection.h"
#include "link/exchange_guard.h"
#include "link/exchanges.h"
#include "link/output_queue.h"
#include "link/send_hold.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "link/video_layout.h"
#include "params/transfer_targets.h"
#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/status_line.h"
#include "stream/publish.h"

namespace {

// The four blocks of 64 samples; only the last carries the last-block flag.
void ReadVideoBlocks(void) {
    BeginBlockReads();    // a Send made from here waits for the end
    ReceiveCallbackOff(); // the 128-byte replies stay in the input queue
    FlushInQ(com);
    DrainOutQ();
    ReadData64(0, 0);
    ReadData64(64, 0);
    ReadData64(128, 0);
    ReadData64(192, 1);
    ReceiveCallbackOn();
    EndBlockReads();
}

void RunVideoPass(void) {
    // The order-8 request carries pp as it stands: after the first pass, the
    // words of the previous reply.
    unsigned short frame[PNUM];
    const ExchangeOutcome outcome = FrameExchange(0, frame);
    if (outcome.result == 0) {
        SetStatus(outcome.text);
        stop_flag = 1;
    }
    // After a time-out pp holds no frame (perhaps the CCD info of the
    // connect): the frame values, tVal and tTol keep what they were.
    if (rx_flag == 1) {
        CopyPPtoFrame(DATA_FRAME_WORDS);
        FrameDecoded(pp);
    }
    ReadVideoBlocks();
    SetVideoLayout();
    VideoPassDecoded(xArray, adcbuf);
    PlotRAWValues();
    PlotDATACurve(adcbuf);
    ProcessSystemEvents();
}

} // namespace

void SetVideoLayout(void) {
    unsigned short start = 0;
    if (VideoWindowStart(&start))
        SetWindowLayout(start);
    else
        SetFullLineLayout();
}

int CC_BTNData(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
               int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_COMMIT || !StartExchange())
        return 0;

    // The video graph takes the place of the trend chart.
    SetCtrlAttribute(panelHandle, STRIP_Trend, ATTR_VISIBLE, 0);
    SetCtrlAttribute(panelHandle, GRAPH_Data, ATTR_VISIBLE, 1);
    SetBusyControls(1);
    ForceTargetRam();

    // Until the first pass: the whole line, or the window where the last
    // frame (CCD mode 1: the pixel start) put it.
    if (ccdMode == 0) {
        SetFullLineLayout();
    } else {
        if (ccdMode == 1)
            pix1 = pStart;
        SetWindowLayout(pix1);
    }

    HidePanel(panelPopUp);
    hidePopUp = 1; // the next BTN_CCDSettings click shows it again
    stop_flag = 0;
    LoopRunning(1);

    do {
        RunVideoPass();
    } while (stop_flag == 0);

    SetBusyControls(0);
    // Receive callback back as at connect; both queues flushed, rx_flag cleared.
    ReceiveCallbackOn();
    EndExchange();
    LoopRunning(0);
    return 0;
}

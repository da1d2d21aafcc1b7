// The live loop runs inside the Run button's callback. Every pass it takes
// the frame the receive callback has decoded, sends the next order-8 request
// as soon as the reply is in, draws the frame while the request is on the
// line, and gives up when a reply is more than TIMEOUT late.
// ProcessSystemEvents keeps the panel alive and runs the receive callback and
// the Stop button.
#include "display/live_loop.h"

#include <algorithm>

#include "display/loop_support.h"
#include "display/raw_values.h"
#include "display/trend_chart.h"
#include "link/exchange_guard.h"
#include "link/exchanges.h"
#include "link/output_queue.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "params/transfer_targets.h"
#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/status_line.h"
#include "stream/frame.h"
#include "stream/publish.h"

int CC_BTNRun(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
              int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_COMMIT || !StartExchange())
        return 0;

    // The trend chart takes the place of the video graph.
    SetCtrlAttribute(panelHandle, GRAPH_Data, ATTR_VISIBLE, 0);
    SetCtrlAttribute(panelHandle, STRIP_Trend, ATTR_VISIBLE, 1);
    SetBusyControls(1);
    ForceTargetRam();

    // Each request packs the parameter variables (tVal and tTol as the
    // sensor last reported them).
    CopyVarsToPP();
    FlushInQ(com);
    FlushOutQ(com);
    SendFrameRequest();
    if (nBytesW == TELEGRAM_LEN)
        ShowNote("Line Ok!");
    stop_flag = 0;
    graphrefresh = 0;
    LoopRunning(1);

    while (stop_flag == 0) {
        // The frame is taken out of pp before the next request overwrites it;
        // it is drawn, and handed to whoever records it, while the line
        // carries that request.
        const int newFrame = graphrefresh;
        unsigned short frameWords[FRAME_WORDS_SEEN] = {};
        if (newFrame == 1) {
            CopyPPtoFrame(RUN_FRAME_WORDS);
            std::copy(pp, pp + FRAME_WORDS_SEEN, frameWords);
        }
        if (rx_flag == 1) {
            FlushInQ(com);
            DrainOutQ(); // a Send made meanwhile leaves whole
            CopyVarsToPP();
            SendFrameRequest(); // its count is not looked at
        }
        if (newFrame == 1) {
            FrameDecoded(frameWords);
            PlotRAWValues();
            PlotRAWGraph();
            graphrefresh = 0;
        }
        // Runs from the last request: a port that has gone away ends here too.
        tdiff = Timer() - tstart;
        if (tdiff > TIMEOUT) {
            SetStatus("Timeout RS232-Line!");
            ExchangeEnded(com, 0);
            stop_flag = 1;
            break;
        }
        ProcessSystemEvents();
    }

    SetWakeDeadline(0); // no wait any more
    rx_flag = 0;
    FlushInQ(com);
    DrainOutQ();
    graphrefresh = 0;
    SetBusyControls(0);
    EndExchange();
    LoopRunning(0);
    return 0;
}

int CC_BTNStop(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
               int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_LEFT_CLICK)
        return 0;
    stop_flag = 1;
    SetCtrlAttribute(panelHandle, CTRL_Busy2, ATTR_DIMMED, 0);
    SetCtrlAttribute(panelHandle, CTRL_Busy1, ATTR_DIMMED, 0);
    SetCtrlAttribute(panelHandle, CTRL_Busy3, ATTR_DIMMED, 0);
    return 0;
}

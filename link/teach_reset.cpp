// The Teach button (order 6) and the Reset Max/Min button (order 11). Both
// send the current parameter block; the content of the sensor's answer is not
// looked at.
#include "link/exchange_guard.h"
#include "link/port_events.h"
#include "link/result_text.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "shell/status_line.h"

namespace {

void SendCurrentBlock(unsigned short orderCode) {
    FlushInQ(com);
    FlushOutQ(com);
    rx_flag = 0;
    order = orderCode;
    FillTxBuf(orderCode, pp);
    nBytesW = ComWrt(com, szWriteBuf, TELEGRAM_LEN);
}

} // namespace

int CC_ButtonTeach(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
                   int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_COMMIT || !StartExchange())
        return 0;

    SendCurrentBlock(ORDER_TEACH);
    ShowNote("New setpoint value teached!");

    int answered = 0;
    tstart = Timer();
    SetWakeDeadline(tstart + TEACH_TIMEOUT);
    for (;;) {
        if (rx_flag == 1) {
            answered = 1;
            PushGET(RAM); // read back the newly taught value, whatever the target
            break;
        }
        ProcessSystemEvents();
        tdiff = Timer() - tstart;
        if (!(tdiff < TEACH_TIMEOUT))
            break;
    }
    SetWakeDeadline(0); // the wait is over
    // Without an answer the note must not stand as the result.
    if (!answered) {
        SetStatus("Timeout-RS-232...");
        ExchangeEnded(com, 0);
    }

    EndExchange();
    return 0;
}

int CC_ButtonReset(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
                   int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_COMMIT || !StartExchange())
        return 0;

    SendCurrentBlock(ORDER_RESET_MAXMIN);
    ShowNote("Reset Max/Min values...");

    tstart = Timer();
    SetWakeDeadline(tstart + TIMEOUT);
    for (;;) {
        if (rx_flag == 1)
            break;
        ProcessSystemEvents();
        tdiff = Timer() - tstart;
        if (!(tdiff < TIMEOUT))
            break;
    }
    SetWakeDeadline(0); // the wait is over
    if (tdiff <= TIMEOUT)
        PutResult("Reset Max/Min OK!");
    else
        PutResult("Timeout-RS-232...");
    if (rx_flag != 1)
        ExchangeEnded(com, 0);
    ShowStatus();

    EndExchange();
    return 0;
}

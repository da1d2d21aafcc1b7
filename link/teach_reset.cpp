// The Teach button (order 6) and the Reset Max/Min button (order 11). Both
// send the current parameter block; the content of the sensor's answer is not
// looked at.
#include "link/exchange_guard.h"
#include "link/exchanges.h"
#include "stream/publish.h"
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

// Reply test, events, elapsed time, time test: until a reply or `limit`.
// Returns 1 with a reply.
int AwaitAnyReply(double limit) {
    int answered = 0;
    tstart = Timer();
    SetWakeDeadline(tstart + limit);
    for (;;) {
        if (rx_flag == 1) {
            answered = 1;
            break;
        }
        ProcessSystemEvents();
        tdiff = Timer() - tstart;
        if (!(tdiff < limit))
            break;
    }
    SetWakeDeadline(0); // the wait is over
    if (!answered)
        ExchangeEnded(com, 0);
    return answered;
}

} // namespace

ExchangeOutcome TeachExchange(void) {
    SendCurrentBlock(ORDER_TEACH);
    ExchangeNote("New setpoint value teached!");
    if (AwaitAnyReply(TEACH_TIMEOUT))
        return {1, nullptr};
    // Without an answer the note must not stand as the result.
    return {0, "Timeout-RS-232..."};
}

ExchangeOutcome ResetExchange(void) {
    SendCurrentBlock(ORDER_RESET_MAXMIN);
    ExchangeNote("Reset Max/Min values...");
    AwaitAnyReply(TIMEOUT);
    if (tdiff <= TIMEOUT)
        return {1, "Reset Max/Min OK!"};
    return {0, "Timeout-RS-232..."};
}

int CC_ButtonTeach(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
                   int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_COMMIT || !StartExchange())
        return 0;

    const ExchangeOutcome outcome = TeachExchange();
    if (outcome.result == 1)
        PushGET(RAM); // read back the newly taught value, whatever the target
    else
        SetStatus(outcome.text);

    EndExchange();
    return 0;
}

int CC_ButtonReset(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
                   int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_COMMIT || !StartExchange())
        return 0;

    const ExchangeOutcome outcome = ResetExchange();
    PutResult(outcome.text);
    ShowStatus();

    EndExchange();
    return 0;
}

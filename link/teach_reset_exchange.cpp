// Teach (order 6) and Reset Max/Min (order 11). Both send the current
// parameter block; the content of the sensor's answer is not looked at.
#include "link/exchanges.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "stream/publish.h"

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

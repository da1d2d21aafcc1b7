// A measurement frame, order 8: the sensor answers with the sixteen words of
// its current measurement. Bytes the line still carries (a Send made
// meanwhile) leave whole before the request.
#include <cstring>

#include "link/exchanges.h"
#include "link/output_queue.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "stream/publish.h"

void SendFrameRequest(void) {
    rx_flag = 0;
    order = ORDER_FRAME;
    FillTxBuf(ORDER_FRAME, pp);
    tstart = Timer();
    SetWakeDeadline(tstart + TIMEOUT);
    nBytesW = ComWrt(com, szWriteBuf, TELEGRAM_LEN);
}

ExchangeOutcome FrameExchange(int packParameters, unsigned short frame[PNUM]) {
    if (packParameters)
        CopyVarsToPP();
    FlushInQ(com);
    DrainOutQ();
    SendFrameRequest(); // a short write shows as a time-out

    // The flag is looked at before the events are processed, so a reply that
    // comes with the last call still counts as late.
    ExchangeOutcome outcome{1, nullptr};
    while (rx_flag != 1) {
        ProcessSystemEvents();
        tdiff = Timer() - tstart;
        if (tdiff > TIMEOUT) {
            outcome = {0, "Timeout RS232-Line!"};
            ExchangeEnded(com, 0);
            break;
        }
    }
    SetWakeDeadline(0); // the wait is over
    if (rx_flag == 1)
        std::memcpy(frame, pp, sizeof pp);
    return outcome;
}

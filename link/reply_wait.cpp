#include "link/port_events.h"
#include "link/reply_wait.h"

#include "link/result_text.h"
#include "link/telegram.h"
#include "runtime/runtime.h"
#include "shell/globals.h"

void RequestAndAwaitReply(int port, unsigned short orderCode) {
    order = orderCode;
    FillTxBuf(orderCode, pp);
    FlushOutQ(port);
    FlushInQ(port);
    rx_flag = 0;
    nBytesW = ComWrt(port, szWriteBuf, TELEGRAM_LEN);

    tstart = Timer();
    SetWakeDeadline(tstart + TIMEOUT);
    for (;;) {
        ProcessSystemEvents();
        tdiff = Timer() - tstart;
        if (tdiff > TIMEOUT) {
            PutResult("Timeout-RS-232...");
            ExchangeEnded(port, 0);
            break;
        }
        if (rx_flag != 0)
            break;
    }
    SetWakeDeadline(0); // the wait is over
}

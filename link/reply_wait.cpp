#include "link/reply_wait.h"

#include "link/telegram.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "stream/publish.h"

int RequestAndAwaitReply(int port, unsigned short orderCode) {
    order = orderCode;
    FillTxBuf(orderCode, pp);
    FlushOutQ(port);
    FlushInQ(port);
    rx_flag = 0;
    nBytesW = ComWrt(port, szWriteBuf, TELEGRAM_LEN);

    int timedOut = 0;
    tstart = Timer();
    SetWakeDeadline(tstart + TIMEOUT);
    for (;;) {
        ProcessSystemEvents();
        tdiff = Timer() - tstart;
        if (tdiff > TIMEOUT) {
            timedOut = 1;
            ExchangeEnded(port, 0);
            break;
        }
        if (rx_flag != 0)
            break;
    }
    SetWakeDeadline(0); // the wait is over
    return timedOut;
}

// Reads the sensor's sixteen parameters from its RAM (order 2) or EEPROM
// (order 4), and writes a set to either (orders 1 and 3).
#include <cstring>

#include "link/exchanges.h"
#include "link/telegram.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "stream/publish.h"

ExchangeOutcome ParameterExchange(unsigned short orderCode, unsigned short set[PNUM]) {
    order = orderCode;
    CopyVarsToPP();
    FlushInQ(com);
    FlushOutQ(com);
    FillTxBuf(orderCode, pp);
    rx_flag = 0;
    nBytesW = ComWrt(com, szWriteBuf, TELEGRAM_LEN);
    if (nBytesW == TELEGRAM_LEN)
        ExchangeNote("Waiting for parameter-frame ...");

    ExchangeOutcome outcome{0, nullptr};
    tstart = Timer();
    SetWakeDeadline(tstart + TIMEOUT);
    for (;;) {
        ProcessSystemEvents();
        if (rx_flag == 1) {
            GetRxBuf(PNUM);
            std::memcpy(set, pp, sizeof pp);
            outcome = {1, "Parameter-frame received! - Line Ok!"};
            break;
        }
        tdiff = Timer() - tstart;
        if (tdiff > TIMEOUT) {
            outcome = {0, "Timeout-RS-232..."};
            ExchangeEnded(com, 0);
            break;
        }
    }
    SetWakeDeadline(0); // the wait is over
    return outcome;
}

int WriteParameterSet(unsigned short orderCode, const unsigned short set[PNUM]) {
    order = orderCode;
    FillTxBuf(orderCode, set);
    return nBytesW = ComWrt(com, szWriteBuf, TELEGRAM_LEN);
}

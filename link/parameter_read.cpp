// Reads the sensor's sixteen parameters from its RAM (order 2) or EEPROM
// (order 4) and shows them; for a parameter file only shows the variables.
#include <cstring>

#include "link/exchanges.h"
#include "stream/publish.h"
#include "link/result_text.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "params/panel_binding.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "shell/status_line.h"

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

void PushGET(int transferTarget) {
    if (transferTarget != DATFILE) {
        if (transferTarget == RAM)
            order = ORDER_READ_RAM;
        if (transferTarget == EEPROM)
            order = ORDER_READ_EEPROM;

        unsigned short set[PNUM];
        const ExchangeOutcome outcome = ParameterExchange(static_cast<unsigned short>(order), set);
        if (outcome.result == 1)
            CopyPPtoVars(); // pp holds the set; without a reply the variables keep their values
        PutResult(outcome.text);
    }

    SetPanelValues();
    ShowStatus();
}

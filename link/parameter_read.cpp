// Reads the sensor's sixteen parameters from its RAM (order 2) or EEPROM
// (order 4) and shows them; for a parameter file only shows the variables.
#include "link/port_events.h"
#include "link/result_text.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "params/panel_binding.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "shell/status_line.h"

void PushGET(int transferTarget) {
    if (transferTarget != DATFILE) {
        if (transferTarget == RAM)
            order = ORDER_READ_RAM;
        if (transferTarget == EEPROM)
            order = ORDER_READ_EEPROM;

        CopyVarsToPP();
        FlushInQ(com);
        FlushOutQ(com);
        FillTxBuf(static_cast<unsigned short>(order), pp);
        rx_flag = 0;
        nBytesW = ComWrt(com, szWriteBuf, TELEGRAM_LEN);
        if (nBytesW == TELEGRAM_LEN)
            ShowNote("Waiting for parameter-frame ...");

        tstart = Timer();
        SetWakeDeadline(tstart + TIMEOUT);
        for (;;) {
            ProcessSystemEvents();
            if (rx_flag == 1) {
                GetRxBuf(PNUM);
                CopyPPtoVars();
                PutResult("Parameter-frame received! - Line Ok!");
                break;
            }
            tdiff = Timer() - tstart;
            if (tdiff > TIMEOUT) {
                // The parameter variables keep their values.
                PutResult("Timeout-RS-232...");
                ExchangeEnded(com, 0);
                break;
            }
        }
        SetWakeDeadline(0); // the wait is over
    }

    SetPanelValues();
    ShowStatus();
}

// Reads the sensor's sixteen parameters from its RAM or EEPROM and shows them;
// for a parameter file only shows the variables.
#include "link/exchanges.h"
#include "link/result_text.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "params/panel_binding.h"
#include "shell/globals.h"
#include "shell/status_line.h"

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

// The firmware info as the window reads it: the text goes to szVersion and
// the result to the status line.
#include "link/exchanges.h"
#include "link/result_text.h"
#include "link/transactions.h"
#include "shell/globals.h"
#include "shell/status_line.h"

int GetVERSIONInfo(void) {
    const ExchangeOutcome outcome = FirmwareExchange(szVersion);
    PutResult(outcome.text);
    ShowStatus();
    return outcome.result;
}

// The echo check as the window runs it: the result goes to the status line.
#include "link/exchanges.h"
#include "link/result_text.h"
#include "link/transactions.h"
#include "shell/status_line.h"

int CheckComLine(int port) {
    const ExchangeOutcome outcome = EchoExchange(port);
    PutResult(outcome.text);
    ShowStatus();
    return outcome.result;
}

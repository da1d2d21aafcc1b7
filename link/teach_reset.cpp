// The Teach button and the Reset Max/Min button: one exchange each, while no
// other runs, with its result in the status line.
#include "link/exchange_guard.h"
#include "link/exchanges.h"
#include "link/result_text.h"
#include "link/transactions.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "shell/status_line.h"

int CC_ButtonTeach(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
                   int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_COMMIT || !StartExchange())
        return 0;

    const ExchangeOutcome outcome = TeachExchange();
    if (outcome.result == 1)
        PushGET(RAM); // read back the newly taught value, whatever the target
    else
        SetStatus(outcome.text);

    EndExchange();
    return 0;
}

int CC_ButtonReset(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
                   int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_COMMIT || !StartExchange())
        return 0;

    const ExchangeOutcome outcome = ResetExchange();
    PutResult(outcome.text);
    ShowStatus();

    EndExchange();
    return 0;
}

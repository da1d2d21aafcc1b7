// Echo check, order 5: the sensor answers any request of order 5 with a
// telegram whose header word is 0x00AA.
#include "link/exchanges.h"
#include "link/reply_header.h"
#include "link/reply_wait.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "shell/globals.h"

ExchangeOutcome EchoExchange(int port) {
    ExchangeOutcome outcome{0, nullptr};

    CopyVarsToPP();
    if (RequestAndAwaitReply(port, ORDER_ECHO))
        outcome.text = "Timeout-RS-232...";

    // A reply delivered in the very pass the time ran out still counts.
    if (rx_flag == 1) {
        pp[0] = BytesToWord(&szReadBuf[0]);
        if (pp[0] == REPLY_HEADER)
            outcome = {1, "Echo Check - Line Ok!"};
        else
            outcome = {0, "read error - not sync byte 0xAA!"};
    }
    return outcome;
}

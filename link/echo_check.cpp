// Echo check, order 5: the sensor answers any request of order 5 with a
// telegram whose header word is 0x00AA.
#include "link/reply_wait.h"
#include "link/result_text.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "shell/status_line.h"

namespace {
constexpr unsigned short REPLY_HEADER = 0x00AA;
}

int CheckComLine(int port) {
    int result = 0;

    CopyVarsToPP();
    RequestAndAwaitReply(port, ORDER_ECHO);

    // A reply delivered in the very pass the time ran out still counts.
    if (rx_flag == 1) {
        pp[0] = BytesToWord(&szReadBuf[0]);
        if (pp[0] == REPLY_HEADER) {
            PutResult("Echo Check - Line Ok!");
            result = 1;
        } else {
            PutResult("read error - not sync byte 0xAA!");
            result = 0;
        }
    }

    ShowStatus();
    return result;
}

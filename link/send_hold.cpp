#include "link/send_hold.h"

namespace {

bool blockReads = false;
SendFunction heldSend = nullptr;

} // namespace

void BeginBlockReads(void) {
    blockReads = true;
}

void EndBlockReads(void) {
    blockReads = false;
    if (SendFunction send = heldSend) {
        heldSend = nullptr;
        send();
    }
}

int HoldSend(SendFunction send) {
    if (!blockReads)
        return 0;
    heldSend = send;
    return 1;
}

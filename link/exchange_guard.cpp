#include "link/exchange_guard.h"

#include "shell/status_line.h"

namespace {
int exchangeDepth = 0;
}

int SensorBusy(void) {
    return exchangeDepth > 0 ? 1 : 0;
}

void BeginExchange(void) {
    exchangeDepth++;
}

void EndExchange(void) {
    if (exchangeDepth > 0)
        exchangeDepth--;
}

int RefuseIfBusy(void) {
    if (!SensorBusy())
        return 0;
    ShowNote("Busy - press Stop or wait!");
    return 1;
}

int StartExchange(void) {
    if (RefuseIfBusy())
        return 0;
    BeginExchange();
    return 1;
}

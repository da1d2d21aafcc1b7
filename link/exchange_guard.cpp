#include "link/exchange_guard.h"

#include <cstring>

#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/status_line.h"

namespace {

int exchangeDepth = 0;
int connectDepth = 0; // a connect sequence may run inside another one
// What the status line showed before the busy note covered it.
bool busyNoteShown = false;
char textUnderBusyNote[260];

// The busy note says why a click did nothing; once nothing is busy it would
// only mislead, so the text it covered comes back, unless something newer
// has been shown meanwhile.
void TakeBusyNoteAway(void) {
    busyNoteShown = false;
    char shown[260] = {};
    GetCtrlVal(panelHandle, TEXT_Status, shown);
    if (std::strcmp(shown, BUSY_NOTE) == 0)
        SetCtrlVal(panelHandle, TEXT_Status, textUnderBusyNote);
}

} // namespace

int SensorBusy(void) {
    return exchangeDepth > 0 ? 1 : 0;
}

void BeginExchange(void) {
    exchangeDepth++;
}

void EndExchange(void) {
    if (exchangeDepth > 0)
        exchangeDepth--;
    if (exchangeDepth == 0 && busyNoteShown)
        TakeBusyNoteAway();
}

int RefuseIfBusy(void) {
    if (!SensorBusy())
        return 0;
    if (!busyNoteShown) {
        textUnderBusyNote[0] = '\0';
        GetCtrlVal(panelHandle, TEXT_Status, textUnderBusyNote);
        busyNoteShown = true;
    }
    ShowNote(BUSY_NOTE);
    return 1;
}

int StartExchange(void) {
    if (RefuseIfBusy())
        return 0;
    BeginExchange();
    return 1;
}

void BeginConnectSequence(void) {
    connectDepth++;
    BeginExchange();
}

void EndConnectSequence(void) {
    if (connectDepth > 0)
        connectDepth--;
    EndExchange();
}

int RefuseIfConnecting(void) {
    return connectDepth > 0 ? RefuseIfBusy() : 0;
}

// Progress notes of the exchanges go to the status line of the window unless
// a program without the panels sets its own hook.
#include "link/exchanges.h"
#include "shell/status_line.h"

namespace {

ExchangeNoteHook noteHook = ShowNote;

} // namespace

void SetExchangeNoteHook(ExchangeNoteHook hook) {
    noteHook = hook;
}

ExchangeNoteHook GetExchangeNoteHook(void) {
    return noteHook;
}

void ExchangeNote(const char *text) {
    if (noteHook)
        noteHook(text);
}

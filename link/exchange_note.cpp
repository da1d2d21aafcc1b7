// Progress notes of the exchanges go where the program's hook sends them:
// the window gives them its status line (RegisterProgramCallbacks), a
// program without the panels sets its own hook or none.
#include "link/exchanges.h"

namespace {

ExchangeNoteHook noteHook = nullptr;

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

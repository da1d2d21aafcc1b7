#include "shell/window_note.h"

#include "shell/globals.h"

namespace {

WindowNoteHook g_windowNote = nullptr;

} // namespace

void SetWindowNoteHook(WindowNoteHook hook) {
    g_windowNote = hook;
}

void WindowNote(const char *text) {
    if (g_windowNote)
        g_windowNote(panelHandle, text);
}

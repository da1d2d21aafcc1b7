#include "shell/window_note.h"

#include <cstdio>
#include <cstring>

#include "shell/globals.h"

namespace {

WindowNoteHook g_windowNote = nullptr;
char g_shown[260] = {};

} // namespace

void SetWindowNoteHook(WindowNoteHook hook) {
    g_windowNote = hook;
}

void WindowNote(const char *text) {
    std::snprintf(g_shown, sizeof g_shown, "%s", text);
    if (g_windowNote)
        g_windowNote(panelHandle, text);
}

int WindowNoteShows(const char *text) {
    return std::strcmp(g_shown, text) == 0 ? 1 : 0;
}

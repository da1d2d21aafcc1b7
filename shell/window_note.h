// Notes for the user beside the status line, in the window around the
// panels (its status bar). The status line's texts stay as they are; a note
// says what they leave unsaid, e.g. that a Send wrote nothing.
#pragma once

using WindowNoteHook = void (*)(int panel, const char *text);
void SetWindowNoteHook(WindowNoteHook hook); // nullptr: notes go nowhere

// Shows `text` beside the main panel; an empty text takes the note away.
void WindowNote(const char *text);
// 1 while the last note shown is `text`: a note may take away only itself.
int WindowNoteShows(const char *text);

#include "link/reply_header.h"

#include "link/telegram.h"
#include "shell/window_note.h"

namespace {

constexpr const char *WRONG_HEADER_NOTE = "reply without the 0xAA header: values may be wrong";

} // namespace

int ReplyHeaderOk(const char *reply) {
    return BytesToWord(reply) == REPLY_HEADER ? 1 : 0;
}

// Runs for every reply: the note is shown or taken away only when that
// changes, not again with each frame.
void NoteReplyHeader(const char *reply) {
    const bool shown = WindowNoteShows(WRONG_HEADER_NOTE) != 0;
    if (ReplyHeaderOk(reply) == shown)
        WindowNote(shown ? "" : WRONG_HEADER_NOTE);
}

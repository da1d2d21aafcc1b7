#include "link/reply_header.h"

#include "link/telegram.h"
#include "shell/window_note.h"

namespace {

constexpr const char *WRONG_HEADER_NOTE = "reply without the 0xAA header: values may be wrong";

} // namespace

int ReplyHeaderOk(const char *reply) {
    return BytesToWord(reply) == REPLY_HEADER ? 1 : 0;
}

void NoteReplyHeader(const char *reply) {
    if (!ReplyHeaderOk(reply))
        WindowNote(WRONG_HEADER_NOTE);
    else if (WindowNoteShows(WRONG_HEADER_NOTE))
        WindowNote("");
}

// Every 36-byte reply starts with the header word 0x00AA. The window takes a
// reply's data words whatever its header says (only the echo check compares
// it), so the status bar says when a header was wrong.
#pragma once

constexpr unsigned short REPLY_HEADER = 0x00AA;

// 1 when the telegram at `reply` starts with the header word.
int ReplyHeaderOk(const char *reply);

// Shows "reply without the 0xAA header: values may be wrong" in the status
// bar for a reply with a wrong header; the next right one takes it away.
void NoteReplyHeader(const char *reply);

// The exchanges with the sensor on their own: each writes its request, waits
// with the program's time-out and rules, decodes the reply into storage the
// caller gives and returns its result with the status text the program
// shows for it. They touch no panel, no parameter variable and not szStatus,
// so that a window or a program without the panels (vexa-tb-ctl) can run
// them; the transactions of transactions.h call them and then bring the
// panels, the variables and the status line up to date.
//
// Like the transactions they use the program-wide link state: the port
// `com` (the echo check takes its own), order, pp, szWriteBuf, szReadBuf,
// rx_flag, tstart, tdiff, nBytesW, nBytesR. Requests carry pp as the order
// wants it: packed from the parameter variables (orders 2, 4, 5) or as it
// stands (6, 7, 10, 11). The waits of the 36-byte replies process events,
// since only the receive callback delivers those replies.
#pragma once

#include "shell/globals.h"

// What an exchange ends with. `text` is the status text the program puts
// into szStatus for it; nullptr where the program leaves szStatus as it is.
struct ExchangeOutcome {
    int result;
    const char *text;
};

// Progress notes ("Waiting for parameter-frame ..."), shown while a reply is
// awaited. The window sends them to its status line (RegisterProgramCallbacks
// sets ShowNote); nullptr, as before that: none.
using ExchangeNoteHook = void (*)(const char *text);
void SetExchangeNoteHook(ExchangeNoteHook hook);
ExchangeNoteHook GetExchangeNoteHook(void); // the hook set now
void ExchangeNote(const char *text);        // passes the note to the hook

// Echo check, order 5 on `port`, with the packed parameters. Result 1 when the
// reply's header word is 0x00AA ("Echo Check - Line Ok!"), else 0 ("read
// error - not sync byte 0xAA!" or "Timeout-RS-232..." after 1.5 s). pp[0]
// keeps the reply's header word.
ExchangeOutcome EchoExchange(int port);

// Reads the sensor's sixteen parameters, order 2 (RAM) or 4 (EEPROM), with
// the packed parameters, into `set` in block order, exactly as the sensor
// holds them (no range check). Note "Waiting for parameter-frame ..." when
// the request went out whole. Result 1 with "Parameter-frame received! -
// Line Ok!" and `set` (and pp) filled; 0 with "Timeout-RS-232..." after
// 1.5 s and `set` untouched. The reply's header and echo are not looked at.
ExchangeOutcome ParameterExchange(unsigned short orderCode, unsigned short set[PNUM]);

// Writes a parameter set, order 1 (RAM) or 3 (EEPROM); the sensor does not
// answer. No flush, no wait. Returns the count written (36 when whole).
int WriteParameterSet(unsigned short orderCode, const unsigned short set[PNUM]);

// Firmware text, order 7 with the current pp; the receive callback is off
// during the wait and on again after it. The wait processes no events. Result
// the number of bytes queued when the wait ended (72 or more is success); the
// text, up to 36 characters, goes into `version` only from a reply read as
// exactly 72 bytes (else `version` is empty). Text: the firmware text, or
// "Timeout - reading firmware info!" after 2.0 s, or nullptr.
ExchangeOutcome FirmwareExchange(char version[STATUS_LEN]);

// CCD info, order 10 with the current pp. Data words 0-2 of any reply go into
// `info` (type, pixel count, resolution code) before the echo is looked at.
// Result 1 when the reply's order echo is 10, else 0. Text "Timeout-RS-232..."
// on a time-out (1.5 s), otherwise nullptr.
struct CcdInfo {
    unsigned short type;
    unsigned short maxPixel;
    unsigned short resolution;
};
ExchangeOutcome CcdInfoExchange(CcdInfo *info);

// Measurement frame, order 8, with the packed parameters (`packParameters`
// 1, the Run loop's request) or the current pp (0, the Data loop's). Result
// 1 when the reply came within 1.5 s, else 0 with "Timeout RS232-Line!".
// `frame` takes the reply's sixteen words whenever one came, also in the
// pass in which the time ran out.
ExchangeOutcome FrameExchange(int packParameters, unsigned short frame[PNUM]);

// The order-8 request with pp as it stands, for FrameExchange and the Run
// loop (which packs pp first): rx_flag to 0, `order` to 8, the reply's clock
// (tstart) and the wake deadline TIMEOUT later started, the 36 bytes written
// (nBytesW the count). No flush, no wait, no allocation: the Run loop sends it
// on every reply.
void SendFrameRequest(void);

// Teach, order 6 with the current pp; note "New setpoint value teached!".
// Result 1 when any reply came within 1.5 s (text nullptr: the program reads
// the parameters back then), else 0 with "Timeout-RS-232...".
ExchangeOutcome TeachExchange(void);

// Reset of the stored maximum and minimum, order 11 with the current pp; note
// "Reset Max/Min values...". Result 1 with "Reset Max/Min OK!" when a reply
// came within 1.5 s, else 0 with "Timeout-RS-232...".
ExchangeOutcome ResetExchange(void);

// One block of 64 video samples from index `start` (0, 64, 128 or 192),
// order 9; the receive callback must be off. Note "Waiting for Data[64] ...".
// Samples that did not arrive are 0. Result 1 always; text "Data[64] block
// received!" for a block read as exactly 128 bytes, "Timeout-RS-232 while
// reading 64 data-words!" after 1.5 s, otherwise nullptr.
ExchangeOutcome VideoBlockExchange(int start, int lastBlock, unsigned short samples[64]);

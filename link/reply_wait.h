// The request/reply pattern of the echo check and the CCD-info request.
#pragma once

// Builds the request for `orderCode` from the current pp, flushes the output
// and then the input queue of `port`, clears rx_flag and writes the telegram.
// Then waits, pass by pass: events, elapsed time, time test, reply test.
// Returns 1 when the time ran out (the program's text is then
// "Timeout-RS-232..."), else 0. The caller tests rx_flag once more: a reply
// delivered in the very pass the time ran out still counts.
int RequestAndAwaitReply(int port, unsigned short orderCode);

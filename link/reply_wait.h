// The request/reply pattern of the echo check and the CCD-info request.
#pragma once

// Builds the request for `orderCode` from the current pp, flushes the output
// and then the input queue of `port`, clears rx_flag and writes the telegram.
// Then waits, pass by pass: events, elapsed time, time test, reply test. On a
// time-out "Timeout-RS-232..." goes into szStatus. The caller tests rx_flag
// once more: a reply delivered in the very pass the time ran out still counts.
void RequestAndAwaitReply(int port, unsigned short orderCode);

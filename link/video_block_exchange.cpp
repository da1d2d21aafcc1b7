// One block of the video signal, order 9: the sensor answers with 128 bytes,
// the 64 samples from the index given in data word 0. The receive callback
// must be off (the video loop switches it off around its four blocks).
#include <cstring>

#include "link/exchanges.h"
#include "link/output_queue.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "stream/publish.h"

namespace {

int QueuedBytes(void) {
    int n = GetInQLen(com);
    return n < 0 ? 0 : n; // a port that is not open has nothing queued
}

constexpr double BYTE_TIME = 10.0 / 19200.0; // seconds a byte takes on the line
// A line without a byte for this long carries no reply any more: many byte
// times, and more than a USB adapter holds bytes back.
constexpr double QUIET_TIME = 0.05;

// A block that timed out may still be on its way. Its rest must not be taken
// as the next block's reply, so it is discarded: everything that arrives
// until the line has been quiet for QUIET_TIME, for at most as long as the
// missing bytes need.
void DiscardLateReply(int received) {
    const int missing = received < VIDEO_BLOCK_LEN ? VIDEO_BLOCK_LEN - received : 0;
    const double end = Timer() + missing * BYTE_TIME + QUIET_TIME;
    double quietSince = Timer();
    while (Timer() < end && Timer() - quietSince < QUIET_TIME) {
        ProcessSystemEvents();
        if (QueuedBytes() > 0) {
            FlushInQ(com);
            quietSince = Timer();
        }
    }
}

// Built by hand: the start index, the last-block flag and 28 zero bytes.
void FillBlockRequest(int start, int lastBlock) {
    std::memset(szWriteBuf, 0, TELEGRAM_LEN);
    WordToBytes(static_cast<unsigned short>(sync), &szWriteBuf[0]);
    WordToBytes(ORDER_VIDEO_BLOCK, &szWriteBuf[2]);
    WordToBytes(static_cast<unsigned short>(start), &szWriteBuf[4]);
    WordToBytes(static_cast<unsigned short>(lastBlock), &szWriteBuf[6]);
}

} // namespace

ExchangeOutcome VideoBlockExchange(int start, int lastBlock, unsigned short samples[64]) {
    order = ORDER_VIDEO_BLOCK;
    DrainOutQ();
    FlushInQ(com);
    FillBlockRequest(start, lastBlock);
    nBytesW = ComWrt(com, szWriteBuf, TELEGRAM_LEN);
    ExpectComBytes(com, VIDEO_BLOCK_LEN);
    ExchangeNote("Waiting for Data[64] ...");

    ExchangeOutcome outcome{1, nullptr};
    int n = 0;
    bool late = false;
    tstart = Timer();
    SetWakeDeadline(tstart + TIMEOUT);
    for (;;) {
        ProcessSystemEvents();
        n = QueuedBytes();
        tdiff = Timer() - tstart;
        if (tdiff > TIMEOUT) {
            outcome.text = "Timeout-RS-232 while reading 64 data-words!";
            late = true;
            break;
        }
        if (n >= VIDEO_BLOCK_LEN)
            break;
    }
    SetWakeDeadline(0); // the wait is over
    ExpectComBytes(com, 0);

    int count = n < static_cast<int>(sizeof szReadBuf) ? n : static_cast<int>(sizeof szReadBuf);
    nBytesR = count > 0 ? ComRd(com, szReadBuf, count) : 0;
    if (nBytesR == VIDEO_BLOCK_LEN)
        outcome.text = "Data[64] block received!";
    ExchangeEnded(com, nBytesR == VIDEO_BLOCK_LEN ? 1 : 0);
    if (late)
        DiscardLateReply(nBytesR < 0 ? 0 : nBytesR);

    // Samples that did not arrive are 0, never bytes of an earlier reply; a
    // sample of which only the first byte came did not arrive either.
    int got = nBytesR < 0 ? 0 : nBytesR & ~1;
    if (got < VIDEO_BLOCK_LEN)
        std::memset(&szReadBuf[got], 0, static_cast<size_t>(VIDEO_BLOCK_LEN - got));

    for (int i = 0; i < VIDEO_BLOCK_SAMPLES; i++)
        samples[i] = BytesToWord(&szReadBuf[2 * i]);
    return outcome;
}

// Firmware info, order 7: the sensor answers with 72 bytes, 36 words whose low
// bytes are the characters of its firmware text.
#include <chrono>
#include <cstring>
#include <thread>

#include "link/connection.h"
#include "link/exchanges.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "stream/publish.h"

namespace {

constexpr int FIRMWARE_WORDS = FIRMWARE_REPLY_LEN / 2;
// No events are processed in this wait; between two looks at the queue the
// program sleeps this long instead of spinning: the time-out still ends
// within 2 ms of its limit, and the 72-byte reply takes 37.5 ms anyway.
constexpr std::chrono::microseconds QUEUE_POLL_PAUSE(1900);

int QueuedBytes(void) {
    int n = GetInQLen(com);
    return n < 0 ? 0 : n; // a port that is not open has nothing queued
}

} // namespace

ExchangeOutcome FirmwareExchange(char version[STATUS_LEN]) {
    ReceiveCallbackOff(); // the 72 bytes must stay in the input queue
    FlushInQ(com);
    FlushOutQ(com);

    order = ORDER_FIRMWARE;
    FillTxBuf(ORDER_FIRMWARE, pp);
    nBytesW = ComWrt(com, szWriteBuf, TELEGRAM_LEN);
    ExchangeNote("Waiting for firmware info ...");

    ExchangeOutcome outcome{0, nullptr};
    int n = 0;
    tstart = Timer();
    for (;;) {
        n = QueuedBytes();
        tdiff = Timer() - tstart;
        if (tdiff > FIRMWARE_TIMEOUT) {
            outcome.text = "Timeout - reading firmware info!";
            break;
        }
        if (n >= FIRMWARE_REPLY_LEN)
            break;
        std::this_thread::sleep_for(QUEUE_POLL_PAUSE);
    }

    std::memset(version, 0, STATUS_LEN);
    int count = n < static_cast<int>(sizeof szReadBuf) ? n : static_cast<int>(sizeof szReadBuf);
    nBytesR = count > 0 ? ComRd(com, szReadBuf, count) : 0;
    if (nBytesR == FIRMWARE_REPLY_LEN) {
        int words[FIRMWARE_WORDS];
        for (int i = 0; i < FIRMWARE_WORDS; i++)
            words[i] = BytesToWord(&szReadBuf[2 * i]); // character i is the low byte
        Fmt(version, "%72c<%36i", words);
        outcome.text = version;
    }
    ExchangeEnded(com, nBytesR == FIRMWARE_REPLY_LEN ? 1 : 0);

    ReceiveCallbackOn();
    outcome.result = n;
    return outcome;
}

// The COM port: opening and set-up, and the receive callback. The connect
// sequence and the port selector, which show their progress on the panels,
// are in connect_sequence.cpp.
#include "link/connection.h"

#include "link/output_queue.h"
#include "link/reply_header.h"
#include "link/telegram.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "stream/publish.h"

namespace {

constexpr long BAUD_RATE = 19200;
constexpr int NO_PARITY = 0;
constexpr int DATA_BITS = 8;
constexpr int STOP_BITS = 1;
constexpr int QUEUE_SIZE = 4096;
constexpr double PORT_TIMEOUT = 2.0; // read and write time-out, seconds
constexpr int CTS_OFF = 0;

void InstallReceiveCallback(int port) {
    InstallComCallback(port, eventMask, TELEGRAM_LEN, sync, RX_Receive_Function, nullptr);
}

} // namespace

const char *OpenErrorText(int code) {
    switch (code) {
    case -1:
        return "Unknown system error";
    case -2:
        return "Invalid port number";
    case -3:
        return "Port is not open";
    case -4:
        return "Unknown I/0 error";
    case -6:
        return "No serial port found";
    case -7:
        return "Cannot open port";
    case -13:
        return "Invalid parameter";
    case -99:
        return "Timeout";
    default: // -5, -8 to -12 and every other code
        return "RS-232 error!";
    }
}

int OpenSensorPort(int port) {
    return OpenComConfig(port, "", BAUD_RATE, NO_PARITY, DATA_BITS, STOP_BITS, QUEUE_SIZE,
                         QUEUE_SIZE);
}

void SetUpSensorPort(int port) {
    SetComTime(port, PORT_TIMEOUT);
    FlushInQ(port);
    FlushOutQ(port);
    SetCTSMode(port, CTS_OFF);
    InstallReceiveCallback(port);
}

void RX_Receive_Function(int /*portNumber*/, int eventWord, void * /*callbackData*/) {
    // Only a full telegram in the input queue counts; the output-empty and
    // event-character events do nothing.
    if ((eventWord & LWRS_RECEIVE_COUNT) == 0)
        return;
    ComRd(com, szReadBuf, TELEGRAM_LEN);
    NoteReplyHeader(szReadBuf);
    GetRxBuf(PNUM);
    rx_flag = 1;
    graphrefresh = 1;
    ExchangeEnded(com, 1);
    FlushInQ(com); // whatever came after the 36 bytes is dropped
}

void ReceiveCallbackOff(void) {
    InstallComCallback(com, 0, TELEGRAM_LEN, sync, nullptr, nullptr);
}

void ReceiveCallbackOn(void) {
    InstallReceiveCallback(com);
    FlushInQ(com);
    DrainOutQ();
    rx_flag = 0;
}

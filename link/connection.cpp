// The COM port: opening and set-up, the connect sequence, the receive callback
// and the port selector.
#include "link/connection.h"

#include "link/exchange_guard.h"
#include "link/output_queue.h"
#include "stream/publish.h"
#include "link/reply_header.h"
#include "link/result_text.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "params/transfer_targets.h"
#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/status_line.h"

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

void InitRS232(int port) {
    BeginConnectSequence();
    SetComLostCallback(PortLost);
    ret = OpenSensorPort(port);
    PortOpened(port, ret);
    if (ret < 0) {
        // Nothing is installed and nothing is sent on a port that did not open.
        PutResult(OpenErrorText(ret));
    } else {
        SetUpSensorPort(port);

        ret = CheckComLine(port);
        if (ret == 1) {
            // The target becomes RAM; its radio buttons follow, so that they
            // never show EEPROM or File while Send and Get use RAM.
            ForceTargetRam();
            PushGET(RAM);
            ret = GetVERSIONInfo();
            if (ret < FIRMWARE_REPLY_LEN)
                PutResult("Error reading firmware-info!");
        }
        // The CCD is asked for even when the echo check failed.
        ret = GetCCDInfo();
        if (ret == 0)
            PutResult("Error reading CCD-info");
    }
    ShowStatus();
    EndConnectSequence();
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

int CC_DropDCom(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
                int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_COMMIT && event != EVENT_VAL_CHANGED)
        return 0;
    if (RefuseIfBusy()) {
        // The port stays in use while the sensor is busy; show it again.
        SetCtrlVal(panelHandle, DropDCom, com);
        return 0;
    }
    CloseCom(com);
    GetCtrlVal(panelHandle, DropDCom, &com);
    ShowNote("Init COM-Port ...");
    InitRS232(com);
    return 0;
}

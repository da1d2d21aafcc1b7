// The connect sequence, at start and whenever the user picks a COM port:
// open, echo check, the sensor's RAM onto the panels, firmware text and CCD
// description, each shown in the status line.
#include "link/connection.h"
#include "link/exchange_guard.h"
#include "link/result_text.h"
#include "link/transactions.h"
#include "params/transfer_targets.h"
#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/status_line.h"
#include "stream/publish.h"

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

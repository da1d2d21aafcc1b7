// The Send and Get buttons.
#include "params/transfer_buttons.h"

#include <cstdio>
#include <cstring>

#include "link/exchange_guard.h"
#include "link/exchanges.h"
#include "link/send_hold.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "params/panel_binding.h"
#include "params/parameter_file.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "shell/status_line.h"
#include "shell/window_note.h"

namespace {

constexpr int PORT_NOT_OPEN = -3; // ComWrt's result on a port that is not open

SentToSensorHook sentToSensor = nullptr;

// The status line keeps "Transmit..." when a Send wrote nothing; the note
// beside it says why, and a later Send that went out takes it away.
void NoteSendResult(int written) {
    char text[72];
    if (written == TELEGRAM_LEN)
        text[0] = '\0';
    else if (written == PORT_NOT_OPEN)
        std::snprintf(text, sizeof text, "Send: nothing written - port not open");
    else if (written <= 0)
        std::snprintf(text, sizeof text, "Send: nothing written - write error");
    else
        std::snprintf(text, sizeof text, "Send: only %d of %d bytes written", written,
                      TELEGRAM_LEN);
    WindowNote(text);
}

// Save dialog, then the file; a cancelled dialog writes nothing.
void SendToFile(void) {
    const int chosen =
        FileSelectPopup(proj_dir, PARA_FILE_NAME, PARA_FILE_TYPES, "V-EXA-TB-Series Parameter File",
                        VAL_OK_BUTTON, PARA_FILE_RESTRICT_DIR, PARA_FILE_RESTRICT_EXT,
                        PARA_FILE_ALLOW_CANCEL, PARA_FILE_ALLOW_MAKE_DIR, file_name);
    if (chosen > 0) {
        WindowNote("");
        SendParaToFile();
    } else if (chosen == 0) {
        WindowNote("Send: cancelled");
    } else { // a path the program cannot hold: as unwritable
        ReportUnusablePath(1);
    }
}

// The file is read here; PushGET only checks and shows it.
void GetFromFile(void) {
    ReadParaFromFile();
    PushGET(DATFILE);
}

// Write telegram with the panel values as they stand: no range check, no
// flush, no wait for an answer (the receive callback takes any).
void SendToSensor(void) {
    sync = 0x55;
    GetPanelValues();
    CopyVarsToPP();
    if (WriteParameterSet(target == EEPROM ? ORDER_WRITE_EEPROM : ORDER_WRITE_RAM, pp) ==
        TELEGRAM_LEN)
        ShowNote("Line Ok!");
    NoteSendResult(nBytesW);
    if (nBytesW == TELEGRAM_LEN && sentToSensor) {
        unsigned short sent[PNUM];
        std::memcpy(sent, pp, sizeof pp);
        sentToSensor(target, sent);
    }
}

} // namespace

void SetSentToSensorHook(SentToSensorHook hook) {
    sentToSensor = hook;
}

int CC_BTNSend(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
               int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_LEFT_CLICK || RefuseIfConnecting())
        return 0;
    ShowNote("Transmit...");
    if (target == DATFILE)
        SendToFile();
    else if (!HoldSend(SendToSensor)) // held while the video blocks are read
        SendToSensor();
    return 0;
}

int CC_BTNGet(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
              int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_COMMIT)
        return 0;
    if (target == DATFILE) {
        GetFromFile();
        return 0;
    }
    if (!StartExchange())
        return 0;
    if (target == RAM)
        order = ORDER_READ_RAM;
    if (target == EEPROM)
        order = ORDER_READ_EEPROM;
    PushGET(target);
    EndExchange();
    return 0;
}

void LoadParameterFile(void) {
    if (!RefuseIfBusy())
        GetFromFile();
}

void SaveParameterFile(void) {
    if (RefuseIfBusy())
        return;
    ShowNote("Transmit...");
    SendToFile();
}

// The Send and Get buttons.
#include "params/transfer_buttons.h"

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

namespace {

// Save dialog, then the file; a cancelled dialog writes nothing.
void SendToFile(void) {
    const int chosen =
        FileSelectPopup(proj_dir, PARA_FILE_NAME, PARA_FILE_TYPES, "V-EXA-TB-Series Parameter File",
                        VAL_OK_BUTTON, PARA_FILE_RESTRICT_DIR, PARA_FILE_RESTRICT_EXT,
                        PARA_FILE_ALLOW_CANCEL, PARA_FILE_ALLOW_MAKE_DIR, file_name);
    if (chosen > 0)
        SendParaToFile();
    else if (chosen < 0) // a path the program cannot hold: as unwritable
        ReportUnusablePath(1);
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
}

} // namespace

int CC_BTNSend(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
               int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_LEFT_CLICK)
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
        // The file is read here; PushGET only checks and shows it.
        ReadParaFromFile();
        PushGET(target);
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

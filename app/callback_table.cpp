// The callbacks the panel file may attach by name.
#include "app/program.h"

#include "display/edge_window.h"
#include "display/live_loop.h"
#include "display/video_loop.h"
#include "display/video_threshold.h"
#include "link/connection.h"
#include "link/exchanges.h"
#include "link/transactions.h"
#include "params/ccd_settings_panel.h"
#include "params/transfer_buttons.h"
#include "params/transfer_targets.h"
#include "runtime/runtime.h"
#include "shell/startup.h"
#include "shell/status_line.h"

namespace {

const CallbackEntry callbackTable[] = {
    {"CC_PANEL", nullptr, CC_PANEL},
    {"CC_DropDCom", CC_DropDCom, nullptr},
    {"CC_ButtonTeach", CC_ButtonTeach, nullptr},
    {"CC_ButtonReset", CC_ButtonReset, nullptr},
    {"CC_RBTRam", CC_RBTRam, nullptr},
    {"CC_RBTEeprom", CC_RBTEeprom, nullptr},
    {"CC_RBTFile", CC_RBTFile, nullptr},
    {"CC_BTNSend", CC_BTNSend, nullptr},
    {"CC_BTNGet", CC_BTNGet, nullptr},
    {"CC_BTN_CCDSettings", CC_BTN_CCDSettings, nullptr},
    {"CC_RING_CCDMode", CC_RING_CCDMode, nullptr},
    {"CC_NSLIDE_PixelStart", CC_NSLIDE_PixelStart, nullptr},
    {"CC_BIN_Sw_EnableTol", CC_BIN_Sw_EnableTol, nullptr},
    {"CC_NEDITTolerance", CC_NEDITTolerance, nullptr},
    {"CC_NEDITTeach", CC_NEDITTeach, nullptr},
    {"CC_BIN_Switch_VGain", CC_BIN_Switch_VGain, nullptr},
    {"CC_NEDITEdgeLeft", CC_NEDITEdgeLeft, nullptr},
    {"CC_NEDITEdgeRight", CC_NEDITEdgeRight, nullptr},
    {"CC_NEDITVideoThreshold", CC_NEDITVideoThreshold, nullptr},
    {"CC_BTNRun", CC_BTNRun, nullptr},
    {"CC_BTNStop", CC_BTNStop, nullptr},
    {"CC_BTNData", CC_BTNData, nullptr},
};

} // namespace

void RegisterProgramCallbacks(void) {
    RegisterCallbacks(callbackTable,
                      static_cast<int>(sizeof callbackTable / sizeof *callbackTable));
    SetExchangeNoteHook(ShowNote); // the exchanges' progress notes go to the status line
}

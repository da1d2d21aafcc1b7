// The callbacks the panel file may attach by name.
#include "link/connection.h"
#include "link/transactions.h"
#include "runtime/runtime.h"
#include "shell/startup.h"

namespace {

const CallbackEntry callbackTable[] = {
    {"CC_PANEL", nullptr, CC_PANEL},
    {"CC_DropDCom", CC_DropDCom, nullptr},
    {"CC_ButtonTeach", CC_ButtonTeach, nullptr},
    {"CC_ButtonReset", CC_ButtonReset, nullptr},
};

} // namespace

void RegisterProgramCallbacks(void) {
    RegisterCallbacks(callbackTable, static_cast<int>(sizeof callbackTable / sizeof *callbackTable));
}

// The CCD settings window is kept beside the main window by the window keeper,
// and hidden through the program's hook.
#include "window/ccd_window.h"

#include "runtime/widget_access.h"
#include "window/settings_keys.h"
#include "window/window_keeper.h"

void AttachCCDWindow(int mainPanel, int ccdPanel, PanelHideHook hide) {
    if (hide)
        window::keepBesideMainWindow(rt::panelWidget(mainPanel), rt::panelWidget(ccdPanel),
                                     window::settings_keys::CCD_WINDOW_POS, [hide] { hide(); });
}

// Start-up pieces of the program: its defaults, the first values on the
// panels, the info texts, and the main panel's close.
#include "shell/startup.h"

#include "params/panel_binding.h"
#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/status_line.h"

namespace {

constexpr int BANNER_BLUE = 0x0080FF;
constexpr int WHITE = 0xFFFFFF;
constexpr int GREEN = 0x00FF00;

} // namespace

void InitVars(void) {
    SetDefaultValues();

    SetStatus("InitVars");
    SetCtrlVal(panelPopUp, BIN_Sw_EnableTol, 1);

    ShowInfoText("PC-SOFTWARE: V-EXA Series", 15, 8, 11);
    ShowInfoText("Halvorn GmbH", 15, 21, 11);
    ShowInfoText("Tel. 07031-86950", 15, 36, 11);
    ShowInfoText("V-EXA-TB-Scope", 175, 30, 18);
    ShowInfoText("V1.41", 320, 36, 11);

    GetPanelValues();

    DeleteGraphPlot(panelHandle, GRAPH_Raw, VAL_ALL_PLOTS, VAL_DELAYED_DRAW);
    SetGraphCursor(panelHandle, GRAPH_Raw, 1, tVal, 1.0);
    SetGraphCursor(panelHandle, GRAPH_Raw, 2, eBeg, 1.0);
    SetGraphCursor(panelHandle, GRAPH_Raw, 3, eEnd, 1.0);
    // The band may start left of 0: the difference is signed and not clamped.
    PlotRectangle(panelHandle, GRAPH_Raw, static_cast<int>(tVal) - static_cast<int>(tTol), 0.0,
                  static_cast<int>(tVal) + static_cast<int>(tTol), 0.25, GREEN, GREEN);

    for (int i = 0; i < 256; ++i) {
        xArray[i] = static_cast<unsigned short>(4 * i);
        thdArray[i] = vThd;
    }
}

void ShowInfoText(const char *text, int left, int top, int size) {
    const int id = NewCtrl(panelHandle, CTRL_TEXT_MSG, "", top, left);
    SetCtrlAttribute(panelHandle, id, ATTR_TEXT_FONT, VAL_APP_META_FONT);
    SetCtrlAttribute(panelHandle, id, ATTR_TEXT_BGCOLOR, BANNER_BLUE);
    SetCtrlAttribute(panelHandle, id, ATTR_TEXT_COLOR, WHITE);
    SetCtrlAttribute(panelHandle, id, ATTR_TEXT_POINT_SIZE, size);
    SetCtrlVal(panelHandle, id, text);
}

int CC_PANEL(int, int event, void *, int, int) {
    if (event == EVENT_CLOSE) {
        CloseCom(com);
        QuitUserInterface(0);
    }
    return 0;
}

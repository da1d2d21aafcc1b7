// The program's top: loads the panels, attaches every addition to them, sets
// the variables, connects, runs the event loop until the main panel is
// closed, and shuts down.
#include "app/program.h"

#include <QString>

#include "compare/attach_compare.h"
#include "exporters/attach_export.h"
#include "glance/glance.h"
#include "glance/range_marks.h"
#include "glance/stale_values.h"
#include "glance/window_note.h"
#include "link/connection.h"
#include "menus/file_menu.h"
#include "menus/help_menu.h"
#include "menus/menu_bar.h"
#include "menus/sensor_menu.h"
#include "params/ccd_settings_panel.h"
#include "params/parameter_table.h"
#include "params/transfer_buttons.h"
#include "ports/ports.h"
#include "publishing/publish_menu.h"
#include "readback/eeprom_read_back.h"
#include "readouts/attach_readouts.h"
#include "record/record_menu.h"
#include "runtime/runtime.h"
#include "scope/attach_scope.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/startup.h"
#include "shell/window_note.h"
#include "statistics/attach_statistics.h"
#include "theme/theme.h"
#include "window/ccd_window.h"
#include "window/file_folders.h"
#include "window/main_window_place.h"
#include "window/wheel_guard.h"

namespace {

// What an exported picture's caption says of the sensor: its port and the
// firmware text it answered.
QString SensorCaption() {
    QString text = QStringLiteral("COM%1").arg(com);
    const QString firmware = QString::fromLatin1(szVersion).trimmed();
    if (!firmware.isEmpty())
        text += QStringLiteral(", ") + firmware;
    return text;
}

} // namespace

int WinMain(void *hInstance, void *, char *, int) {
    if (InitCVIRTE(hInstance, nullptr, nullptr) == 0)
        return -1;
    RegisterProgramCallbacks();
    panelHandle = LoadPanel(0, PANEL_FILE, PANEL);
    if (panelHandle < 0)
        return -1;
    // The parent handle 1 is the main panel, the first panel loaded.
    panelPopUp = LoadPanel(1, PANEL_FILE, CCDPANEL);
    if (panelPopUp < 0) {
        DiscardPanel(panelHandle);
        return -1;
    }
    AttachPortSelector(panelHandle, DropDCom, TEXT_Status);
    AttachFileMenu(panelHandle, LoadParameterFile, SaveParameterFile);
    AttachRecording(panelHandle, TEXT_Status);
    AttachSensorMenu(panelHandle);
    AttachCCDWindow(panelHandle, panelPopUp, HideCCDSettings);
    AttachFileFolders();
    SetWindowNoteHook(ShowWindowNote);
    AttachHelpMenu(panelHandle);
    AttachCompareWindow(panelHandle);
    AttachStatistics(panelHandle);
    AttachExport(panelHandle, GRAPH_Raw, STRIP_Trend, GRAPH_Data, SensorCaption);
    AttachEepromReadBack();
    AttachGlance(panelHandle, TEXT_Status, GRAPH_Raw, STRIP_Trend);
    // After the export: its items go at the end of the graphs' right-click menus.
    AttachReadouts(panelHandle, GRAPH_Raw, STRIP_Trend, GRAPH_Data, &ccdtype, &ccdresolution);
    const int frameIndicators[] = {NUM_Ledge,     NUM_Redge,  NUM_Mvalue, NUM_TeachValue,
                                   NUM_Tolerance, NUM_AnaMax, NUM_AnaMin};
    AttachStaleMarks(panelHandle, frameIndicators, 7);
    AttachPublishing(panelHandle); // its state goes into the glance's status bar
    AttachScope(panelHandle, GRAPH_Raw, STRIP_Trend, GRAPH_Data); // after the status bar
    AttachTheme(panelHandle);
    AttachMainWindowPlace(panelHandle); // after the glance fitted it to the screen
    AttachWheelGuard();
    AttachMnemonics(panelHandle); // after every addition put its items in
    ForEachRangeBound(MarkOutOfRange);
    GetProjectDir(proj_dir);
    InitVars();
    // Shown before the connect sequence, which takes seconds without a
    // sensor: the user sees its progress in the status line. Clicks meanwhile
    // meet it as they meet a reconnect from the port selector.
    DisplayPanel(panelHandle);
    InitRS232(com);
    RunUserInterface();
    CloseCom(com);
    DiscardPanel(panelPopUp);
    DiscardPanel(panelHandle);
    return 0;
}

// Callbacks of the CCD settings panel and of the button that shows it.
#include "params/ccd_settings_panel.h"

#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"

namespace {

constexpr int WINDOW_LAST = 255; // the window runs from the start to start + 255

void DimWindowControls(int dimmed) {
    SetCtrlAttribute(panelPopUp, NSLIDE_PixelStart, ATTR_DIMMED, dimmed);
    SetCtrlAttribute(panelPopUp, NUM_PixelEnd, ATTR_DIMMED, dimmed);
}

} // namespace

int CC_BTN_CCDSettings(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
                       int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_COMMIT)
        return 0;
    // The flag decides, not whether the panel is actually visible.
    if (hidePopUp == 0) {
        HideCCDSettings();
    } else {
        DisplayPanel(panelPopUp);
        hidePopUp = 0;
    }
    return 0;
}

void HideCCDSettings(void) {
    HidePanel(panelPopUp);
    hidePopUp = 1;
}

int CC_RING_CCDMode(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
                    int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_COMMIT)
        return 0;
    unsigned short mode = 0;
    GetCtrlVal(panelPopUp, RING_CCDMode, &mode);
    if (mode == 0) { // full line
        DimWindowControls(1);
        pixB = 1;
        pixE = ccdmaxpixel;
    } else if (mode == 1) { // window from the pixel start
        DimWindowControls(0);
    } else { // window chosen by the sensor
        DimWindowControls(1);
    }
    return 0;
}

int CC_NSLIDE_PixelStart(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
                         int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_VAL_CHANGED)
        return 0;
    unsigned short start = 0;
    GetCtrlVal(panelPopUp, NSLIDE_PixelStart, &start);
    const int highest = static_cast<int>(ccdmaxpixel) - WINDOW_LAST;
    if (static_cast<int>(start) > highest) {
        // On a line shorter than the window it starts at the first pixel.
        start = static_cast<unsigned short>(highest < 1 ? 1 : highest);
        SetCtrlVal(panelPopUp, NSLIDE_PixelStart, start);
    }
    SetCtrlVal(panelPopUp, NUM_PixelEnd, static_cast<int>(start) + WINDOW_LAST);
    return 0;
}

int CC_BIN_Sw_EnableTol(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
                        int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_VAL_CHANGED)
        return 0;
    unsigned short enabled = 0;
    GetCtrlVal(panelPopUp, BIN_Sw_EnableTol, &enabled);
    SetCtrlAttribute(panelPopUp, NEDITTolerance, ATTR_DIMMED, enabled == 1 ? 1 : 0);
    return 0;
}

int CC_NEDITTolerance(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
                      int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_VAL_CHANGED)
        return 0;
    unsigned short tolerance = 0;
    GetCtrlVal(panelPopUp, NEDITTolerance, &tolerance);
    SetCtrlVal(panelHandle, NUM_Tolerance, tolerance);
    return 0;
}

int CC_NEDITTeach(int /*panel*/, int /*control*/, int event, void * /*callbackData*/,
                  int /*eventData1*/, int /*eventData2*/) {
    if (event != EVENT_COMMIT)
        return 0;
    unsigned short teach = 0;
    GetCtrlVal(panelPopUp, NEDITTeach, &teach);
    SetCtrlVal(panelHandle, NUM_TeachValue, teach);
    return 0;
}

int CC_BIN_Switch_VGain(int /*panel*/, int /*control*/, int /*event*/, void * /*callbackData*/,
                        int /*eventData1*/, int /*eventData2*/) {
    return 0;
}

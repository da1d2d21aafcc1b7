// The CCD settings panel: showing and hiding it, and the callbacks that make
// its dependent controls follow the user's edits. None of them changes a
// parameter variable or talks to the sensor.
#pragma once

// Commit: shows the panel when hidePopUp is set, else hides it.
int CC_BTN_CCDSettings(int panel, int control, int event, void *callbackData, int eventData1,
                       int eventData2);
// Commit: dims the pixel-start slider and the pixel-end indicator for every
// CCD mode but 1; mode 0 also sets pixB, pixE to the whole line.
int CC_RING_CCDMode(int panel, int control, int event, void *callbackData, int eventData1,
                    int eventData2);
// Value changed: keeps the 256-pixel window inside the line, shows its end.
int CC_NSLIDE_PixelStart(int panel, int control, int event, void *callbackData, int eventData1,
                         int eventData2);
// Value changed: the tolerance is dimmed while the switch is on.
int CC_BIN_Sw_EnableTol(int panel, int control, int event, void *callbackData, int eventData1,
                        int eventData2);
// Value changed: mirrors the tolerance on the main panel.
int CC_NEDITTolerance(int panel, int control, int event, void *callbackData, int eventData1,
                      int eventData2);
// Commit: mirrors the teach value on the main panel.
int CC_NEDITTeach(int panel, int control, int event, void *callbackData, int eventData1,
                  int eventData2);
// Does nothing for any event.
int CC_BIN_Switch_VGain(int panel, int control, int event, void *callbackData, int eventData1,
                        int eventData2);
// Hides the panel as the CCD-settings button does, with hidePopUp set, so
// that the button's next click shows it again; for a close of the panel's
// window outside the button.
void HideCCDSettings(void);

// Moves the parameters between the panels and the parameter variables.
#include "params/panel_binding.h"

#include <cstring>

#include "display/video_view.h"
#include "link/telegram.h"
#include "params/parameter_table.h"
#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"

namespace {

constexpr int PIXEL_RANGE_COLOR = 0xA0A0A0; // grey: the CCD pixels in use

// Marks the pixels in use on the edge graph, on top of what it shows: the
// whole line in mode 0, else the 256-pixel window from pStart, whose controls
// are then enabled.
void DrawPixelRange(void) {
    if (ccdMode == 0) {
        PlotRectangle(panelHandle, GRAPH_Raw, 0.0, 0.0, 1023.0, 1.0, PIXEL_RANGE_COLOR,
                      PIXEL_RANGE_COLOR);
        return;
    }
    PlotRectangle(panelHandle, GRAPH_Raw, pStart, 0.0, pStart + 255, 1.0, PIXEL_RANGE_COLOR,
                  PIXEL_RANGE_COLOR);
    SetCtrlAttribute(panelPopUp, NSLIDE_PixelStart, ATTR_DIMMED, 0);
    SetCtrlAttribute(panelPopUp, NUM_PixelEnd, ATTR_DIMMED, 0);
}

} // namespace

void GetPanelValues(void) {
    for (int word : panelReadOrder) {
        const ParameterEntry &p = parameterTable[word];
        GetCtrlVal(*p.panel, p.control, p.var);
    }
}

void GetPanelValuesInto(unsigned short set[PNUM]) {
    for (int word = 0; word < PNUM; word++)
        set[word] = *parameterTable[word].var; // para15, which has no control
    for (int word : panelReadOrder) {
        const ParameterEntry &p = parameterTable[word];
        GetCtrlVal(*p.panel, p.control, &set[word]);
    }
}

void SetPanelValuesFrom(const unsigned short set[PNUM]) {
    std::memcpy(pp, set, sizeof pp);
    CopyPPtoVars();
    SetPanelValues();
}

void SetPanelValues(void) {
    for (int word : rangeCheckOrder)
        CheckParameter(word);

    for (const PanelWrite &w : panelWriteOrder)
        SetCtrlVal(*w.panel, w.control, *parameterTable[w.word].var + w.add);

    for (unsigned short &t : thdArray)
        t = vThd;
    PlotDATACurve(adcbuf);

    DrawPixelRange();

    // With the sensor's potentiometer enabled the tolerance is not edited here.
    if (ePoti == 1)
        SetCtrlAttribute(panelPopUp, NEDITTolerance, ATTR_DIMMED, 1);
}

// The parameter table and the binding orders of the two panels.
#include "params/parameter_table.h"

#include "shell/controls.h"
#include "shell/globals.h"

// clang-format off
const ParameterEntry parameterTable[16] = {
    // name       label (compare window)                  start
    //   var         panel         control               upper     repl  replVar       lower repl
    {"power",     "Power",                               500,
        &power,     &panelHandle, NEDITPower,           1000,     500,  nullptr,      0,    0},
    {"rs232Mode", "RS-232 mode",                         0,
        &rs232Mode, &panelHandle, RING_RS232Mode,       1,        0,    nullptr,      0,    0},
    {"vThd",      "Video threshold",                     512,
        &vThd,      &panelHandle, NEDITVideoThreshold,  1023,     512,  nullptr,      0,    0},
    {"bVal",      "B value",                             64,
        &bVal,      &panelPopUp,  NEDITBVal,            1023,     60,   nullptr,      0,    0},
    {"polarity",  "Polarity",                            1,
        &polarity,  &panelHandle, BIN_Polarity,         1,        1,    nullptr,      0,    0},
    {"eMode",     "Edge mode",                           1,
        &eMode,     &panelHandle, RING_EdgeMode,        3,        4,    nullptr,      0,    0},
    {"eBeg",      "Edge left",                           1,
        &eBeg,      &panelHandle, NEDITEdgeLeft,        1024,     1,    nullptr,      0,    0},
    {"eEnd",      "Edge right",                          1024,
        &eEnd,      &panelHandle, NEDITEdgeRight,       1024,     0,    &ccdmaxpixel, 0,    0},
    {"tVal",      "Teach value",                         512,
        &tVal,      &panelPopUp,  NEDITTeach,           1024,     512,  nullptr,      0,    0},
    {"tTol",      "Tolerance",                           100,
        &tTol,      &panelPopUp,  NEDITTolerance,       512,      128,  nullptr,      0,    0},
    {"iGain",     "Video gain",                          1,
        &iGain,     &panelPopUp,  BIN_Switch_VGain,     1,        0,    nullptr,      0,    0},
    {"ePoti",     "Enable tolerance",                    1,
        &ePoti,     &panelPopUp,  BIN_Sw_EnableTol,     1,        1,    nullptr,      0,    0},
    {"ccdMode",   "CCD mode",                            0,
        &ccdMode,   &panelPopUp,  RING_CCDMode,         NO_CHECK, 0,    nullptr,      0,    0},
    {"pStart",    "Pixel start",                         1,
        &pStart,    &panelPopUp,  NSLIDE_PixelStart,    1023,     1,    nullptr,      0,    0},
    {"anaMode",   "Analogue mode",                       0,
        &anaMode,   &panelPopUp,  RING_AnaMode,         NO_CHECK, 0,    nullptr,      0,    0},
    {"para15",    "Parameter 15 (not on the panels)",    1000,
        &para15,    nullptr,      0,                    1200,     1200, nullptr,      800,  800},
};

// Main panel first, then the CCD settings panel.
const int panelReadOrder[PANEL_READ_COUNT] = {
    0, 1, 2, 4, 5, 6, 7,        // power rs232Mode vThd polarity eMode eBeg eEnd
    8, 9, 3, 10, 11, 13, 12, 14 // tVal tTol bVal iGain ePoti pStart ccdMode anaMode
};

const int rangeCheckOrder[RANGE_CHECK_COUNT] = {
    0, 1, 2, 4, 5, 6, 7, 8, 9, 3, 10, 11, 13, 15
};

const PanelWrite panelWriteOrder[PANEL_WRITE_COUNT] = {
    {&panelHandle, NEDITPower,          0,  0},
    {&panelHandle, RING_RS232Mode,      1,  0},
    {&panelHandle, NEDITVideoThreshold, 2,  0},
    {&panelHandle, BIN_Polarity,        4,  0},
    {&panelHandle, RING_EdgeMode,       5,  0},
    {&panelHandle, NEDITEdgeLeft,       6,  0},
    {&panelHandle, NEDITEdgeRight,      7,  0},
    {&panelHandle, NUM_Tolerance,       9,  0},
    {&panelHandle, NUM_TeachValue,      8,  0},
    {&panelPopUp,  NEDITTeach,          8,  0},
    {&panelPopUp,  NEDITTolerance,      9,  0},
    {&panelPopUp,  NEDITBVal,           3,  0},
    {&panelPopUp,  BIN_Switch_VGain,    10, 0},
    {&panelPopUp,  BIN_Sw_EnableTol,    11, 0},
    {&panelPopUp,  NSLIDE_PixelStart,   13, 0},
    {&panelPopUp,  NUM_PixelEnd,        13, 255}, // last pixel of the 256-pixel window
    {&panelPopUp,  RING_CCDMode,        12, 0},
    {&panelPopUp,  RING_AnaMode,        14, 0},
};
// clang-format on

void ForEachRangeBound(RangeBoundVisitor visit) {
    for (int word : rangeCheckOrder) {
        const ParameterEntry &p = parameterTable[word];
        if (p.panel && p.upper != NO_CHECK)
            visit(*p.panel, p.control, p.lower, p.upper);
    }
}

void SetParameterStartValues(void) {
    for (const ParameterEntry &p : parameterTable)
        *p.var = p.start;
}

void CheckParameter(int word) {
    *parameterTable[word].var = CheckedValue(word, *parameterTable[word].var);
}

unsigned short CheckedValue(int word, unsigned short value) {
    const ParameterEntry &p = parameterTable[word];
    if (value > p.upper)
        value = p.upperReplVar ? *p.upperReplVar : p.upperRepl;
    if (value < p.lower)
        value = p.lowerRepl;
    return value;
}

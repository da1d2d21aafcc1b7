// The panel binding: range checks, what each control shows afterwards, the
// threshold curve, the pixel-range rectangle and the dimming.
#include <gtest/gtest.h>

#include <cstring>

#include "app/program.h"
#include "display/video_view.h"
#include "params/panel_binding.h"
#include "params/parameter_table.h"
#include "runtime/runtime.h"
#include "runtime/widget_access.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/startup.h"

namespace {

int Val(int panel, int control) {
    int v = -1;
    GetCtrlVal(panel, control, &v);
    return v;
}

int Dimmed(int panel, int control) {
    int v = -1;
    GetCtrlAttribute(panel, control, ATTR_DIMMED, &v);
    return v;
}

rt::RectanglePlot LastRectangle() {
    const auto rects = rt::graphRectangles(panelHandle, GRAPH_Raw);
    EXPECT_FALSE(rects.empty());
    return rects.empty() ? rt::RectanglePlot{} : rects.back();
}

class PanelBinding : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        RegisterProgramCallbacks();
        panelHandle = LoadPanel(0, VEXA_PANEL_FILE_PATH, PANEL);
        ASSERT_GE(panelHandle, 0);
        panelPopUp = LoadPanel(panelHandle, VEXA_PANEL_FILE_PATH, CCDPANEL);
        ASSERT_GE(panelPopUp, 0);
    }
    static void TearDownTestSuite() {
        DiscardPanel(panelPopUp);
        DiscardPanel(panelHandle);
    }
    void SetUp() override {
        SetParameterStartValues(); // in range everywhere, as a sensor would deliver them
        ccdmaxpixel = 1024;
        for (int i = 0; i < 256; i++) {
            xArray[i] = static_cast<unsigned short>(4 * i);
            adcbuf[i] = static_cast<unsigned short>(i);
        }
    }
};

// Each value in, what the range check leaves in the variable and what the
// panels show. A value at its bound stays; above it, the replacement.
TEST_F(PanelBinding, RangeChecksKeepBoundsAndReplaceWhatLiesBeyond) {
    struct Shown {
        int *panel;
        int control;
        int value;
    };
    const struct {
        const char *name;
        unsigned short *var;
        unsigned short in, out;
        std::vector<Shown> shown;
    } cases[] = {
        {"power", &power, 1000, 1000, {{&panelHandle, NEDITPower, 1000}}},
        {"power", &power, 1001, 500, {{&panelHandle, NEDITPower, 500}}},
        {"power", &power, 65535, 500, {}},
        {"rs232Mode", &rs232Mode, 1, 1, {{&panelHandle, RING_RS232Mode, 1}}},
        {"rs232Mode", &rs232Mode, 2, 0, {{&panelHandle, RING_RS232Mode, 0}}},
        {"vThd", &vThd, 1023, 1023, {{&panelHandle, NEDITVideoThreshold, 1023}}},
        {"vThd", &vThd, 1024, 512, {{&panelHandle, NEDITVideoThreshold, 512}}},
        {"bVal", &bVal, 1023, 1023, {{&panelPopUp, NEDITBVal, 1023}}},
        {"bVal", &bVal, 1024, 60, {{&panelPopUp, NEDITBVal, 60}}},
        {"polarity", &polarity, 0, 0, {{&panelHandle, BIN_Polarity, 0}}},
        {"polarity", &polarity, 2, 1, {{&panelHandle, BIN_Polarity, 1}}},
        {"eMode", &eMode, 3, 3, {{&panelHandle, RING_EdgeMode, 3}}},
        {"eMode", &eMode, 4, 4, {{&panelHandle, RING_EdgeMode, 4}}}, // above the bound: 4 again
        {"eMode", &eMode, 5, 4, {{&panelHandle, RING_EdgeMode, 4}}},
        {"eMode", &eMode, 65535, 4, {}},
        {"eBeg", &eBeg, 1024, 1024, {{&panelHandle, NEDITEdgeLeft, 1024}}},
        {"eBeg", &eBeg, 1025, 1, {{&panelHandle, NEDITEdgeLeft, 1}}},
        {"eEnd", &eEnd, 700, 700, {{&panelHandle, NEDITEdgeRight, 700}}},
        {"eEnd", &eEnd, 1024, 1024, {}}, // the bound is 1024 even on a 512-pixel line ...
        {"eEnd", &eEnd, 1025, 512, {{&panelHandle, NEDITEdgeRight, 512}}}, // ... the repl. not
        {"tVal",
         &tVal,
         1024,
         1024,
         {{&panelPopUp, NEDITTeach, 1024}, {&panelHandle, NUM_TeachValue, 1024}}},
        {"tVal",
         &tVal,
         1025,
         512,
         {{&panelPopUp, NEDITTeach, 512}, {&panelHandle, NUM_TeachValue, 512}}},
        {"tTol",
         &tTol,
         512,
         512,
         {{&panelPopUp, NEDITTolerance, 512}, {&panelHandle, NUM_Tolerance, 512}}},
        {"tTol",
         &tTol,
         513,
         128,
         {{&panelPopUp, NEDITTolerance, 128}, {&panelHandle, NUM_Tolerance, 128}}},
        {"iGain", &iGain, 2, 0, {{&panelPopUp, BIN_Switch_VGain, 0}}},
        {"ePoti", &ePoti, 7, 1, {{&panelPopUp, BIN_Sw_EnableTol, 1}}},
        {"ccdMode", &ccdMode, 2, 2, {{&panelPopUp, RING_CCDMode, 2}}}, // not checked
        {"anaMode", &anaMode, 4, 4, {{&panelPopUp, RING_AnaMode, 4}}}, // not checked
        {"pStart",
         &pStart,
         900,
         900,
         {{&panelPopUp, NSLIDE_PixelStart, 900}, {&panelPopUp, NUM_PixelEnd, 1155}}},
        {"pStart",
         &pStart,
         1023,
         1023,
         {{&panelPopUp, NSLIDE_PixelStart, 1023}, {&panelPopUp, NUM_PixelEnd, 1278}}},
        {"pStart",
         &pStart,
         1024,
         1,
         {{&panelPopUp, NSLIDE_PixelStart, 1}, {&panelPopUp, NUM_PixelEnd, 256}}},
        {"para15", &para15, 0, 800, {}},
        {"para15", &para15, 799, 800, {}},
        {"para15", &para15, 800, 800, {}},
        {"para15", &para15, 1200, 1200, {}},
        {"para15", &para15, 1201, 1200, {}},
    };
    ccdmaxpixel = 512;
    for (const auto &c : cases) {
        *c.var = c.in;
        SetPanelValues();
        EXPECT_EQ(*c.var, c.out) << c.name << " " << c.in;
        for (const Shown &s : c.shown)
            EXPECT_EQ(Val(*s.panel, s.control), s.value) << c.name << " " << c.in;
    }
}

TEST_F(PanelBinding, FullLineModeMarksPixels0To1023InGrey) {
    ccdmaxpixel = 512;
    ccdMode = 0;
    const auto before = rt::graphRectangles(panelHandle, GRAPH_Raw).size();
    SetPanelValues();
    EXPECT_EQ(rt::graphRectangles(panelHandle, GRAPH_Raw).size(), before + 1);
    const rt::RectanglePlot r = LastRectangle();
    EXPECT_DOUBLE_EQ(r.x1, 0.0);
    EXPECT_DOUBLE_EQ(r.x2, 1023.0);
    EXPECT_DOUBLE_EQ(r.y1, 0.0);
    EXPECT_DOUBLE_EQ(r.y2, 1.0);
    EXPECT_EQ(r.frameColor, 0xA0A0A0);
    EXPECT_EQ(r.fillColor, 0xA0A0A0);
}

TEST_F(PanelBinding, FullLineModeLeavesTheWindowControlsDimmingAlone) {
    SetCtrlAttribute(panelPopUp, NSLIDE_PixelStart, ATTR_DIMMED, 1);
    SetCtrlAttribute(panelPopUp, NUM_PixelEnd, ATTR_DIMMED, 1);
    ccdMode = 0;
    SetPanelValues();
    EXPECT_EQ(Dimmed(panelPopUp, NSLIDE_PixelStart), 1);
    EXPECT_EQ(Dimmed(panelPopUp, NUM_PixelEnd), 1);
}

TEST_F(PanelBinding, WindowModesMarkThe256PixelWindowAndEnableItsControls) {
    for (unsigned short mode : {1, 2}) {
        SetCtrlAttribute(panelPopUp, NSLIDE_PixelStart, ATTR_DIMMED, 1);
        SetCtrlAttribute(panelPopUp, NUM_PixelEnd, ATTR_DIMMED, 1);
        ccdMode = mode;
        pStart = 300;
        SetPanelValues();
        const rt::RectanglePlot r = LastRectangle();
        EXPECT_DOUBLE_EQ(r.x1, 300.0) << mode;
        EXPECT_DOUBLE_EQ(r.x2, 555.0) << mode;
        EXPECT_DOUBLE_EQ(r.y1, 0.0);
        EXPECT_DOUBLE_EQ(r.y2, 1.0);
        EXPECT_EQ(r.fillColor, 0xA0A0A0);
        EXPECT_EQ(Dimmed(panelPopUp, NSLIDE_PixelStart), 0) << mode;
        EXPECT_EQ(Dimmed(panelPopUp, NUM_PixelEnd), 0) << mode;
    }
}

TEST_F(PanelBinding, EnabledPotentiometerDimsTheTolerance) {
    SetCtrlAttribute(panelPopUp, NEDITTolerance, ATTR_DIMMED, 0);
    ePoti = 1;
    SetPanelValues();
    EXPECT_EQ(Dimmed(panelPopUp, NEDITTolerance), 1);
}

TEST_F(PanelBinding, DisabledPotentiometerLeavesTheToleranceDimmingAlone) {
    SetCtrlAttribute(panelPopUp, NEDITTolerance, ATTR_DIMMED, 1);
    ePoti = 0;
    SetPanelValues();
    EXPECT_EQ(Dimmed(panelPopUp, NEDITTolerance), 1);
    SetCtrlAttribute(panelPopUp, NEDITTolerance, ATTR_DIMMED, 0);
    SetPanelValues();
    EXPECT_EQ(Dimmed(panelPopUp, NEDITTolerance), 0);
}

TEST_F(PanelBinding, AReplacedThresholdShowsAtOnceAsTheThresholdLine) {
    vThd = 1024;
    SetPanelValues();
    EXPECT_EQ(vThd, 512u);
    for (unsigned short t : thdArray)
        ASSERT_EQ(t, 512u);
    const auto curves = rt::graphCurves(panelHandle, GRAPH_Data);
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[0].color, 0xFF0000);
    EXPECT_EQ(curves[1].color, 0x008000);
    ASSERT_EQ(curves[1].y.size(), 256u);
    for (double y : curves[1].y)
        ASSERT_DOUBLE_EQ(y, 512.0);
    for (int i = 0; i < 256; i++)
        ASSERT_DOUBLE_EQ(curves[0].y[i], adcbuf[i]);
}

TEST_F(PanelBinding, ReadingThePanelsBackChangesNoInRangeVariable) {
    const unsigned short values[16] = {730, 1,   300, 99, 0, 3,   12, 1000,
                                       600, 200, 0,   0,  1, 400, 2,  950};
    for (int i = 0; i < 16; i++)
        *parameterTable[i].var = values[i];
    SetPanelValues();
    for (int i = 0; i < 16; i++)
        *parameterTable[i].var = 0xEEEE;
    para15 = 950;
    GetPanelValues();
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(*parameterTable[i].var, values[i]) << parameterTable[i].name;
}

TEST_F(PanelBinding, GetPanelValuesTakesTeachAndToleranceFromTheCcdPanelAndLeavesPara15) {
    SetCtrlVal(panelPopUp, NEDITTeach, 321);
    SetCtrlVal(panelHandle, NUM_TeachValue, 999);
    SetCtrlVal(panelPopUp, NEDITTolerance, 45);
    SetCtrlVal(panelHandle, NUM_Tolerance, 999);
    para15 = 1234;
    GetPanelValues();
    EXPECT_EQ(tVal, 321u);
    EXPECT_EQ(tTol, 45u);
    EXPECT_EQ(para15, 1234u);
}

TEST_F(PanelBinding, GetPanelValuesChecksNothing) {
    SetCtrlVal(panelHandle, NEDITPower, 5000);
    SetCtrlVal(panelPopUp, NEDITBVal, 4000);
    GetPanelValues();
    EXPECT_EQ(power, 5000u);
    EXPECT_EQ(bVal, 4000u);
}

// ---- the video graph ------------------------------------------------------------

TEST_F(PanelBinding, VideoCurveIsRedUnderTheDarkGreenThresholdOnA0To1023Axis) {
    for (int i = 0; i < 256; i++) {
        adcbuf[i] = static_cast<unsigned short>(1000 - i);
        thdArray[i] = 700;
        xArray[i] = static_cast<unsigned short>(100 + i);
    }
    PlotDATACurve(adcbuf);
    PlotDATACurve(adcbuf); // every call replaces what the graph showed
    const auto curves = rt::graphCurves(panelHandle, GRAPH_Data);
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[0].color, 0xFF0000);
    EXPECT_EQ(curves[1].color, 0x008000);
    for (int i = 0; i < 256; i++) {
        ASSERT_DOUBLE_EQ(curves[0].x[i], 100 + i);
        ASSERT_DOUBLE_EQ(curves[0].y[i], 1000 - i);
        ASSERT_DOUBLE_EQ(curves[1].x[i], 100 + i);
        ASSERT_DOUBLE_EQ(curves[1].y[i], 700);
    }
    double lo = -1, hi = -1;
    ASSERT_TRUE(rt::graphAxisRange(panelHandle, GRAPH_Data, VAL_LEFT_YAXIS, &lo, &hi));
    EXPECT_DOUBLE_EQ(lo, 0.0);
    EXPECT_DOUBLE_EQ(hi, 1023.0);
}

TEST_F(PanelBinding, VideoSamplesAbove32767ArePlottedUnsigned) {
    adcbuf[0] = 0xFFFF;
    PlotDATACurve(adcbuf);
    const auto curves = rt::graphCurves(panelHandle, GRAPH_Data);
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_DOUBLE_EQ(curves[0].y[0], 65535.0);
}

} // namespace

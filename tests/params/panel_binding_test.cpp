// The panel binding: range checks, what each control shows afterwards, the
// threshold curve, the pixel-range rectangle and the dimming.
#include <gtest/gtest.h>

#include <cstring>

#include "display/video_view.h"
#include "params/panel_binding.h"
#include "params/parameter_table.h"
#include "runtime/widget_access.h"
#include "runtime/runtime.h"
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
        // In range everywhere, as a sensor would deliver them.
        power = 500;
        rs232Mode = 0;
        vThd = 512;
        bVal = 64;
        polarity = 1;
        eMode = 1;
        eBeg = 1;
        eEnd = 1024;
        tVal = 512;
        tTol = 100;
        iGain = 1;
        ePoti = 1;
        ccdMode = 0;
        pStart = 1;
        anaMode = 0;
        para15 = 1000;
        ccdmaxpixel = 1024;
        for (int i = 0; i < 256; i++) {
            xArray[i] = static_cast<unsigned short>(4 * i);
            adcbuf[i] = static_cast<unsigned short>(i);
        }
    }
};

TEST_F(PanelBinding, PowerUpTo1000StaysAboveBecomes500) {
    power = 1000;
    SetPanelValues();
    EXPECT_EQ(power, 1000u);
    EXPECT_EQ(Val(panelHandle, NEDITPower), 1000);
    power = 1001;
    SetPanelValues();
    EXPECT_EQ(power, 500u);
    EXPECT_EQ(Val(panelHandle, NEDITPower), 500);
    power = 65535;
    SetPanelValues();
    EXPECT_EQ(power, 500u);
}

TEST_F(PanelBinding, EdgeModeFiveBecomesFourAndThreeAndFourStay) {
    eMode = 3;
    SetPanelValues();
    EXPECT_EQ(eMode, 3u);
    eMode = 4;
    SetPanelValues();
    EXPECT_EQ(eMode, 4u);
    EXPECT_EQ(Val(panelHandle, RING_EdgeMode), 4);
    eMode = 5;
    SetPanelValues();
    EXPECT_EQ(eMode, 4u);
    eMode = 65535;
    SetPanelValues();
    EXPECT_EQ(eMode, 4u);
}

TEST_F(PanelBinding, Para15IsClampedInto800To1200) {
    para15 = 0;
    SetPanelValues();
    EXPECT_EQ(para15, 800u);
    para15 = 1201;
    SetPanelValues();
    EXPECT_EQ(para15, 1200u);
    para15 = 800;
    SetPanelValues();
    EXPECT_EQ(para15, 800u);
    para15 = 1200;
    SetPanelValues();
    EXPECT_EQ(para15, 1200u);
    para15 = 799;
    SetPanelValues();
    EXPECT_EQ(para15, 800u);
}

TEST_F(PanelBinding, RightEdgeBoundIs1024ButItsReplacementIsThePixelCount) {
    ccdmaxpixel = 512;
    eEnd = 700;
    SetPanelValues();
    EXPECT_EQ(eEnd, 700u);
    EXPECT_EQ(Val(panelHandle, NEDITEdgeRight), 700);
    eEnd = 1025;
    SetPanelValues();
    EXPECT_EQ(eEnd, 512u);
    EXPECT_EQ(Val(panelHandle, NEDITEdgeRight), 512);
    eEnd = 1024;
    SetPanelValues();
    EXPECT_EQ(eEnd, 1024u);
}

TEST_F(PanelBinding, ToleranceAbove512Becomes128OnBothPanels) {
    tTol = 512;
    SetPanelValues();
    EXPECT_EQ(tTol, 512u);
    tTol = 513;
    SetPanelValues();
    EXPECT_EQ(tTol, 128u);
    EXPECT_EQ(Val(panelPopUp, NEDITTolerance), 128);
    EXPECT_EQ(Val(panelHandle, NUM_Tolerance), 128);
}

TEST_F(PanelBinding, TeachValueShowsOnBothPanelsAndAbove1024Becomes512) {
    tVal = 1024;
    SetPanelValues();
    EXPECT_EQ(Val(panelPopUp, NEDITTeach), 1024);
    EXPECT_EQ(Val(panelHandle, NUM_TeachValue), 1024);
    tVal = 1025;
    SetPanelValues();
    EXPECT_EQ(tVal, 512u);
    EXPECT_EQ(Val(panelHandle, NUM_TeachValue), 512);
}

TEST_F(PanelBinding, OtherChecksReplaceAsTheTableSays) {
    bVal = 1024;
    rs232Mode = 2;
    vThd = 1024;
    polarity = 2;
    eBeg = 1025;
    iGain = 2;
    ePoti = 7;
    SetPanelValues();
    EXPECT_EQ(bVal, 60u);
    EXPECT_EQ(Val(panelPopUp, NEDITBVal), 60);
    EXPECT_EQ(rs232Mode, 0u);
    EXPECT_EQ(vThd, 512u);
    EXPECT_EQ(polarity, 1u);
    EXPECT_EQ(eBeg, 1u);
    EXPECT_EQ(iGain, 0u);
    EXPECT_EQ(ePoti, 1u);
}

TEST_F(PanelBinding, UpperBoundsThemselvesPass) {
    bVal = 1023;
    vThd = 1023;
    eBeg = 1024;
    rs232Mode = 1;
    SetPanelValues();
    EXPECT_EQ(bVal, 1023u);
    EXPECT_EQ(vThd, 1023u);
    EXPECT_EQ(eBeg, 1024u);
    EXPECT_EQ(rs232Mode, 1u);
}

TEST_F(PanelBinding, CcdAndAnalogueModesGoUncheckedToTheirSelectors) {
    ccdMode = 2;
    anaMode = 4;
    SetPanelValues();
    EXPECT_EQ(ccdMode, 2u);
    EXPECT_EQ(anaMode, 4u);
    EXPECT_EQ(Val(panelPopUp, RING_CCDMode), 2);
    EXPECT_EQ(Val(panelPopUp, RING_AnaMode), 4);
}

TEST_F(PanelBinding, PixelStart1024BecomesOneWithPixelEnd256) {
    pStart = 1024;
    SetPanelValues();
    EXPECT_EQ(pStart, 1u);
    EXPECT_EQ(Val(panelPopUp, NSLIDE_PixelStart), 1);
    EXPECT_EQ(Val(panelPopUp, NUM_PixelEnd), 256);
}

TEST_F(PanelBinding, PixelStart1023StaysWithPixelEnd1278) {
    pStart = 1023;
    SetPanelValues();
    EXPECT_EQ(pStart, 1023u);
    EXPECT_EQ(Val(panelPopUp, NSLIDE_PixelStart), 1023);
    EXPECT_EQ(Val(panelPopUp, NUM_PixelEnd), 1278);
}

TEST_F(PanelBinding, PixelStart900OnA1024LineIsNotClampedByTheSlidersCallback) {
    pStart = 900;
    SetPanelValues();
    EXPECT_EQ(Val(panelPopUp, NSLIDE_PixelStart), 900);
    EXPECT_EQ(Val(panelPopUp, NUM_PixelEnd), 1155);
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
    unsigned short *vars[16] = {&power,   &rs232Mode, &vThd,    &bVal,  &polarity, &eMode,
                                &eBeg,    &eEnd,      &tVal,    &tTol,  &iGain,    &ePoti,
                                &ccdMode, &pStart,    &anaMode, &para15};
    for (int i = 0; i < 16; i++)
        *vars[i] = values[i];
    SetPanelValues();
    for (int i = 0; i < 16; i++)
        *vars[i] = 0xEEEE;
    para15 = 950;
    GetPanelValues();
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(*vars[i], values[i]) << "word " << i;
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

TEST(ParameterTable, ReadCheckAndWriteOrdersCoverTheirWordsOnce) {
    int read[16] = {}, checked[16] = {}, written[16] = {};
    for (int w : panelReadOrder)
        read[w]++;
    for (int w : rangeCheckOrder)
        checked[w]++;
    for (const PanelWrite &w : panelWriteOrder)
        written[w.word]++;
    for (int w = 0; w < 15; w++)
        EXPECT_EQ(read[w], 1) << w;
    EXPECT_EQ(read[15], 0);
    EXPECT_EQ(checked[12], 0);
    EXPECT_EQ(checked[14], 0);
    EXPECT_EQ(checked[15], 1);
    EXPECT_EQ(written[8], 2);  // NEDITTeach and NUM_TeachValue
    EXPECT_EQ(written[9], 2);  // NEDITTolerance and NUM_Tolerance
    EXPECT_EQ(written[13], 2); // slider and pixel end
    EXPECT_EQ(written[15], 0);
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

// The edge view: indicators, x range, cursors, edge regions and tolerance
// bands that PlotRAWValues draws from one frame.
#include "display_test_support.h"

#include "display/raw_values.h"

using namespace display_test;

namespace {

constexpr int RED = 0xFF0000;
constexpr int GREEN = 0x00FF00;

class EdgeView : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        ccdmaxpixel = 1024;
        ccdMode = 0;
        eMode = 0;
        eBeg = 10;
        eEnd = 1000;
        Ledge = 400;
        Redge = 600;
        Mvalue = 200;
        tVal = 512;
        tTol = 100;
        pix1 = 1;
        edcnt = 2;
        mvstart = mvend = 0;
        pixdelta = 200;
        anaMax = 900;
        anaMin = 100;
    }

    static std::vector<rt::RectanglePlot> OfColor(int color) {
        std::vector<rt::RectanglePlot> out;
        for (const auto &r : rt::graphRectangles(panelHandle, GRAPH_Raw))
            if (r.fillColor == color)
                out.push_back(r);
        return out;
    }
    static void ExpectSpan(const rt::RectanglePlot &r, double x1, double x2) {
        EXPECT_DOUBLE_EQ(r.x1, x1);
        EXPECT_DOUBLE_EQ(r.x2, x2);
    }
    static void ExpectXRange(double lo, double hi) {
        double min = 0, max = 0;
        AxisRange(GRAPH_Raw, VAL_XAXIS, &min, &max);
        EXPECT_DOUBLE_EQ(min, lo);
        EXPECT_DOUBLE_EQ(max, hi);
    }
};

TEST_F(EdgeView, EdgeModeTwoPutsCursorOneHalfwayBetweenTheEdges) {
    eMode = 2;
    Ledge = 100;
    Redge = 301;
    PlotRAWValues();
    EXPECT_DOUBLE_EQ(CursorX(1), 200.0);
    EXPECT_DOUBLE_EQ(CursorY(1), 0.75);
}

TEST_F(EdgeView, MissingEdgeInCentreModesStartsAtPixelOneThenClampsToRangeStart) {
    eMode = 3;
    Ledge = 0;
    Redge = 500;
    PlotRAWValues(); // full line: 1 stays 1
    EXPECT_DOUBLE_EQ(CursorX(1), 1.0);

    ccdMode = 1;
    pix1 = 300;
    eMode = 4;
    Ledge = 500;
    Redge = 0;
    PlotRAWValues();
    EXPECT_DOUBLE_EQ(CursorX(1), 300.0);
}

TEST_F(EdgeView, AnaMin1023IsShownAndKeptAsOne) {
    anaMin = 1023;
    PlotRAWValues();
    EXPECT_EQ(CtrlInt(panelHandle, NUM_AnaMin), 1);
    EXPECT_EQ(anaMin, 1);

    anaMin = 1022;
    PlotRAWValues();
    EXPECT_EQ(CtrlInt(panelHandle, NUM_AnaMin), 1022);
    EXPECT_EQ(anaMin, 1022);
}

TEST_F(EdgeView, CcdModeOneShowsTheWindowAndClampsTheEdgeTwice) {
    ccdMode = 1;
    pix1 = 800;
    eMode = 0;
    Ledge = 1060;
    Redge = 1070;
    SetGraphCursor(panelHandle, GRAPH_Raw, 2, 33.0, 1.0);
    PlotRAWValues();
    ExpectXRange(800.0, 1056.0);
    EXPECT_EQ(pixB, 800);
    EXPECT_EQ(pixE, 1056);
    EXPECT_DOUBLE_EQ(CursorX(1), 1024.0); // 1060 -> 1056 -> 1024
    EXPECT_DOUBLE_EQ(CursorX(2), 33.0);   // the window cursors stay
    EXPECT_DOUBLE_EQ(CursorY(2), 1.0);
}

TEST_F(EdgeView, CcdModeZeroShowsTheWholeLineAndPutsWindowCursorsOnTheParameters) {
    ccdmaxpixel = 512;
    pixB = 5;
    pixE = 6;
    PlotRAWValues();
    ExpectXRange(1.0, 512.0);
    EXPECT_EQ(pixB, 1);
    EXPECT_EQ(pixE, 512);
    EXPECT_DOUBLE_EQ(CursorX(2), 10.0);
    EXPECT_DOUBLE_EQ(CursorY(2), 0.75);
    EXPECT_DOUBLE_EQ(CursorX(3), 1000.0);
    EXPECT_DOUBLE_EQ(CursorY(3), 0.75);
}

TEST_F(EdgeView, CcdModeTwoChoosesTheWindowOnlyForANarrowObjectBetweenEdges) {
    ccdMode = 2;
    eMode = 2;
    pix1 = 300;
    edcnt = 2;

    pixdelta = 193;
    PlotRAWValues();
    ExpectXRange(1.0, 1024.0);

    pixdelta = 192;
    PlotRAWValues();
    ExpectXRange(300.0, 556.0);
    EXPECT_EQ(pixE, 556);

    eMode = 1;
    PlotRAWValues();
    ExpectXRange(1.0, 1024.0);
}

TEST_F(EdgeView, CcdModeTwoWithoutEdgesShowsTheLineAndMovesWindowCursors) {
    ccdMode = 2;
    eMode = 2;
    pixdelta = 100;
    edcnt = 0;
    SetGraphCursor(panelHandle, GRAPH_Raw, 2, 33.0, 1.0);
    PlotRAWValues();
    ExpectXRange(1.0, 1024.0);
    EXPECT_DOUBLE_EQ(CursorX(2), 10.0);
    EXPECT_DOUBLE_EQ(CursorX(3), 1000.0);

    // Wide object: the line again, but the cursors stay where they are.
    SetGraphCursor(panelHandle, GRAPH_Raw, 2, 33.0, 1.0);
    edcnt = 2;
    pixdelta = 300;
    PlotRAWValues();
    EXPECT_DOUBLE_EQ(CursorX(2), 33.0);
}

TEST_F(EdgeView, OneEdgeShadesTowardsTheSideMvstartAndMvendPointTo) {
    edcnt = 1;
    Ledge = 300;
    mvstart = 5;
    mvend = 5;
    PlotRAWValues();
    auto red = OfColor(RED);
    ASSERT_EQ(red.size(), 1u);
    ExpectSpan(red[0], 1.0, 300.0);
    EXPECT_DOUBLE_EQ(red[0].y1, 0.25);
    EXPECT_DOUBLE_EQ(red[0].y2, 1.0);
    EXPECT_EQ(red[0].frameColor, RED);

    mvstart = 4;
    PlotRAWValues();
    red = OfColor(RED);
    ASSERT_EQ(red.size(), 1u);
    ExpectSpan(red[0], 300.0, 1024.0);
}

TEST_F(EdgeView, NoEdgeAtAllShadesTheWholeRange) {
    edcnt = 0;
    Ledge = 0;
    Redge = 0;
    PlotRAWValues();
    auto red = OfColor(RED);
    ASSERT_EQ(red.size(), 2u);
    ExpectSpan(red[0], 0.0, 1.0); // pixB .. 0
    ExpectSpan(red[1], 0.0, 1024.0);
}

TEST_F(EdgeView, EachCallReplacesAllRectangles) {
    PlotRAWValues();
    const auto first = rt::graphRectangles(panelHandle, GRAPH_Raw).size();
    PlotRAWValues();
    PlotRAWValues();
    EXPECT_EQ(rt::graphRectangles(panelHandle, GRAPH_Raw).size(), first);
    EXPECT_EQ(first, 3u); // two edge regions, one band
}

TEST_F(EdgeView, ToleranceBandStaysOnTheLine) {
    tVal = 50;
    tTol = 80;
    PlotRAWValues();
    auto green = OfColor(GREEN);
    ASSERT_EQ(green.size(), 1u);
    ExpectSpan(green[0], 1.0, 130.0);
    EXPECT_DOUBLE_EQ(green[0].y1, 0.0);
    EXPECT_DOUBLE_EQ(green[0].y2, 0.35);

    tVal = 1000;
    tTol = 100;
    PlotRAWValues();
    green = OfColor(GREEN);
    ASSERT_EQ(green.size(), 1u);
    ExpectSpan(green[0], 900.0, 1024.0);

    tVal = 100;
    tTol = 100; // a left end of 0 stays 0
    PlotRAWValues();
    ExpectSpan(OfColor(GREEN).at(0), 0.0, 200.0);
}

TEST_F(EdgeView, ToleranceBandsLieOnTopOfTheEdgeRegions) {
    PlotRAWValues();
    const auto all = rt::graphRectangles(panelHandle, GRAPH_Raw);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].fillColor, RED);
    EXPECT_EQ(all[1].fillColor, RED);
    EXPECT_EQ(all[2].fillColor, GREEN);
}

TEST_F(EdgeView, WidthModeDrawsTwoBandsAroundTheEdgePosition) {
    eMode = 2;
    Ledge = 400;
    Redge = 600; // edge position 500
    tVal = 201;
    tTol = 21;
    edcnt = 2;
    PlotRAWValues();
    auto green = OfColor(GREEN);
    ASSERT_EQ(green.size(), 2u);
    ExpectSpan(green[0], 390.0, 410.0);
    ExpectSpan(green[1], 590.0, 610.0);

    edcnt = 0;
    PlotRAWValues();
    EXPECT_TRUE(OfColor(GREEN).empty());
}

} // namespace

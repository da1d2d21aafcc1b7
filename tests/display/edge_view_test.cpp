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

TEST_F(EdgeView, CursorOneMarksTheEdgeTheEdgeModeEvaluates) {
    const struct {
        unsigned short eMode, Ledge, Redge, ccdMode, pix1;
        double x;
    } cases[] = {
        {0, 400, 600, 0, 1, 400},
        {1, 400, 600, 0, 1, 600},
        {2, 100, 301, 0, 1, 200},
        {3, 400, 600, 0, 1, 500},
        {4, 400, 600, 0, 1, 500},
        {3, 0, 500, 0, 1, 1},          // a missing edge puts it on pixel 1 ...
        {4, 500, 0, 1, 300, 300},      // ... and the window moves it to its start
        {0, 1060, 1070, 1, 800, 1024}, // held at the range's end, then at the line's
    };
    for (const auto &c : cases) {
        eMode = c.eMode;
        Ledge = c.Ledge;
        Redge = c.Redge;
        ccdMode = c.ccdMode;
        pix1 = c.pix1;
        PlotRAWValues();
        EXPECT_DOUBLE_EQ(CursorX(1), c.x)
            << "edge mode " << c.eMode << ", " << c.Ledge << ".." << c.Redge;
        EXPECT_DOUBLE_EQ(CursorY(1), 0.75);
    }
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

// The x range: the window at pix1 in CCD mode 1, and in CCD mode 2 for a
// narrow object between edges in edge mode 2 and up; otherwise the line. The
// window cursors go to eBeg and eEnd when the line is shown for want of a
// window (no edge, or a CCD mode without one).
TEST_F(EdgeView, XRangeAndWindowCursorsFollowTheCcdModeAndTheFrame) {
    const struct {
        unsigned short ccdMode, eMode, edcnt, pixdelta, pix1, ccdmaxpixel;
        unsigned short lo, hi;
        bool cursorsToParameters;
    } cases[] = {
        {1, 0, 2, 200, 800, 1024, 800, 1056, false}, {0, 0, 2, 200, 800, 512, 1, 512, true},
        {2, 2, 2, 192, 300, 1024, 300, 556, false},  {2, 4, 1, 100, 300, 1024, 300, 556, false},
        {2, 2, 2, 193, 300, 1024, 1, 1024, false},   {2, 1, 2, 192, 300, 1024, 1, 1024, false},
        {2, 2, 0, 100, 300, 1024, 1, 1024, true},    {3, 2, 2, 100, 300, 1024, 1, 1024, true},
    };
    for (const auto &c : cases) {
        ccdMode = c.ccdMode;
        eMode = c.eMode;
        edcnt = c.edcnt;
        pixdelta = c.pixdelta;
        pix1 = c.pix1;
        ccdmaxpixel = c.ccdmaxpixel;
        SetGraphCursor(panelHandle, GRAPH_Raw, 2, 33.0, 1.0);
        SetGraphCursor(panelHandle, GRAPH_Raw, 3, 44.0, 1.0);
        PlotRAWValues();
        const std::string row = "CCD mode " + std::to_string(c.ccdMode) + ", edge mode " +
                                std::to_string(c.eMode) + ", " + std::to_string(c.edcnt) +
                                " edges, pixdelta " + std::to_string(c.pixdelta);
        SCOPED_TRACE(row);
        ExpectXRange(c.lo, c.hi);
        EXPECT_EQ(pixB, c.lo);
        EXPECT_EQ(pixE, c.hi);
        EXPECT_DOUBLE_EQ(CursorX(2), c.cursorsToParameters ? 10.0 : 33.0);
        EXPECT_DOUBLE_EQ(CursorY(2), c.cursorsToParameters ? 0.75 : 1.0);
        EXPECT_DOUBLE_EQ(CursorX(3), c.cursorsToParameters ? 1000.0 : 44.0);
    }
}

// Red regions from each edge to the end of the range beyond it; one edge
// shades the side mvstart and mvend point to; no edge shades everything.
TEST_F(EdgeView, EdgeRegionsCoverWhatLiesOutsideTheObject) {
    struct Span {
        double x1, x2;
    };
    const struct {
        unsigned short edcnt, Ledge, Redge, mvstart, mvend;
        std::vector<Span> regions;
    } cases[] = {
        {2, 400, 600, 0, 0, {{1, 400}, {600, 1024}}},
        {1, 300, 300, 5, 5, {{1, 300}}},
        {1, 300, 300, 4, 5, {{300, 1024}}},
        {0, 0, 0, 0, 0, {{0, 1}, {0, 1024}}}, // pixB .. 0, then 0 .. pixE
    };
    for (const auto &c : cases) {
        edcnt = c.edcnt;
        Ledge = c.Ledge;
        Redge = c.Redge;
        mvstart = c.mvstart;
        mvend = c.mvend;
        PlotRAWValues();
        const auto red = OfColor(RED);
        ASSERT_EQ(red.size(), c.regions.size()) << c.edcnt << " edges";
        for (std::size_t i = 0; i < red.size(); ++i) {
            ExpectSpan(red[i], c.regions[i].x1, c.regions[i].x2);
            EXPECT_DOUBLE_EQ(red[i].y1, 0.25);
            EXPECT_DOUBLE_EQ(red[i].y2, 1.0);
            EXPECT_EQ(red[i].frameColor, RED);
        }
    }
}

TEST_F(EdgeView, EachCallReplacesAllRectanglesWithTheBandsOnTop) {
    PlotRAWValues();
    PlotRAWValues();
    const auto all = rt::graphRectangles(panelHandle, GRAPH_Raw);
    ASSERT_EQ(all.size(), 3u); // two edge regions, one band
    EXPECT_EQ(all[0].fillColor, RED);
    EXPECT_EQ(all[1].fillColor, RED);
    EXPECT_EQ(all[2].fillColor, GREEN);
    EXPECT_DOUBLE_EQ(all[2].y1, 0.0);
    EXPECT_DOUBLE_EQ(all[2].y2, 0.35);
}

// One band of teach value +- tolerance, kept on the line; in edge mode 2 (the
// width) one band on either side of the edge position, teach value apart,
// none without an edge, and only the left one kept on the line.
TEST_F(EdgeView, ToleranceBandsFollowTheEdgeMode) {
    struct Span {
        double x1, x2;
    };
    const struct {
        unsigned short eMode, edcnt, Ledge, Redge, tVal, tTol;
        std::vector<Span> bands;
    } cases[] = {
        {0, 2, 400, 600, 50, 80, {{1, 130}}},
        {0, 2, 400, 600, 1000, 100, {{900, 1024}}},
        {1, 2, 400, 600, 100, 100, {{0, 200}}}, // a left end of 0 stays 0
        {2, 2, 400, 600, 201, 21, {{390, 410}, {590, 610}}},
        {2, 2, 20, 60, 100, 40, {{1, 10}, {70, 110}}},
        {2, 2, 900, 1000, 200, 40, {{830, 870}, {1030, 1070}}},
        {2, 0, 400, 600, 201, 21, {}},
        {3, 2, 400, 600, 201, 21, {{180, 222}}},
        {4, 2, 400, 600, 201, 21, {{180, 222}}},
    };
    for (const auto &c : cases) {
        eMode = c.eMode;
        edcnt = c.edcnt;
        Ledge = c.Ledge;
        Redge = c.Redge;
        tVal = c.tVal;
        tTol = c.tTol;
        PlotRAWValues();
        const auto green = OfColor(GREEN);
        const std::string row = "edge mode " + std::to_string(c.eMode) + ", teach " +
                                std::to_string(c.tVal) + " +- " + std::to_string(c.tTol);
        ASSERT_EQ(green.size(), c.bands.size()) << row;
        for (std::size_t i = 0; i < green.size(); ++i) {
            EXPECT_DOUBLE_EQ(green[i].x1, c.bands[i].x1) << row;
            EXPECT_DOUBLE_EQ(green[i].x2, c.bands[i].x2) << row;
        }
    }
}

} // namespace

// The window-edge numerics move the edge graph's cursors; the threshold
// numeric redraws the video graph.
#include "panel_fixture.h"

#include "display/edge_window.h"
#include "display/video_threshold.h"

namespace params_test {
namespace {

constexpr int THRESHOLD_COLOR = 0x008000;

class EdgeWindow : public PanelTest {
  protected:
    static void expectCursor(int cursor, double x) {
        double cx = -1.0, cy = -1.0;
        GetGraphCursor(panelHandle, GRAPH_Raw, cursor, &cx, &cy);
        EXPECT_EQ(cx, x);
        EXPECT_EQ(cy, 1.0);
    }
};

// A right edge beyond the line is held at its last pixel, numeric and
// variable; one within the line moves the cursor only.
TEST_F(EdgeWindow, RightEdgeIsHeldOnTheLineAndMovesCursorThree) {
    const struct {
        unsigned short ccdmaxpixel;
        const char *typed;
        int shown;
        unsigned short eEnd;
    } cases[] = {
        {1024, "2000", 1024, 1024},
        {512, "700", 512, 512},
        {1024, "800", 800, 1000},
    };
    for (const auto &c : cases) {
        ccdmaxpixel = c.ccdmaxpixel;
        eEnd = 1000;
        typeAndCommit(panelHandle, NEDITEdgeRight, c.typed);
        EXPECT_EQ(intValue(panelHandle, NEDITEdgeRight), c.shown) << c.typed;
        EXPECT_EQ(eEnd, c.eEnd) << c.typed;
        expectCursor(3, c.shown);
    }
}

TEST_F(EdgeWindow, RightEdgeActsOnCommitOnly) {
    SetCtrlVal(panelHandle, NEDITEdgeRight, 2000);
    CC_NEDITEdgeRight(panelHandle, NEDITEdgeRight, EVENT_VAL_CHANGED, nullptr, 0, 0);
    CC_NEDITEdgeRight(panelHandle, NEDITEdgeRight, EVENT_LEFT_CLICK, nullptr, 0, 0);
    EXPECT_EQ(intValue(panelHandle, NEDITEdgeRight), 2000);
}

TEST_F(EdgeWindow, LeftEdgeMovesCursor2UnlimitedAndLeavesTheVariable) {
    typeAndCommit(panelHandle, NEDITEdgeLeft, "300");
    expectCursor(2, 300.0);
    typeAndCommit(panelHandle, NEDITEdgeLeft, "2000");
    expectCursor(2, 2000.0);
    EXPECT_EQ(intValue(panelHandle, NEDITEdgeLeft), 2000);
    EXPECT_EQ(eBeg, 1);
}

TEST_F(EdgeWindow, LeftEdgeActsOnCommitOnly) {
    SetGraphCursor(panelHandle, GRAPH_Raw, 2, 5.0, 1.0);
    SetCtrlVal(panelHandle, NEDITEdgeLeft, 300);
    CC_NEDITEdgeLeft(panelHandle, NEDITEdgeLeft, EVENT_VAL_CHANGED, nullptr, 0, 0);
    CC_NEDITEdgeLeft(panelHandle, NEDITEdgeLeft, EVENT_LEFT_CLICK, nullptr, 0, 0);
    expectCursor(2, 5.0);
}

class VideoThreshold : public PanelTest {
  protected:
    // The threshold curve of the video graph, empty when none is drawn.
    static std::vector<double> thresholdCurve() {
        for (const rt::CurvePlot &c : rt::graphCurves(panelHandle, GRAPH_Data))
            if (c.color == THRESHOLD_COLOR)
                return c.y;
        return {};
    }

    static void expectThreshold(double value) {
        const std::vector<double> y = thresholdCurve();
        ASSERT_EQ(y.size(), 256u);
        for (double v : y)
            EXPECT_EQ(v, value);
        for (unsigned short t : thdArray)
            EXPECT_EQ(t, value);
    }
};

TEST_F(VideoThreshold, CommitRedrawsAgainstTheNewThresholdAndLeavesVThd) {
    typeAndCommit(panelHandle, NEDITVideoThreshold, "700");
    expectThreshold(700.0);
    EXPECT_EQ(vThd, 512);
}

TEST_F(VideoThreshold, LeftClickRedrawsToo) {
    SetCtrlVal(panelHandle, NEDITVideoThreshold, 300); // written by the program: no redraw
    settle();
    EXPECT_TRUE(thresholdCurve().empty());
    QWidget *numeric = rt::controlWidget(panelHandle, NEDITVideoThreshold);
    QTest::mousePress(numeric, Qt::LeftButton, Qt::NoModifier, QPoint(5, numeric->height() / 2));
    settle();
    expectThreshold(300.0);
    QTest::mouseRelease(numeric, Qt::LeftButton, Qt::NoModifier, QPoint(5, numeric->height() / 2));
    settle();
    EXPECT_EQ(vThd, 512);
}

TEST_F(VideoThreshold, RedrawShowsTheLastSamples) {
    for (int i = 0; i < 256; i++)
        adcbuf[i] = static_cast<unsigned short>(i);
    CC_NEDITVideoThreshold(panelHandle, NEDITVideoThreshold, EVENT_COMMIT, nullptr, 0, 0);
    const std::vector<rt::CurvePlot> curves = rt::graphCurves(panelHandle, GRAPH_Data);
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[0].y[255], 255.0);
    for (unsigned short &a : adcbuf)
        a = 0;
}

TEST_F(VideoThreshold, TypingWithoutCommitDoesNotRedraw) {
    typeOnly(panelHandle, NEDITVideoThreshold, "9");
    EXPECT_TRUE(thresholdCurve().empty());
    CC_NEDITVideoThreshold(panelHandle, NEDITVideoThreshold, EVENT_VAL_CHANGED, nullptr, 0, 0);
    EXPECT_TRUE(thresholdCurve().empty());
}

} // namespace
} // namespace params_test

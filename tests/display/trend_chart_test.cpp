// The trend chart and its array operations.
#include "display_test_support.h"

#include <climits>
#include <cmath>

#include "display/trend_chart.h"

using namespace display_test;

namespace {

class TrendChart : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        tVal = 512;
        tTol = 100;
        Mvalue = 300;
        anaMax = 800;
        anaMin = 200;
        anaMode = 0;
    }
    static std::vector<std::vector<double>> Traces() {
        return rt::stripChartTraces(panelHandle, STRIP_Trend);
    }
    // The newest point of trace t (1 to 5).
    static double Newest(int t) { return Traces().at(t - 1).back(); }
};

TEST_F(TrendChart, LimitsAreCutAt1023AndAt1) {
    tVal = 1000;
    tTol = 100;
    PlotRAWGraph();
    EXPECT_DOUBLE_EQ(Newest(1), 1023.0);
    EXPECT_DOUBLE_EQ(Newest(2), 900.0);
    EXPECT_DOUBLE_EQ(Newest(3), 1000.0);

    tVal = 50;
    tTol = 80;
    PlotRAWGraph();
    EXPECT_DOUBLE_EQ(Newest(1), 130.0);
    EXPECT_DOUBLE_EQ(Newest(2), 1.0);

    tVal = 100;
    tTol = 100;
    PlotRAWGraph();
    EXPECT_DOUBLE_EQ(Newest(2), 1.0);
}

TEST_F(TrendChart, TraceFourIsTheMeasuredValueAndFiveFollowsTheAnalogueMode) {
    PlotRAWGraph();
    EXPECT_DOUBLE_EQ(Newest(4), 300.0);
    EXPECT_DOUBLE_EQ(Newest(5), 300.0);

    anaMode = 1;
    PlotRAWGraph();
    EXPECT_DOUBLE_EQ(Newest(5), 800.0);

    anaMode = 3;
    PlotRAWGraph();
    EXPECT_DOUBLE_EQ(Newest(5), 800.0);

    anaMode = 4;
    PlotRAWGraph();
    EXPECT_DOUBLE_EQ(Newest(5), 200.0);
}

TEST_F(TrendChart, AnalogueMinimum1023IsAppendedAsOneWithoutChangingIt) {
    anaMode = 2;
    anaMin = 1023;
    PlotRAWGraph();
    EXPECT_DOUBLE_EQ(Newest(5), 1.0);
    EXPECT_EQ(anaMin, 1023);
}

TEST_F(TrendChart, FiveTracesOfOneHundredPointsInBlackAndRed) {
    PlotRAWGraph();
    const auto traces = Traces();
    ASSERT_EQ(traces.size(), 5u);
    for (const auto &t : traces)
        EXPECT_EQ(t.size(), 100u);
    for (int t = 1; t <= 3; ++t)
        EXPECT_EQ(rt::stripChartTraceColor(panelHandle, STRIP_Trend, t), 0x000000) << t;
    for (int t = 4; t <= 5; ++t)
        EXPECT_EQ(rt::stripChartTraceColor(panelHandle, STRIP_Trend, t), 0xFF0000) << t;
}

TEST_F(TrendChart, OlderPointsStayZeroUntilAHundredFramesHaveComeIn) {
    for (int i = 0; i < 3; ++i)
        PlotRAWGraph();
    for (const auto &trace : Traces()) {
        for (int k = 0; k <= 96; ++k)
            EXPECT_EQ(trace.at(k), 0.0) << k;
        for (int k = 97; k <= 99; ++k)
            EXPECT_NE(trace.at(k), 0.0) << k;
    }
    for (int i = 3; i < 100; ++i)
        PlotRAWGraph();
    for (const auto &trace : Traces())
        for (double v : trace)
            EXPECT_NE(v, 0.0);
}

TEST(ArrayShift, MovesTowardsTheEndAndFillsTheStartWithZeros) {
    double a[4] = {1, 2, 3, 4};
    double out[4] = {9, 9, 9, 9};
    EXPECT_EQ(Shift(a, 4, 1, out), 0);
    EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{0, 1, 2, 3}));
}

TEST(ArrayShift, NegativeShiftMovesTowardsTheStartAndFillsTheEnd) {
    double a[4] = {1, 2, 3, 4};
    double out[4] = {9, 9, 9, 9};
    EXPECT_EQ(Shift(a, 4, -1, out), 0);
    EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{2, 3, 4, 0}));
}

TEST(ArrayShift, ShiftOfTheWholeLengthIsRefusedAndLeavesTheOutput) {
    double a[4] = {1, 2, 3, 4};
    double out[4] = {9, 9, 9, 9};
    EXPECT_EQ(Shift(a, 4, 4, out), -20102);
    EXPECT_EQ(Shift(a, 4, -4, out), -20102);
    EXPECT_EQ(Shift(a, 4, INT_MIN, out), -20102);
    EXPECT_EQ(Shift(a, 4, INT_MAX, out), -20102);
    EXPECT_EQ(std::vector<double>(out, out + 4), (std::vector<double>{9, 9, 9, 9}));
}

TEST(ArrayShift, EmptyCountIsRefused) {
    double a[1] = {1};
    double out[1] = {9};
    EXPECT_EQ(Shift(a, 0, 0, out), -20003);
    EXPECT_EQ(Shift(a, -3, 1, out), -20003);
    EXPECT_EQ(out[0], 9.0);
}

TEST(ArrayShift, ZeroShiftCopies) {
    double a[3] = {1, 2, 3};
    double out[3] = {};
    EXPECT_EQ(Shift(a, 3, 0, out), 0);
    EXPECT_EQ(std::vector<double>(out, out + 3), (std::vector<double>{1, 2, 3}));
}

TEST(ArrayShift, FilledPlacesArePositiveZero) {
    double a[3] = {-1, -2, -3};
    EXPECT_EQ(Shift(a, 3, -2, a), 0);
    EXPECT_FALSE(std::signbit(a[1]));
    EXPECT_FALSE(std::signbit(a[2]));
}

TEST(ArrayCopy, EmptyCountIsRefusedAndCopiesNothing) {
    double a[2] = {1, 2};
    double out[2] = {9, 9};
    EXPECT_EQ(Copy1D(a, 0, out), -20003);
    EXPECT_EQ(out[0], 9.0);
    EXPECT_EQ(out[1], 9.0);
}

} // namespace

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
    const struct {
        unsigned short anaMode, anaMin;
        double selected;
    } cases[] = {
        {0, 200, 300},  {1, 200, 800}, {2, 200, 200}, {2, 1023, 1},
        {3, 1023, 800}, {4, 200, 200}, {4, 1023, 1},  {5, 1023, 300}, // unknown: the measured value
    };
    for (const auto &c : cases) {
        anaMode = c.anaMode;
        anaMin = c.anaMin;
        PlotRAWGraph();
        EXPECT_DOUBLE_EQ(Newest(4), 300.0);
        EXPECT_DOUBLE_EQ(Newest(5), c.selected) << "mode " << c.anaMode << ", min " << c.anaMin;
        EXPECT_EQ(anaMin, c.anaMin); // the chart does not rewrite it
    }
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

TEST(ArrayShift, MovesByTheShiftFillsWithZerosAndRefusesBadCountsAndShifts) {
    const std::vector<double> in = {1, 2, 3, 4};
    const std::vector<double> untouched = {9, 9, 9, 9};
    const struct {
        int n, s, status;
        std::vector<double> out;
    } cases[] = {
        {4, 1, ARRAY_OK, {0, 1, 2, 3}},           {4, -1, ARRAY_OK, {2, 3, 4, 0}},
        {4, 3, ARRAY_OK, {0, 0, 0, 1}},           {4, 0, ARRAY_OK, {1, 2, 3, 4}},
        {4, 4, ARRAY_BAD_SHIFT, untouched},       {4, -4, ARRAY_BAD_SHIFT, untouched},
        {4, INT_MIN, ARRAY_BAD_SHIFT, untouched}, {4, INT_MAX, ARRAY_BAD_SHIFT, untouched},
        {0, 0, ARRAY_BAD_COUNT, untouched},       {-3, 1, ARRAY_BAD_COUNT, untouched},
    };
    for (const auto &c : cases) {
        std::vector<double> out = untouched;
        EXPECT_EQ(Shift(in.data(), c.n, c.s, out.data()), c.status) << c.n << " by " << c.s;
        EXPECT_EQ(out, c.out) << c.n << " by " << c.s;
    }
    std::vector<double> out = untouched;
    EXPECT_EQ(Copy1D(in.data(), 0, out.data()), ARRAY_BAD_COUNT);
    EXPECT_EQ(out, untouched);
}

TEST(ArrayShift, InPlaceFillsWithPositiveZeros) {
    double a[3] = {-1, -2, -3};
    EXPECT_EQ(Shift(a, 3, -2, a), ARRAY_OK);
    EXPECT_EQ(a[0], -3.0);
    EXPECT_FALSE(std::signbit(a[1]));
    EXPECT_FALSE(std::signbit(a[2]));
}

} // namespace

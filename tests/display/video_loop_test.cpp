// The video loop against a scripted sensor: the four block reads, Stop in the
// middle of a pass, the time-outs, the x layouts and the panels it switches.
#include "display_test_support.h"

#include <algorithm>
#include <chrono>
#include <iterator>

#include "display/video_loop.h"
#include "link/exchange_guard.h"

using namespace display_test;
using namespace std::chrono_literals;

namespace {

constexpr int DARK_GREEN = 0x008000;
constexpr int RED = 0xFF0000;

struct Layout {
    double min = -1, max = -1;
    std::vector<unsigned short> x;
};

Layout CurrentLayout() {
    Layout l;
    AxisRange(GRAPH_Data, VAL_XAXIS, &l.min, &l.max);
    l.x.assign(xArray, xArray + 256);
    return l;
}

std::vector<unsigned short> Steps(int first, int step) {
    std::vector<unsigned short> v(256);
    for (int i = 0; i < 256; ++i)
        v[i] = static_cast<unsigned short>(first + step * i);
    return v;
}

class VideoLoop : public SensorTest {
  protected:
    void SetUp() override {
        SensorTest::SetUp();
        if (HasFatalFailure())
            return;
        ccdmaxpixel = 1024;
        ccdMode = 0;
        eMode = 2;
    }

    int Data() { return CC_BTNData(panelHandle, CTRL_Busy2, EVENT_COMMIT, nullptr, 0, 0); }

    // Runs exactly one pass: Stop is clicked at the first event processing,
    // which lies in the wait for the frame. `atStart` sees the state the start
    // left before the pass.
    void RunOnePass(const std::function<void()> &atStart = [] {}) {
        Poller stopper([&] {
            atStart();
            ClickStop();
            return true;
        });
        SafetyStop safety(5000);
        Data();
        EXPECT_FALSE(safety.fired());
        EXPECT_TRUE(stopper.done());
    }

    // The frame comes a little late, so that the first event processing of a
    // pass always falls into the wait for it.
    void AnswerEverything(const Frame &f) {
        sensor->script(sim::order::Frame, f.reply(), 30ms);
        sensor->script(sim::order::Video, VideoBlock(500));
    }
};

TEST_F(VideoLoop, StopWhileWaitingForBlockTwoEndsOnlyAfterBlocksThreeAndFour) {
    sensor->script(sim::order::Frame, Frame{}.reply());
    for (std::uint16_t v : {100, 200, 300, 400})
        sensor->script(sim::order::Video, VideoBlock(v), 60ms, sim::ScriptedSensor::Repeat::Once);
    SetCtrlAttribute(panelHandle, GRAPH_Data, ATTR_VISIBLE, 0);
    SetCtrlAttribute(panelHandle, STRIP_Trend, ATTR_VISIBLE, 1);

    bool dimmedWhileRunning = false;
    Poller stopper([&] {
        if (CountOrders(sim::order::Video) < 2)
            return false;
        dimmedWhileRunning = AllBusyDimmed();
        ClickStop();
        return true;
    });
    SafetyStop safety(5000);

    Data();

    EXPECT_FALSE(safety.fired());
    EXPECT_TRUE(stopper.done());
    EXPECT_TRUE(dimmedWhileRunning);
    const auto requests = sensor->requests();
    ASSERT_EQ(sensor->orders(), (std::vector<std::uint16_t>{8, 9, 9, 9, 9}));
    const int starts[4] = {0, 64, 128, 192};
    for (int b = 0; b < 4; ++b) {
        const sim::Words w = sim::dataWords(requests[b + 1]);
        EXPECT_EQ(w[0], starts[b]);
        EXPECT_EQ(w[1], b == 3 ? 1 : 0); // only the last block is flagged
    }
    EXPECT_EQ(adcbuf[0], 100);
    EXPECT_EQ(adcbuf[64], 200);
    EXPECT_EQ(adcbuf[191], 300);
    EXPECT_EQ(adcbuf[255], 400);

    const auto curves = rt::graphCurves(panelHandle, GRAPH_Data);
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[0].color, RED);
    EXPECT_DOUBLE_EQ(curves[0].y.at(255), 400.0);
    EXPECT_EQ(curves[1].color, DARK_GREEN);

    EXPECT_EQ(stop_flag, 1);
    EXPECT_FALSE(AnyBusyDimmed());
    EXPECT_TRUE(Visible(GRAPH_Data));
    EXPECT_FALSE(Visible(STRIP_Trend));
    EXPECT_EQ(SensorBusy(), 0);
    EXPECT_EQ(StatusText(), "Data[64] block received!");
}

TEST_F(VideoLoop, WithoutSensorRunsOnePassOfTimeoutsThenEnds) {
    DisplayPanel(panelPopUp);
    hidePopUp = 0;
    SetCtrlVal(panelHandle, RBTFile, 1);
    SetCtrlVal(panelHandle, RBTRam, 0);
    target = DATFILE;

    // The status line and the last result, each time either changes. The
    // frame's time-out is a result: the block reads' progress notes cover it
    // on the line but leave it in szStatus until the first block's result.
    std::vector<std::string> texts, results;
    Poller watch([&] {
        const std::string now = StatusText();
        if (texts.empty() || texts.back() != now)
            texts.push_back(now);
        if (results.empty() || results.back() != szStatus)
            results.emplace_back(szStatus);
        return false;
    });
    SafetyStop safety(12000);

    const double t0 = Timer();
    Data();
    const double elapsed = Timer() - t0;

    EXPECT_FALSE(safety.fired());
    EXPECT_GT(elapsed, 5 * TIMEOUT);
    EXPECT_LT(elapsed, 5 * TIMEOUT + 1.5);
    EXPECT_EQ(sensor->orders(), (std::vector<std::uint16_t>{8, 9, 9, 9, 9}));

    const auto frameTimeout = std::find(results.begin(), results.end(), "Timeout RS232-Line!");
    ASSERT_NE(frameTimeout, results.end());
    EXPECT_EQ(std::next(frameTimeout), std::find(frameTimeout, results.end(),
                                                 "Timeout-RS-232 while reading 64 data-words!"));
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Waiting for Data[64] ..."), texts.end());
    const auto times = sensor->requestTimes();
    ASSERT_EQ(times.size(), 5u);
    for (std::size_t i = 1; i < times.size(); ++i) // each wait ran into its time-out
        EXPECT_GT(times[i] - times[i - 1], 1400ms) << i;
    EXPECT_EQ(StatusText(), "Timeout-RS-232 while reading 64 data-words!");

    EXPECT_EQ(rt::graphCurves(panelHandle, GRAPH_Data).size(), 2u); // drawn once
    EXPECT_FALSE(AnyBusyDimmed());
    EXPECT_FALSE(rt::panelWidget(panelPopUp)->isVisible());
    EXPECT_EQ(hidePopUp, 1);
    EXPECT_TRUE(Visible(GRAPH_Data));
    EXPECT_FALSE(Visible(STRIP_Trend));
    EXPECT_EQ(CtrlInt(panelHandle, RBTRam), 1);
    EXPECT_EQ(CtrlInt(panelHandle, RBTFile), 0);
    EXPECT_EQ(target, RAM);
    EXPECT_EQ(SensorBusy(), 0);
}

TEST_F(VideoLoop, DataStartsOnTheLayoutTheCcdModeAndTheLastFrameLeft) {
    const struct {
        unsigned short ccdMode, pix1, pStart;
        double min, max;
        std::vector<unsigned short> x;
    } cases[] = {
        {0, 300, 100, 1, 1024, Steps(0, 4)},
        {1, 300, 100, 100, 356, Steps(100, 1)}, // the pixel start, whatever pix1 says
        {2, 50, 100, 50, 306, Steps(50, 1)},
        {3, 300, 100, 300, 556, Steps(300, 1)},
    };
    AnswerEverything(Frame{});
    for (const auto &c : cases) {
        ccdMode = c.ccdMode;
        pix1 = c.pix1;
        pStart = c.pStart;
        xArray[0] = 77;
        Layout before;
        RunOnePass([&] { before = CurrentLayout(); });
        EXPECT_DOUBLE_EQ(before.min, c.min) << c.ccdMode;
        EXPECT_DOUBLE_EQ(before.max, c.max) << c.ccdMode;
        EXPECT_EQ(before.x, c.x) << c.ccdMode;
    }
}

TEST_F(VideoLoop, EachPassLaysTheSamplesOutByCcdModeAndTheFrame) {
    const struct {
        unsigned short ccdMode, eMode, edcnt, pixdelta, pix1;
        unsigned short ccdmaxpixel;
        double min, max;
        std::vector<unsigned short> x;
    } cases[] = {
        {0, 2, 2, 100, 420, 1024, 1, 1024, Steps(0, 4)},
        {0, 2, 2, 100, 420, 512, 1, 512, Steps(0, 2)},
        {0, 2, 2, 100, 420, 2048, 1, 2048, Steps(0, 2)},
        {1, 2, 2, 100, 420, 1024, 100, 356, Steps(100, 1)}, // pStart 100, not pix1
        {2, 2, 1, 192, 420, 1024, 420, 676, Steps(420, 1)},
        {2, 4, 2, 100, 420, 1024, 420, 676, Steps(420, 1)},
        {2, 2, 1, 193, 420, 1024, 1, 1024, Steps(0, 4)},
        {2, 2, 0, 192, 420, 1024, 1, 1024, Steps(0, 4)},
        {2, 1, 1, 192, 420, 1024, 1, 1024, Steps(0, 4)},
        {3, 2, 2, 100, 420, 1024, 1, 1024, Steps(0, 4)},
    };
    pStart = 100;
    for (const auto &c : cases) {
        Frame f;
        f.edcnt = c.edcnt;
        f.pixdelta = c.pixdelta;
        f.pix1 = c.pix1;
        AnswerEverything(f);
        ccdMode = c.ccdMode;
        eMode = c.eMode;
        ccdmaxpixel = c.ccdmaxpixel;
        RunOnePass();
        const Layout after = CurrentLayout();
        const std::string row = "CCD mode " + std::to_string(c.ccdMode) + ", edge mode " +
                                std::to_string(c.eMode) + ", " + std::to_string(c.edcnt) +
                                " edges, pixdelta " + std::to_string(c.pixdelta) + ", line " +
                                std::to_string(c.ccdmaxpixel);
        EXPECT_DOUBLE_EQ(after.min, c.min) << row;
        EXPECT_DOUBLE_EQ(after.max, c.max) << row;
        EXPECT_EQ(after.x, c.x) << row;
        EXPECT_DOUBLE_EQ(rt::graphCurves(panelHandle, GRAPH_Data).at(0).x.at(255), c.x[255]) << row;
    }
}

TEST_F(VideoLoop, EveryPassTakesItsFramesWordsZeroToElevenAndSendsThemBack) {
    const Frame frames[3] = {DistinctFrame(0), DistinctFrame(1000), DistinctFrame(2000)};
    for (const Frame &f : frames)
        sensor->script(sim::order::Frame, f.reply(), 30ms, sim::ScriptedSensor::Repeat::Once);
    sensor->script(sim::order::Video, VideoBlock(500));
    in0 = 5;
    for (int i = 0; i < PNUM; ++i)
        pp[i] = static_cast<unsigned short>(1000 + i);

    Poller stopper([&] {
        if (CountOrders(sim::order::Frame) < 3)
            return false;
        ClickStop();
        return true;
    });
    SafetyStop safety(8000);
    Data();
    EXPECT_FALSE(safety.fired());
    EXPECT_TRUE(stopper.done());
    EXPECT_NE(StatusText(), "Timeout RS232-Line!");

    ExpectFrameShown(frames[2], sim::frame::in0);
    EXPECT_EQ(in0, 5);

    std::vector<sim::Words> frameRequests;
    for (const auto &r : sensor->requests())
        if (sim::requestOrder(r) == sim::order::Frame)
            frameRequests.push_back(sim::dataWords(r));
    ASSERT_EQ(frameRequests.size(), 3u);
    EXPECT_EQ(frameRequests[0][0], 1000); // pp as it stood, not the parameters
    EXPECT_EQ(frameRequests[0][15], 1015);
    EXPECT_EQ(frameRequests[1], frames[0].words()); // the previous reply's words
    EXPECT_EQ(frameRequests[2], frames[1].words());
}

TEST_F(VideoLoop, AShortFirstBlockIsFilledWithZerosAndTheLoopGoesOn) {
    sensor->script(sim::order::Frame, Frame{}.reply(), 30ms);
    std::vector<std::uint8_t> shortBlock = VideoBlock(700);
    shortBlock.resize(100); // 50 samples
    sensor->script(sim::order::Video, shortBlock, 0ms, sim::ScriptedSensor::Repeat::Once);
    sensor->script(sim::order::Video, VideoBlock(500));

    std::vector<double> firstPass;
    Poller stopper([&] {
        if (CountOrders(sim::order::Frame) < 2)
            return false;
        firstPass = rt::graphCurves(panelHandle, GRAPH_Data).at(0).y;
        ClickStop();
        return true;
    });
    SafetyStop safety(8000);
    Data();

    EXPECT_FALSE(safety.fired());
    ASSERT_TRUE(stopper.done());
    ASSERT_EQ(firstPass.size(), 256u);
    for (int i = 0; i < 256; ++i)
        ASSERT_DOUBLE_EQ(firstPass[i], i < 50 ? 700.0 : i < 64 ? 0.0 : 500.0) << i;
    EXPECT_DOUBLE_EQ(rt::graphCurves(panelHandle, GRAPH_Data).at(0).y.at(0), 500.0);
}

TEST_F(VideoLoop, DataHidesTheCcdPanelSoOneSettingsClickShowsItAgain) {
    constexpr int BTN_CCDSettings = 45;
    AnswerEverything(Frame{});
    for (bool shownBefore : {true, false}) {
        if (shownBefore) {
            DisplayPanel(panelPopUp);
            hidePopUp = 0;
        }
        RunOnePass();
        EXPECT_FALSE(rt::panelWidget(panelPopUp)->isVisible()) << shownBefore;
        EXPECT_EQ(hidePopUp, 1) << shownBefore;

        QTest::mouseClick(rt::controlWidget(panelHandle, BTN_CCDSettings), Qt::LeftButton);
        Settle();
        EXPECT_TRUE(rt::panelWidget(panelPopUp)->isVisible()) << shownBefore;
        HidePanel(panelPopUp);
        hidePopUp = 1;
    }
}

TEST_F(VideoLoop, EventsOtherThanCommitDoNothing) {
    SetCtrlAttribute(panelHandle, GRAPH_Data, ATTR_VISIBLE, 0);
    SetCtrlAttribute(panelHandle, STRIP_Trend, ATTR_VISIBLE, 1);
    for (int event : {EVENT_VAL_CHANGED, EVENT_LEFT_CLICK, 4})
        EXPECT_EQ(CC_BTNData(panelHandle, CTRL_Busy2, event, nullptr, 0, 0), 0);
    EXPECT_FALSE(sensor->waitForRequests(1, 100ms));
    EXPECT_FALSE(Visible(GRAPH_Data));
    EXPECT_TRUE(Visible(STRIP_Trend));
    EXPECT_EQ(stop_flag, 1);
}

TEST_F(VideoLoop, DataIsRefusedWhileAnotherExchangeWaitsForTheSensor) {
    SetCtrlAttribute(panelHandle, GRAPH_Data, ATTR_VISIBLE, 0);
    DisplayPanel(panelPopUp);
    BeginExchange();
    EXPECT_EQ(Data(), 0);
    EXPECT_EQ(StatusText(), "Busy - press Stop or wait!");
    EndExchange();
    EXPECT_FALSE(sensor->waitForRequests(1, 100ms));
    EXPECT_FALSE(Visible(GRAPH_Data));
    EXPECT_TRUE(rt::panelWidget(panelPopUp)->isVisible());
}

} // namespace

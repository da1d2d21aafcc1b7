// The live loop against a scripted sensor on a pseudo-terminal: Stop, the
// reply time-out, the frame values and the busy controls.
#include "display_test_support.h"

#include <chrono>

#include "display/live_loop.h"
#include "link/exchange_guard.h"

using namespace display_test;
using namespace std::chrono_literals;

namespace {

class LiveLoop : public SensorTest {
  protected:
    int Run() { return CC_BTNRun(panelHandle, CTRL_Busy1, EVENT_COMMIT, nullptr, 0, 0); }
};

TEST_F(LiveLoop, StopClickEndsTheRunWithinOnePass) {
    sensor->script(sim::order::Frame, Frame{}.reply());
    SetCtrlAttribute(panelHandle, GRAPH_Data, ATTR_VISIBLE, 1);
    SetCtrlAttribute(panelHandle, STRIP_Trend, ATTR_VISIBLE, 0);

    std::size_t requestsAtClick = 0;
    bool dimmedWhileRunning = false, graphHiddenWhileRunning = false;
    Poller stopper([&] {
        if (CountOrders(sim::order::Frame) < 3)
            return false;
        dimmedWhileRunning = AllBusyDimmed();
        graphHiddenWhileRunning = !Visible(GRAPH_Data) && Visible(STRIP_Trend);
        requestsAtClick = sensor->orders().size();
        ClickStop();
        return true;
    });
    SafetyStop safety(5000);

    EXPECT_EQ(Run(), 0);

    EXPECT_FALSE(safety.fired());
    EXPECT_TRUE(stopper.done());
    EXPECT_TRUE(dimmedWhileRunning);
    EXPECT_TRUE(graphHiddenWhileRunning);
    EXPECT_EQ(stop_flag, 1);
    EXPECT_FALSE(AnyBusyDimmed());
    EXPECT_FALSE(Visible(GRAPH_Data));
    EXPECT_TRUE(Visible(STRIP_Trend));
    EXPECT_NE(StatusText(), "Timeout RS232-Line!");
    EXPECT_EQ(SensorBusy(), 0);
    // At most the request of the pass in which the click was handled follows it.
    sensor->waitForRequests(requestsAtClick + 2, 100ms);
    EXPECT_LE(sensor->orders().size(), requestsAtClick + 1);
}

TEST_F(LiveLoop, RunButtonStartsTheLoopWithTheTargetForcedToRam) {
    sensor->script(sim::order::Frame, Frame{}.reply());
    SetCtrlVal(panelHandle, RBTRam, 0);
    SetCtrlVal(panelHandle, RBTEeprom, 1);
    SetCtrlVal(panelHandle, RBTFile, 0);
    target = EEPROM;

    int ramWhileRunning = -1, eepromWhileRunning = -1, fileWhileRunning = -1;
    Poller stopper([&] {
        if (CountOrders(sim::order::Frame) < 2)
            return false;
        ramWhileRunning = CtrlInt(panelHandle, RBTRam);
        eepromWhileRunning = CtrlInt(panelHandle, RBTEeprom);
        fileWhileRunning = CtrlInt(panelHandle, RBTFile);
        ClickStop();
        return true;
    });
    SafetyStop safety(5000);

    // Press and release: a left click and a commit; only the commit starts it.
    QTest::mouseClick(rt::controlWidget(panelHandle, CTRL_Busy1), Qt::LeftButton);
    for (int i = 0; i < 200 && !stopper.done(); ++i)
        ProcessSystemEvents();
    Settle();

    EXPECT_FALSE(safety.fired());
    ASSERT_TRUE(stopper.done());
    EXPECT_EQ(ramWhileRunning, 1);
    EXPECT_EQ(eepromWhileRunning, 0);
    EXPECT_EQ(fileWhileRunning, 0);
    EXPECT_EQ(target, RAM);
    EXPECT_EQ(CtrlInt(panelHandle, RBTRam), 1);
    EXPECT_FALSE(AnyBusyDimmed());
}

TEST_F(LiveLoop, WithoutSensorShowsLineOkThenTimesOutJustAfterOneAndAHalfSeconds) {
    std::string statusAtStart;
    bool dimmedWhileRunning = false;
    Poller watch([&] {
        statusAtStart = StatusText();
        dimmedWhileRunning = AllBusyDimmed();
        return true;
    });
    SafetyStop safety(5000);

    const double t0 = Timer();
    Run();
    const double elapsed = Timer() - t0;

    EXPECT_FALSE(safety.fired());
    EXPECT_EQ(statusAtStart, "Line Ok!");
    EXPECT_TRUE(dimmedWhileRunning);
    EXPECT_EQ(StatusText(), "Timeout RS232-Line!");
    EXPECT_STREQ(szStatus, "Timeout RS232-Line!");
    EXPECT_GT(elapsed, TIMEOUT);
    EXPECT_LT(elapsed, TIMEOUT + 0.5);
    EXPECT_EQ(stop_flag, 1);
    EXPECT_FALSE(AnyBusyDimmed());
    EXPECT_EQ(SensorBusy(), 0);
    EXPECT_EQ(sensor->orders(), std::vector<std::uint16_t>{sim::order::Frame});
}

TEST_F(LiveLoop, ReplyOnePointFourSecondsAfterEachRequestKeepsTheLoopRunning) {
    sensor->script(sim::order::Frame, Frame{}.reply(), 1400ms);
    Poller stopper([&] {
        if (CountOrders(sim::order::Frame) < 3) // two late replies taken
            return false;
        ClickStop();
        return true;
    });
    SafetyStop safety(8000);

    const double t0 = Timer();
    Run();
    const double elapsed = Timer() - t0;

    EXPECT_FALSE(safety.fired());
    EXPECT_TRUE(stopper.done());
    EXPECT_GT(elapsed, 2.8);
    EXPECT_NE(StatusText(), "Timeout RS232-Line!");
    EXPECT_EQ(CtrlInt(panelHandle, NUM_Ledge), 400);
}

TEST_F(LiveLoop, FrameOverwritesTeachValueAndToleranceAndGoesBackInTheNextRequest) {
    Frame f;
    f.tVal = 321;
    f.tTol = 45;
    f.Mvalue = 250;
    f.in0 = 77;
    sensor->script(sim::order::Frame, f.reply());
    tVal = 512;
    tTol = 100;
    power = 432;
    Poller stopper([&] {
        if (CountOrders(sim::order::Frame) < 3)
            return false;
        ClickStop();
        return true;
    });
    SafetyStop safety(5000);

    Run();

    EXPECT_FALSE(safety.fired());
    EXPECT_EQ(tVal, 321);
    EXPECT_EQ(tTol, 45);
    EXPECT_EQ(Mvalue, 250);
    EXPECT_EQ(in0, 77);
    EXPECT_EQ(CtrlInt(panelHandle, NUM_TeachValue), 321);
    EXPECT_EQ(CtrlInt(panelHandle, NUM_Tolerance), 45);

    const auto requests = sensor->requests();
    ASSERT_GE(requests.size(), 2u);
    const sim::Words first = sim::dataWords(requests[0]);
    const sim::Words second = sim::dataWords(requests[1]);
    EXPECT_EQ(first[sim::param::tVal], 512);
    EXPECT_EQ(second[sim::param::tVal], 321);
    EXPECT_EQ(second[sim::param::tTol], 45);
    EXPECT_EQ(second[sim::param::power], 432); // the other parameters as they stand
    EXPECT_EQ(sim::requestOrder(requests[1]), sim::order::Frame);

    // The trend chart got the frame as its newest point.
    const auto traces = rt::stripChartTraces(panelHandle, STRIP_Trend);
    ASSERT_EQ(traces.size(), 5u);
    EXPECT_DOUBLE_EQ(traces[3].back(), 250.0);
}

TEST_F(LiveLoop, SensorVanishingMidRunEndsTheLoopThroughTheTimeout) {
    sensor->script(sim::order::Frame, Frame{}.reply());
    double hungUpAt = 0.0;
    Poller cut([&] {
        if (CountOrders(sim::order::Frame) < 5)
            return false;
        hungUpAt = Timer();
        sensor->hangUp();
        return true;
    });
    SafetyStop safety(6000);

    Run();
    const double afterHangUp = Timer() - hungUpAt;

    EXPECT_FALSE(safety.fired());
    ASSERT_TRUE(cut.done());
    EXPECT_EQ(StatusText(), "Timeout RS232-Line!");
    EXPECT_GT(afterHangUp, 1.0);
    EXPECT_LT(afterHangUp, TIMEOUT + 0.8);
    EXPECT_FALSE(AnyBusyDimmed());
    EXPECT_EQ(SensorBusy(), 0);
}

TEST_F(LiveLoop, EventsOtherThanCommitOnRunDoNothing) {
    SetCtrlAttribute(panelHandle, GRAPH_Data, ATTR_VISIBLE, 1);
    SetCtrlAttribute(panelHandle, STRIP_Trend, ATTR_VISIBLE, 0);
    SetCtrlVal(panelHandle, RBTEeprom, 1);
    SetCtrlVal(panelHandle, RBTRam, 0);
    for (int event : {EVENT_VAL_CHANGED, EVENT_LEFT_CLICK, 4, EVENT_CLOSE})
        EXPECT_EQ(CC_BTNRun(panelHandle, CTRL_Busy1, event, nullptr, 0, 0), 0);
    EXPECT_FALSE(sensor->waitForRequests(1, 100ms));
    EXPECT_TRUE(Visible(GRAPH_Data));
    EXPECT_FALSE(Visible(STRIP_Trend));
    EXPECT_EQ(CtrlInt(panelHandle, RBTRam), 0);
    EXPECT_EQ(stop_flag, 1);
}

TEST_F(LiveLoop, StopActsOnLeftClickOnlyAndEnablesTheBusyControls) {
    stop_flag = 0;
    SetCtrlAttribute(panelHandle, CTRL_Busy1, ATTR_DIMMED, 1);
    SetCtrlAttribute(panelHandle, CTRL_Busy2, ATTR_DIMMED, 1);
    SetCtrlAttribute(panelHandle, CTRL_Busy3, ATTR_DIMMED, 1);
    for (int event : {EVENT_COMMIT, EVENT_VAL_CHANGED, 4})
        EXPECT_EQ(CC_BTNStop(panelHandle, BTNStop, event, nullptr, 0, 0), 0);
    EXPECT_EQ(stop_flag, 0);
    EXPECT_TRUE(AllBusyDimmed());

    EXPECT_EQ(CC_BTNStop(panelHandle, BTNStop, EVENT_LEFT_CLICK, nullptr, 0, 0), 0);
    EXPECT_EQ(stop_flag, 1);
    EXPECT_FALSE(AnyBusyDimmed());
}

TEST_F(LiveLoop, RunIsRefusedWhileAnotherExchangeWaitsForTheSensor) {
    SetCtrlAttribute(panelHandle, STRIP_Trend, ATTR_VISIBLE, 0);
    BeginExchange();
    EXPECT_EQ(Run(), 0);
    EndExchange();
    EXPECT_EQ(StatusText(), "Busy - press Stop or wait!");
    EXPECT_FALSE(sensor->waitForRequests(1, 100ms));
    EXPECT_FALSE(Visible(STRIP_Trend));
    EXPECT_FALSE(AnyBusyDimmed());
    EXPECT_EQ(stop_flag, 1);
}

} // namespace

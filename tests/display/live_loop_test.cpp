// The live loop against a scripted sensor on a pseudo-terminal: Stop, the
// reply time-out, the frame values, the trend, and what it refuses while busy.
#include "display_test_support.h"

#include <algorithm>
#include <chrono>
#include <iterator>

#include "display/live_loop.h"
#include "display/video_loop.h"
#include "link/exchange_guard.h"
#include "link/transactions.h"
#include "stream/stream.h"

using namespace display_test;
using namespace std::chrono_literals;

namespace {

class LiveLoop : public SensorTest {
  protected:
    int Run() { return CC_BTNRun(panelHandle, CTRL_Busy1, EVENT_COMMIT, nullptr, 0, 0); }

    // Runs `loop` until the sensor has had `frameOrders` frame requests in
    // all, then clicks Stop.
    void RunUntilFrameOrders(std::size_t frameOrders, const std::function<int()> &loop) {
        Poller stopper([&] {
            if (CountOrders(sim::order::Frame) < frameOrders)
                return false;
            ClickStop();
            return true;
        });
        SafetyStop safety(5000);
        loop();
        EXPECT_FALSE(safety.fired());
        EXPECT_TRUE(stopper.done());
    }
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

TEST_F(LiveLoop, EveryFrameWordReachesItsVariableAndIndicatorAndTheTeachValuesGoBack) {
    const Frame f = DistinctFrame(0);
    sensor->script(sim::order::Frame, f.reply());
    tVal = 512;
    tTol = 100;
    power = 432;

    RunUntilFrameOrders(3, [this] { return Run(); });

    ExpectFrameShown(f, sim::frame::in0 + 1);
    const auto requests = sensor->requests();
    ASSERT_GE(requests.size(), 2u);
    const sim::Words first = sim::dataWords(requests[0]);
    const sim::Words second = sim::dataWords(requests[1]);
    EXPECT_EQ(first[sim::param::tVal], 512);
    EXPECT_EQ(second[sim::param::tVal], f.tVal);
    EXPECT_EQ(second[sim::param::tTol], f.tTol);
    EXPECT_EQ(second[sim::param::power], 432); // the other parameters as they stand
    EXPECT_EQ(sim::requestOrder(requests[1]), sim::order::Frame);
    EXPECT_DOUBLE_EQ(rt::stripChartTraces(panelHandle, STRIP_Trend).at(3).back(), f.Mvalue);
}

TEST_F(LiveLoop, TeachResetAndTheComSelectorAreRefusedWhileItRuns) {
    sensor->script(sim::order::Frame, Frame{}.reply());
    SetCtrlVal(panelHandle, DropDCom, TEST_PORT);
    const struct {
        const char *name;
        std::function<void()> press;
    } attempts[] = {
        {"Teach", [] { CC_ButtonTeach(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0); }},
        {"Reset", [] { CC_ButtonReset(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0); }},
        {"COM selector",
         [] {
             SetCtrlVal(panelHandle, DropDCom, TEST_PORT + 1);
             CC_DropDCom(panelHandle, DropDCom, EVENT_COMMIT, nullptr, 0, 0);
         }},
    };
    std::vector<std::string> statusAfter;
    Poller presser([&] {
        if (CountOrders(sim::order::Frame) < 2)
            return false;
        for (const auto &a : attempts) {
            SetCtrlVal(panelHandle, TEXT_Status, "");
            a.press();
            statusAfter.push_back(StatusText());
        }
        ClickStop();
        return true;
    });
    SafetyStop safety(5000);

    Run();

    EXPECT_FALSE(safety.fired());
    ASSERT_EQ(statusAfter.size(), std::size(attempts));
    for (std::size_t i = 0; i < statusAfter.size(); ++i)
        EXPECT_EQ(statusAfter[i], "Busy - press Stop or wait!") << attempts[i].name;
    for (std::uint16_t o : sensor->orders())
        EXPECT_EQ(o, sim::order::Frame);
    EXPECT_EQ(com, TEST_PORT);
    EXPECT_EQ(CtrlInt(panelHandle, DropDCom), TEST_PORT);
    EXPECT_GE(GetInQLen(TEST_PORT), 0); // still open
    EXPECT_NE(StatusText(), "Timeout RS232-Line!");
}

TEST_F(LiveLoop, TheTrendKeepsTheFramesOfEveryRunAndNoneOfTheDataLoop) {
    const auto measured = [] { return rt::stripChartTraces(panelHandle, STRIP_Trend).at(3); };
    Frame f;
    f.Mvalue = 111;
    sensor->script(sim::order::Frame, f.reply());
    RunUntilFrameOrders(3, [this] { return Run(); });
    const std::vector<double> afterFirstRun = measured();
    const auto firstRunPoints = std::count(afterFirstRun.begin(), afterFirstRun.end(), 111.0);
    ASSERT_GT(firstRunPoints, 0);

    f.Mvalue = 333;
    sensor->script(sim::order::Frame, f.reply(), 30ms);
    sensor->script(sim::order::Video, VideoBlock(500));
    RunUntilFrameOrders(CountOrders(sim::order::Frame) + 2, [] {
        return CC_BTNData(panelHandle, CTRL_Busy2, EVENT_COMMIT, nullptr, 0, 0);
    });
    EXPECT_EQ(measured(), afterFirstRun);

    f.Mvalue = 222;
    sensor->script(sim::order::Frame, f.reply());
    RunUntilFrameOrders(CountOrders(sim::order::Frame) + 3, [this] { return Run(); });
    // Newest last: zeros, then the first Run's points, then the second's.
    std::vector<double> points = measured();
    points.erase(points.begin(),
                 std::find_if(points.begin(), points.end(), [](double v) { return v != 0.0; }));
    const auto secondRunPoints = std::count(points.begin(), points.end(), 222.0);
    ASSERT_GT(secondRunPoints, 0);
    std::vector<double> expected(static_cast<std::size_t>(firstRunPoints), 111.0);
    expected.insert(expected.end(), static_cast<std::size_t>(secondRunPoints), 222.0);
    EXPECT_EQ(points, expected);
}

// What listeners of the frame stream hear of a loop: each frame once, each
// video pass of the Data loop, the loop's start and end; one that ended its
// subscription hears nothing.
TEST_F(LiveLoop, EveryListenerHearsEachFrameOnceAndEachPassAndTheLoopsStartAndEnd) {
    struct Case {
        const char *loop;
        std::function<int()> start;
        bool videoPasses;
    };
    const Case cases[] = {
        {"Run", [this] { return Run(); }, false},
        {"Data", [] { return CC_BTNData(panelHandle, CTRL_Busy2, EVENT_COMMIT, nullptr, 0, 0); },
         true},
    };
    sensor->script(sim::order::Frame, Frame{}.reply(), 30ms);
    sensor->script(sim::order::Video, VideoBlock(500));
    stream::FrameStream &program = stream::programStream();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.loop);
        int first = 0, second = 0, removed = 0, passes = 0;
        std::vector<bool> running;
        const stream::Subscription s1 = program.frames.subscribe([&](auto &) { ++first; });
        stream::Subscription s2 = program.frames.subscribe([&](auto &) { ++removed; });
        const stream::Subscription s3 = program.frames.subscribe([&](auto &) { ++second; });
        s2.reset();
        const stream::Subscription s4 = program.videoPasses.subscribe([&](auto &) { ++passes; });
        const stream::Subscription s5 = program.loops.subscribe(
            [&](const stream::LoopEvent &e) { running.push_back(e.running); });
        RunUntilFrameOrders(CountOrders(sim::order::Frame) + 3, c.start);

        EXPECT_GE(first, 2);
        EXPECT_EQ(second, first);
        EXPECT_EQ(removed, 0);
        EXPECT_EQ(passes, c.videoPasses ? first : 0);
        EXPECT_EQ(running, (std::vector<bool>{true, false}));
    }
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
    EXPECT_EQ(StatusText(), "Busy - press Stop or wait!");
    EndExchange();
    EXPECT_FALSE(sensor->waitForRequests(1, 100ms));
    EXPECT_FALSE(Visible(STRIP_Trend));
    EXPECT_FALSE(AnyBusyDimmed());
    EXPECT_EQ(stop_flag, 1);
}

} // namespace

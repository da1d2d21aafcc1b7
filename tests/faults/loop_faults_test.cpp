// The Run and Data loops on the faults users met: a frame time-out, video
// blocks that come late, a Send while a loop runs, the busy note, and the
// keyboard way to stop.
#include "tests/display/display_test_support.h"

#include <QTest>

#include <algorithm>
#include <chrono>

#include "display/live_loop.h"
#include "display/video_loop.h"
#include "link/exchange_guard.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "menus/sensor_menu.h"
#include "params/panel_binding.h"
#include "params/transfer_buttons.h"
#include "runtime/test_hooks.h"
#include "shell/status_line.h"

using namespace display_test;
using namespace std::chrono_literals;

namespace {

constexpr int BTNSend = 42; // the Send button, known to the program only by its callback

class LoopFaults : public SensorTest {
  protected:
    int Run() { return CC_BTNRun(panelHandle, CTRL_Busy1, EVENT_COMMIT, nullptr, 0, 0); }
    int Data() { return CC_BTNData(panelHandle, CTRL_Busy2, EVENT_COMMIT, nullptr, 0, 0); }
    void ClickSend() {
        QWidget *send = rt::controlWidget(panelHandle, BTNSend);
        ASSERT_NE(send, nullptr);
        QTest::mouseClick(send, Qt::LeftButton);
    }
    std::vector<std::uint16_t> Orders() const { return sensor->orders(); }
    // The first order-1 request, with the parameter block it carried.
    std::optional<sim::Words> SentParameters() const {
        for (const sim::Telegram &t : sensor->requests())
            if (sim::requestOrder(t) == sim::order::WriteRam)
                return sim::dataWords(t);
        return std::nullopt;
    }
};

TEST_F(LoopFaults, AFrameTimeOutLeavesTheFrameValuesAsTheyWere) {
    // What the connect sequence leaves in pp: the CCD info, no frame.
    std::fill(std::begin(pp), std::end(pp), 0);
    pp[0] = 1, pp[1] = 1024, pp[2] = 250;
    Ledge = 400, Redge = 600, Mvalue = 200, tVal = 512, tTol = 100, anaMax = 900;
    sensor->script(sim::order::Video, VideoBlock(500));
    SafetyStop safety(8000);
    Data(); // no frame reply: one pass, then the time-out ends the loop
    EXPECT_FALSE(safety.fired());
    EXPECT_EQ(Ledge, 400);
    EXPECT_EQ(Redge, 600);
    EXPECT_EQ(Mvalue, 200);
    EXPECT_EQ(tVal, 512);
    EXPECT_EQ(tTol, 100);
    EXPECT_EQ(anaMax, 900);
    EXPECT_EQ(CtrlInt(panelHandle, NUM_Ledge), 400);
}

// Every block's reply begins 1480 ms after its request and ends after the
// 1.5 s limit: each block times out, and no block takes another's samples.
TEST_F(LoopFaults, AVideoBlockThatComesLateIsNeverTakenAsTheNext) {
    sensor->setBaud(19200);
    sensor->script(sim::order::Frame, Frame{}.reply());
    for (std::uint16_t v : {100, 200, 300, 400})
        sensor->script(sim::order::Video, VideoBlock(v), 1480ms, sim::ScriptedSensor::Repeat::Once);
    Poller stopper([&] {
        ClickStop();
        return true;
    });
    SafetyStop safety(15000);
    Data();
    EXPECT_FALSE(safety.fired());
    for (int block = 0; block < 4; ++block)
        for (int i = 64 * block; i < 64 * (block + 1); ++i)
            ASSERT_TRUE(adcbuf[i] == 0 || adcbuf[i] == 100 * (block + 1))
                << "sample " << i << " of block " << block << " is " << adcbuf[i];
    EXPECT_EQ(StatusText(), "Timeout-RS-232 while reading 64 data-words!");
}

// A pseudo-terminal passes every byte at once; on a real line a Send's 36
// bytes take 18.75 ms, and a discard of the output queue within that time
// cuts the telegram. The Send is clicked shortly before the next frame reply.
TEST_F(LoopFaults, ASendDuringRunIsNeverCutByADiscardOfTheOutput) {
    constexpr double SEND_TIME = 36 * 10 / 19200.0;
    std::vector<SerialOutputEvent> output;
    SetSerialOutputObserver([&](const SerialOutputEvent &e) { output.push_back(e); });
    sensor->script(sim::order::Frame, Frame{}.reply(), 40ms);
    double requestSeen = 0;
    std::size_t frames = 0;
    bool sent = false;
    Poller user(
        [&] {
            if (CountOrders(sim::order::Frame) != frames) {
                frames = CountOrders(sim::order::Frame);
                requestSeen = Timer();
            }
            if (!sent && frames >= 3 && Timer() - requestSeen > 0.030) {
                ClickSend(); // about 10 ms before the reply
                sent = true;
            }
            if (sent && frames >= 6) {
                ClickStop();
                return true;
            }
            return false;
        },
        1);
    SafetyStop safety(5000);
    Run();
    SetSerialOutputObserver(nullptr);
    EXPECT_FALSE(safety.fired());
    const auto send = std::find_if(output.begin(), output.end(), [](const SerialOutputEvent &e) {
        return e.kind == SerialOutputEvent::Write && e.bytes.size() == 36 && e.bytes[3] == 1;
    });
    ASSERT_NE(send, output.end()) << "no Send was written";
    for (auto e = send; e != output.end(); ++e)
        EXPECT_FALSE(e->kind == SerialOutputEvent::Discard && e->time - send->time < SEND_TIME)
            << "the output was discarded " << (e->time - send->time) * 1000
            << " ms after the Send was written";
}

TEST_F(LoopFaults, ASendDuringTheBlockReadsWaitsForTheirEnd) {
    sensor->script(sim::order::Frame, Frame{}.reply());
    for (std::uint16_t v : {100, 200, 300, 400})
        sensor->script(sim::order::Video, VideoBlock(v), 30ms, sim::ScriptedSensor::Repeat::Once);
    // A sensor that answers a write would have its reply taken as samples.
    sensor->script(sim::order::WriteRam, sim::makeReply(1, {}));
    bool sent = false;
    Poller user([&] {
        if (!sent && CountOrders(sim::order::Video) >= 1) {
            ClickSend();
            sent = true;
        }
        if (sent && CountOrders(sim::order::Video) >= 4) {
            ClickStop();
            return true;
        }
        return false;
    });
    SafetyStop safety(5000);
    Data();
    EXPECT_FALSE(safety.fired());
    sensor->waitForRequests(6, 500ms); // the held Send went out as the loop ended
    const std::vector<std::uint16_t> orders = Orders();
    ASSERT_GE(orders.size(), 6u);
    EXPECT_EQ(std::vector<std::uint16_t>(orders.begin(), orders.begin() + 6),
              (std::vector<std::uint16_t>{8, 9, 9, 9, 9, 1}));
    EXPECT_EQ(adcbuf[63], 100);
    EXPECT_EQ(adcbuf[64], 200);
    EXPECT_EQ(adcbuf[128], 300);
    EXPECT_EQ(adcbuf[255], 400);
}

TEST_F(LoopFaults, TheBusyNoteGoesWhenTheLoopEnds) {
    sensor->script(sim::order::Frame, Frame{}.reply());
    std::string underNote, duringLoop;
    Poller user([&] {
        if (CountOrders(sim::order::Frame) < 3)
            return false;
        underNote = StatusText();
        CC_ButtonTeach(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0); // refused while busy
        duringLoop = StatusText();
        ClickStop();
        return true;
    });
    SafetyStop safety(5000);
    Run();
    EXPECT_FALSE(safety.fired());
    EXPECT_EQ(duringLoop, "Busy - press Stop or wait!");
    EXPECT_EQ(StatusText(), underNote);
}

TEST_F(LoopFaults, EscInTheMainWindowStopsARunningLoop) {
    sensor->script(sim::order::Frame, Frame{}.reply());
    AttachSensorMenu(panelHandle);
    QWidget *window = rt::panelWidget(panelHandle);
    window->activateWindow();
    Poller user([&] {
        if (CountOrders(sim::order::Frame) < 3)
            return false;
        QTest::keyClick(window, Qt::Key_Escape);
        return true;
    });
    SafetyStop safety(3000);
    Run();
    EXPECT_FALSE(safety.fired()) << "Esc did not stop the loop";
    EXPECT_TRUE(user.done());
}

} // namespace

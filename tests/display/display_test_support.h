// Shared by the display tests: the real panels loaded as the program loads
// them, the program-wide variables at their start values, and a simulated
// sensor on a pseudo-terminal for the loops.
#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <QWidget>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/program.h"
#include "link/connection.h"
#include "runtime/runtime.h"
#include "runtime/widget_access.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/startup.h"
#include "sim/protocol.h"
#include "sim/scripted_sensor.h"
#include "stream/stream.h"

namespace display_test {

constexpr int BTNStop = 41; // known to the program only through its callback
constexpr int TEST_PORT = 5;

inline void Settle(int rounds = 20) {
    for (int i = 0; i < rounds; ++i)
        ProcessSystemEvents();
}

inline int CtrlInt(int panel, int control) {
    int value = -1;
    GetCtrlVal(panel, control, &value);
    return value;
}

inline std::string StatusText() {
    char text[260] = {};
    GetCtrlVal(panelHandle, TEXT_Status, text);
    return text;
}

inline bool Dimmed(int control) {
    int value = -1;
    GetCtrlAttribute(panelHandle, control, ATTR_DIMMED, &value);
    return value == 1;
}

inline bool Visible(int control) {
    int value = -1;
    GetCtrlAttribute(panelHandle, control, ATTR_VISIBLE, &value);
    return value == 1;
}

inline bool AnyBusyDimmed() {
    return Dimmed(CTRL_Busy1) || Dimmed(CTRL_Busy2) || Dimmed(CTRL_Busy3);
}
inline bool AllBusyDimmed() {
    return Dimmed(CTRL_Busy1) && Dimmed(CTRL_Busy2) && Dimmed(CTRL_Busy3);
}

inline double CursorX(int cursor) {
    double x = -1.0, y = -1.0;
    GetGraphCursor(panelHandle, GRAPH_Raw, cursor, &x, &y);
    return x;
}
inline double CursorY(int cursor) {
    double x = -1.0, y = -1.0;
    GetGraphCursor(panelHandle, GRAPH_Raw, cursor, &x, &y);
    return y;
}

inline void AxisRange(int control, int axis, double *min, double *max) {
    *min = *max = -1.0;
    rt::graphAxisRange(panelHandle, control, axis, min, max);
}

// A left click on Stop, as the user makes it.
inline void ClickStop() {
    QWidget *stop = rt::controlWidget(panelHandle, BTNStop);
    ASSERT_NE(stop, nullptr);
    QTest::mouseClick(stop, Qt::LeftButton);
}

// Both panels from the real panel file, shown, with InitVars' start values.
class PanelTest : public testing::Test {
  protected:
    void SetUp() override {
        RegisterProgramCallbacks(); // under the names the panel file attaches
        panelHandle = LoadPanel(0, VEXA_PANEL_FILE_PATH, PANEL);
        ASSERT_GT(panelHandle, 0);
        panelPopUp = LoadPanel(panelHandle, VEXA_PANEL_FILE_PATH, CCDPANEL);
        ASSERT_GT(panelPopUp, 0);
        InitVars();
        std::memset(arrayNORM, 0, sizeof arrayNORM);
        stream::programStream().clearHistory(); // the chart starts anew
        DisplayPanel(panelHandle);
        Settle();
    }
    void TearDown() override {
        CloseCom(com);
        DiscardPanel(panelPopUp);
        DiscardPanel(panelHandle);
        Settle();
    }
};

// Runs `step` on every pass of the event processing (every few ms) until it
// returns true; lives as long as the test keeps it.
class Poller {
  public:
    explicit Poller(std::function<bool()> step, int intervalMs = 2) : step_(std::move(step)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (!done_ && step_())
                done_ = true;
            if (done_)
                timer_.stop();
        });
        timer_.start(intervalMs);
    }
    bool done() const { return done_; }

  private:
    std::function<bool()> step_;
    QTimer timer_;
    bool done_ = false;
};

// Ends a loop that outlives its test's expectations, and says so.
class SafetyStop {
  public:
    explicit SafetyStop(int ms) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            fired_ = true;
            stop_flag = 1;
        });
        timer_.start(ms);
    }
    bool fired() const { return fired_; }

  private:
    QTimer timer_;
    bool fired_ = false;
};

// The panels plus a scripted sensor on a pseudo-terminal, opened the way the
// connect sequence opens a port, with the receive callback installed.
class SensorTest : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        if (HasFatalFailure())
            return;
        sensor = std::make_unique<sim::ScriptedSensor>();
        SetComDevice(TEST_PORT, sensor->slavePath().c_str());
        com = TEST_PORT;
        ASSERT_GE(OpenComConfig(com, "", 19200, 0, 8, 1, 4096, 4096), 0);
        SetComTime(com, 2.0);
        FlushInQ(com);
        FlushOutQ(com);
        SetCTSMode(com, 0);
        InstallComCallback(com, eventMask, TELEGRAM_LEN, sync, RX_Receive_Function, nullptr);
    }
    void TearDown() override {
        PanelTest::TearDown();
        sensor.reset();
    }

    std::size_t CountOrders(std::uint16_t orderCode) const {
        std::size_t n = 0;
        for (auto o : sensor->orders())
            if (o == orderCode)
                ++n;
        return n;
    }

    std::unique_ptr<sim::ScriptedSensor> sensor;
};

// A measurement frame as the sensor sends it.
struct Frame {
    std::uint16_t Ledge = 400, Redge = 600, Mvalue = 200, tVal = 512, tTol = 100, pix1 = 1;
    std::uint16_t edcnt = 2, mvstart = 0, mvend = 0, pixdelta = 200, anaMax = 900, anaMin = 100,
                  in0 = 0;

    sim::Words words() const {
        return sim::Words{Ledge, Redge,    Mvalue, tVal,   tTol, pix1, edcnt, mvstart,
                          mvend, pixdelta, anaMax, anaMin, in0,  0,    0,     0};
    }
    std::vector<std::uint8_t> reply() const { return sim::makeReply(8, words()); }
};

// Each data word of a measurement frame: the variable it lands in and the
// indicator that shows it (0: none).
struct FrameWord {
    const char *name;
    std::size_t word;
    unsigned short *var;
    int indicator;
};
inline const std::vector<FrameWord> &FrameWords() {
    static const std::vector<FrameWord> words = {
        {"Ledge", sim::frame::Ledge, &Ledge, NUM_Ledge},
        {"Redge", sim::frame::Redge, &Redge, NUM_Redge},
        {"Mvalue", sim::frame::Mvalue, &Mvalue, NUM_Mvalue},
        {"tVal", sim::frame::tVal, &tVal, NUM_TeachValue},
        {"tTol", sim::frame::tTol, &tTol, NUM_Tolerance},
        {"pix1", sim::frame::pix1, &pix1, 0},
        {"edcnt", sim::frame::edcnt, &edcnt, 0},
        {"mvstart", sim::frame::mvstart, &mvstart, 0},
        {"mvend", sim::frame::mvend, &mvend, 0},
        {"pixdelta", sim::frame::pixdelta, &pixdelta, 0},
        {"anaMax", sim::frame::anaMax, &anaMax, NUM_AnaMax},
        {"anaMin", sim::frame::anaMin, &anaMin, NUM_AnaMin},
        {"in0", sim::frame::in0, &in0, 0},
    };
    return words;
}

// A frame whose words all differ from each other and from those of a base
// 1000 or more apart; edcnt stays 2, so that both edges are drawn.
inline Frame DistinctFrame(std::uint16_t base) {
    Frame f;
    f.Ledge = base + 301, f.Redge = base + 602, f.Mvalue = base + 203, f.tVal = base + 504;
    f.tTol = base + 55, f.pix1 = base + 306, f.edcnt = 2, f.mvstart = base + 7;
    f.mvend = base + 8, f.pixdelta = base + 109, f.anaMax = base + 910, f.anaMin = base + 111;
    f.in0 = base + 12;
    return f;
}

// Expects every frame word of `f` below `words` in its variable and on its
// indicator.
inline void ExpectFrameShown(const Frame &f, std::size_t words) {
    const sim::Words w = f.words();
    for (const FrameWord &fw : FrameWords()) {
        if (fw.word >= words)
            continue;
        EXPECT_EQ(*fw.var, w[fw.word]) << fw.name;
        if (fw.indicator != 0) {
            EXPECT_EQ(CtrlInt(panelHandle, fw.indicator), w[fw.word]) << fw.name;
        }
    }
}

// 64 samples of one value, as one order-9 reply.
inline std::vector<std::uint8_t> VideoBlock(std::uint16_t value) {
    return sim::wordsToBytes(std::vector<std::uint16_t>(64, value));
}

} // namespace display_test

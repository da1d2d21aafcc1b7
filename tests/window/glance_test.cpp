// The state at a glance: the title and the status bar through connect, run,
// time-out and a vanished device; the tolerance lamp; the status line's
// history; the graphs' keys; the marks of values the sensor does not accept.
#include "tests/display/display_test_support.h"

#include <QAbstractSpinBox>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QRegularExpression>
#include <QStatusBar>

#include <chrono>
#include <functional>

#include "display/live_loop.h"
#include "glance/glance.h"
#include "glance/glance_bar.h"
#include "glance/sensor_watch.h"
#include "glance/stale_values.h"
#include "glance/tool_tip_key.h"
#include "params/parameter_table.h"
#include "params/transfer_buttons.h"
#include "stream/publish.h"

using namespace display_test;
using namespace std::chrono_literals;

namespace {

const QString DASH = QStringLiteral(" \u2014 ");

std::vector<std::uint8_t> FirmwareText(const char *text) {
    std::vector<std::uint16_t> words(36, 0);
    for (int i = 0; text[i] != '\0' && i < 36; i++)
        words[i] = static_cast<unsigned char>(text[i]);
    return sim::wordsToBytes(words);
}

std::unique_ptr<sim::ScriptedSensor> WorkingSensor(std::uint16_t mvalue = 500) {
    auto sensor = std::make_unique<sim::ScriptedSensor>();
    sensor->script(sim::order::Echo, sim::makeReply(5));
    sensor->script(sim::order::ReadRam, sim::makeReply(2, Frame{}.words()));
    sensor->script(sim::order::Firmware, FirmwareText("FW 1.0"));
    sensor->script(sim::order::CcdInfo, sim::makeReply(10, {1, 1024, 0}));
    Frame frame;
    frame.Mvalue = mvalue;
    sensor->script(sim::order::Frame, frame.reply());
    return sensor;
}

class Glance : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        if (HasFatalFailure())
            return;
        AttachGlance(panelHandle, TEXT_Status, GRAPH_Raw, STRIP_Trend);
        window = rt::panelWidget(panelHandle);
        bar = window->findChild<window::GlanceBar *>(QStringLiteral("statusBar"));
        ASSERT_NE(bar, nullptr);
    }
    void TearDown() override {
        PanelTest::TearDown();
        SetComDevice(TEST_PORT, "");
    }

    void Connect(const sim::ScriptedSensor &sensor) {
        SetComDevice(TEST_PORT, sensor.slavePath().c_str());
        com = TEST_PORT;
        InitRS232(com);
    }
    QString Title() const { return window->windowTitle(); }
    static QString Device(const sim::ScriptedSensor &sensor) {
        return QString::fromStdString(sensor.slavePath());
    }

    QWidget *window = nullptr;
    window::GlanceBar *bar = nullptr;
};

TEST_F(Glance, TitleAndStatusBarFollowConnectRunTimeOutAndADeviceGone) {
    EXPECT_EQ(Title(), QStringLiteral("V-EXA-TB-Scope"));

    auto sensor = WorkingSensor();
    Connect(*sensor);
    // A person tells pseudo-terminals apart by their number: "pts/5", not "5".
    const QString port = QStringLiteral("COM5 (%1)").arg(Device(*sensor).mid(5));
    ASSERT_TRUE(port.startsWith("COM5 (pts/")) << port.toStdString();
    EXPECT_EQ(Title(), QStringLiteral("V-EXA-TB-Scope") + DASH + port + DASH + "connected");
    EXPECT_EQ(bar->hintText(), QString());

    QString framesWhileRunning, lampWhileRunning, titleWhileRunning;
    Poller cut([&] {
        if (sensor->orders().size() < 30)
            return false;
        bar->refreshAt(QDateTime::currentMSecsSinceEpoch()); // as its timer does
        framesWhileRunning = bar->framesText();
        lampWhileRunning = bar->lampText();
        titleWhileRunning = Title();
        sensor->clearScript(); // the sensor falls silent mid-run
        return true;
    });
    SafetyStop safety(6000);
    CC_BTNRun(panelHandle, CTRL_Busy1, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_FALSE(safety.fired());
    ASSERT_TRUE(cut.done());

    EXPECT_TRUE(framesWhileRunning.startsWith("Frames: ")) << framesWhileRunning.toStdString();
    EXPECT_TRUE(framesWhileRunning.endsWith(" frames/s")) << framesWhileRunning.toStdString();
    EXPECT_EQ(lampWhileRunning, QStringLiteral("in tolerance"));
    EXPECT_TRUE(titleWhileRunning.endsWith(DASH + "connected"));
    EXPECT_EQ(Title(), QStringLiteral("V-EXA-TB-Scope") + DASH + port + DASH + "no answer");
    EXPECT_EQ(bar->hintText(), QStringLiteral("No answer from the sensor on COM5 (%1): check "
                                              "cable, power and port")
                                   .arg(Device(*sensor)));
    EXPECT_EQ(StatusText(), "Timeout RS232-Line!"); // the status line keeps its own text

    // Gone while idle: the port closes, and the title and hint follow it.
    sensor->hangUp();
    QTest::qWait(100);
    EXPECT_EQ(Title(), QStringLiteral("V-EXA-TB-Scope") + DASH + port + DASH + "not open");
    EXPECT_EQ(bar->hintText(), QStringLiteral("COM5 (%1) is gone and its port closed: plug the "
                                              "adapter back in and pick the port again")
                                   .arg(Device(*sensor)));

    // Picked again while the device is gone: the port does not open.
    sensor.reset();
    SetComDevice(TEST_PORT, "/dev/vexa-no-such-device");
    InitRS232(com);
    EXPECT_EQ(Title(), QStringLiteral("V-EXA-TB-Scope") + DASH + "COM5 (vexa-no-such-device)" +
                           DASH + "not open");
    EXPECT_TRUE(bar->hintText().startsWith("COM5 (/dev/vexa-no-such-device) does not open"))
        << bar->hintText().toStdString();

    // Plugged in again: the hint goes.
    auto replacement = WorkingSensor();
    Connect(*replacement);
    EXPECT_TRUE(Title().endsWith(DASH + "connected")) << Title().toStdString();
    EXPECT_EQ(bar->hintText(), QString());
}

TEST_F(Glance, TheLastFramesValuesGreyWhenTheDeviceGoesUntilTheNextFrame) {
    const int indicators[] = {NUM_Mvalue, NUM_Ledge};
    AttachStaleMarks(panelHandle, indicators, 2);
    QWidget *mvalue = rt::controlWidget(panelHandle, NUM_Mvalue);
    const auto runFrames = [](const sim::ScriptedSensor &sensor) {
        const std::size_t before = sensor.orders().size();
        Poller stop([&] {
            if (sensor.orders().size() < before + 5)
                return false;
            stop_flag = 1;
            return true;
        });
        SafetyStop safety(6000);
        CC_BTNRun(panelHandle, CTRL_Busy1, EVENT_COMMIT, nullptr, 0, 0);
        EXPECT_FALSE(safety.fired());
    };
    auto sensor = WorkingSensor(321);
    Connect(*sensor);
    EXPECT_TRUE(mvalue->isEnabled()); // no frame yet: nothing to call stale
    runFrames(*sensor);
    EXPECT_EQ(CtrlInt(panelHandle, NUM_Mvalue), 321);
    EXPECT_TRUE(mvalue->isEnabled());

    sensor->hangUp();
    QTest::qWait(100);
    EXPECT_FALSE(mvalue->isEnabled());
    EXPECT_FALSE(rt::controlWidget(panelHandle, NUM_Ledge)->isEnabled());

    auto other = WorkingSensor(444); // another sensor: still the old one's value
    Connect(*other);
    EXPECT_EQ(CtrlInt(panelHandle, NUM_Mvalue), 321);
    EXPECT_FALSE(mvalue->isEnabled());
    runFrames(*other);
    EXPECT_EQ(CtrlInt(panelHandle, NUM_Mvalue), 444);
    EXPECT_TRUE(mvalue->isEnabled());
}

// A port that did not open stays "not open" with its hint through every
// exchange tried on it afterwards: none of them may claim an answer.
TEST_F(Glance, AfterAFailedOpenEveryExchangeLeavesNotOpenAndItsHint) {
    SetComDevice(TEST_PORT, "/dev/vexa-no-such-device");
    com = TEST_PORT;
    InitRS232(com);
    const QString title =
        QStringLiteral("V-EXA-TB-Scope") + DASH + "COM5 (vexa-no-such-device)" + DASH + "not open";
    const QString hint = bar->hintText();
    ASSERT_TRUE(hint.startsWith("COM5 (/dev/vexa-no-such-device) does not open"))
        << hint.toStdString();
    const struct {
        const char *what;
        std::function<void()> exchange;
        const char *status; // the status line's own text after it
    } rows[] = {
        {"Send", [] { CC_BTNSend(panelHandle, 0, EVENT_LEFT_CLICK, nullptr, 0, 0); },
         "Transmit..."},
        {"Get", [] { CC_BTNGet(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0); },
         "Timeout-RS-232..."},
        {"Run", [] { CC_BTNRun(panelHandle, CTRL_Busy1, EVENT_COMMIT, nullptr, 0, 0); },
         "Timeout RS232-Line!"},
    };
    for (const auto &row : rows) {
        SafetyStop safety(6000);
        row.exchange();
        Settle();
        bar->refreshAt(QDateTime::currentMSecsSinceEpoch());
        EXPECT_EQ(Title(), title) << row.what;
        EXPECT_EQ(bar->hintText(), hint) << row.what;
        EXPECT_EQ(bar->lamp(), window::GlanceBar::Lamp::Off) << row.what;
        EXPECT_FALSE(AnyBusyDimmed()) << row.what;
        EXPECT_EQ(StatusText(), row.status) << row.what;
    }
}

TEST_F(Glance, AConnectWithoutAnAnswerSaysSo) {
    sim::ScriptedSensor silent; // answers nothing
    Connect(silent);
    EXPECT_TRUE(Title().endsWith(DASH + "no answer")) << Title().toStdString();
}

// ---- the tolerance lamp ------------------------------------------------------------

using L = window::GlanceBar::Lamp;

struct LampCase {
    const char *what;
    std::uint16_t mvalue, tVal, tTol;
    window::GlanceBar::Lamp lamp;
};
void PrintTo(const LampCase &c, std::ostream *out) {
    *out << c.what;
}

class ToleranceLamp : public Glance, public testing::WithParamInterface<LampCase> {};

// The lamp as painted: the hue of its most coloured pixel (grey: none).
L PaintedLamp(window::GlanceBar &bar) {
    auto *label = bar.findChild<QLabel *>(QStringLiteral("statusLamp"));
    if (!label)
        return L::Off;
    label->adjustSize();
    const QImage image = label->grab().toImage();
    QColor most(Qt::gray);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.hsvSaturation() > most.hsvSaturation())
                most = c;
        }
    if (most.hsvSaturation() < 100)
        return L::Off;
    return most.green() > most.red() ? L::In : L::Out;
}

TEST_P(ToleranceLamp, ShowsWhetherTheLiveValueLiesInTheTrendChartsBand) {
    const LampCase &c = GetParam();
    window::SensorWatch watch;
    window::GlanceBar lamp(&watch, window);
    std::uint16_t frame[13] = {};
    frame[2] = c.mvalue, frame[3] = c.tVal, frame[4] = c.tTol;
    watch.loopRunning(true);
    watch.frameDecoded(frame, 13);
    lamp.refreshAt(10'000);
    EXPECT_EQ(lamp.lamp(), c.lamp);
    EXPECT_EQ(PaintedLamp(lamp), c.lamp) << "green in, red out, grey without a frame";
    lamp.refreshAt(10'000 + window::GlanceBar::FRAME_FRESH_MS + 1); // no frame since
    EXPECT_EQ(lamp.lamp(), window::GlanceBar::Lamp::Off);
    EXPECT_EQ(PaintedLamp(lamp), L::Off);
}

INSTANTIATE_TEST_SUITE_P(
    Band, ToleranceLamp,
    testing::Values(LampCase{"inside", 500, 512, 100, L::In},
                    LampCase{"on_the_upper_limit", 612, 512, 100, L::In},
                    LampCase{"on_the_lower_limit", 412, 512, 100, L::In},
                    LampCase{"just_above", 613, 512, 100, L::Out},
                    LampCase{"just_below", 411, 512, 100, L::Out},
                    LampCase{"lower_limit_clamped_to_1", 1, 50, 80, L::In},
                    LampCase{"zero_under_the_clamped_lower_limit", 0, 50, 80, L::Out},
                    LampCase{"upper_limit_clamped_to_1023", 1023, 1000, 100, L::In},
                    LampCase{"above_the_clamped_upper_limit", 1024, 1000, 100, L::Out},
                    LampCase{"no_tolerance_on_the_teach_value", 512, 512, 0, L::In}),
    [](const testing::TestParamInfo<LampCase> &info) { return std::string(info.param.what); });

TEST_F(Glance, TheLampIsGreyBeforeAnyFrame) {
    bar->refreshAt(5'000);
    EXPECT_EQ(bar->lamp(), window::GlanceBar::Lamp::Off);
    EXPECT_EQ(bar->lampText(), QStringLiteral("no live value"));
    EXPECT_EQ(PaintedLamp(*bar), L::Off);
}

// ---- the status line's history ---------------------------------------------------------

TEST_F(Glance, TheStatusLineKeepsItsLast20TextsWithTimes) {
    QWidget *status = rt::controlWidget(panelHandle, TEXT_Status);
    status->setToolTip(QStringLiteral("own tooltip"));
    for (int i = 0; i < 25; ++i)
        SetCtrlVal(panelHandle, TEXT_Status, ("text " + std::to_string(i)).c_str());
    SetCtrlVal(panelHandle, TEXT_Status, "text 24"); // no change, no entry

    const QStringList lines = window::ToolTipKey::shownText(status).split('\n');
    ASSERT_EQ(lines.size(), 2 + 1 + 20) << lines.join('\n').toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("own tooltip"));
    const QRegularExpression timed(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d  text (\\d+)$"));
    for (int i = 0; i < 20; ++i) {
        const auto match = timed.match(lines[3 + i]);
        ASSERT_TRUE(match.hasMatch()) << lines[3 + i].toStdString();
        EXPECT_EQ(match.captured(1).toInt(), 5 + i);
    }
    EXPECT_EQ(StatusText(), "text 24");
}

// The program's supervision judges every frame against its own band: the
// status bar counts the excursions, the status line's history gets each
// event of the line with its time.
TEST_F(Glance, ExcursionsAreCountedInTheStatusBarAndTheLinesEventsEnterTheHistory) {
    auto *count = bar->findChild<QLabel *>(QStringLiteral("statusExcursions"));
    ASSERT_NE(count, nullptr);
    unsigned short words[FRAME_WORDS_SEEN] = {};
    const auto frame = [&words](unsigned short mvalue) {
        words[FRAME_MVALUE] = mvalue;
        words[FRAME_TVAL] = 512;
        words[FRAME_TTOL] = 100;
        FrameDecoded(words);
    };
    frame(500); // inside, the port open: ends what an earlier test may have left
    PortOpened(TEST_PORT, 0);
    EXPECT_TRUE(count->isHidden());

    struct Step {
        std::function<void()> happen;
        const char *count;   // the status bar's text after it, up to the time
        const char *history; // the newest line of the history after its time
    };
    const Step steps[] = {
        {[&] { frame(700); }, "1 excursion, last ", "out of tolerance: Mvalue 700 outside 412-612"},
        {[&] { frame(612); }, "1 excursion, last ", "back in tolerance after 0.0 s, extreme 700"},
        {[&] { frame(411); }, "2 excursions, last ",
         "out of tolerance: Mvalue 411 outside 412-612"},
        {[&] { PortLost(TEST_PORT); }, "2 excursions, last ", "port lost"},
        {[&] { PortOpened(TEST_PORT, 0); }, "2 excursions, last ", "port back"},
    };
    const QRegularExpression clock(QStringLiteral("\\d\\d:\\d\\d:\\d\\d$"));
    QWidget *status = rt::controlWidget(panelHandle, TEXT_Status);
    for (const Step &step : steps) {
        step.happen();
        EXPECT_FALSE(count->isHidden());
        EXPECT_TRUE(count->text().startsWith(QLatin1String(step.count)))
            << count->text().toStdString();
        EXPECT_TRUE(clock.match(count->text()).hasMatch()) << count->text().toStdString();
        const QString newest = window::ToolTipKey::shownText(status).split('\n').last();
        EXPECT_TRUE(newest.endsWith(QStringLiteral("  ") + QLatin1String(step.history)))
            << newest.toStdString();
    }
    frame(500);
}

// ---- keys and marks ---------------------------------------------------------------------

TEST_F(Glance, TheGraphsHaveColourKeysInTheirTooltips) {
    const QString edge = window::ToolTipKey::shownText(rt::controlWidget(panelHandle, GRAPH_Raw));
    for (const char *item :
         {"pixel range", "edge regions", "tolerance band", "cursor 1", "cursor 2", "cursor 3"})
        EXPECT_TRUE(edge.contains(QLatin1String(item))) << item;
    const QString trend =
        window::ToolTipKey::shownText(rt::controlWidget(panelHandle, STRIP_Trend));
    for (const char *item : {"1 upper limit", "2 lower limit", "3 teach value", "4 measured value",
                             "5 measured value, selected by analogue mode 0"})
        EXPECT_TRUE(trend.contains(QLatin1String(item))) << item;
}

TEST_F(Glance, TheTrendKeyNamesTheValueTheAnalogueModeSelects) {
    const struct {
        int anaMode;
        const char *trace5;
    } cases[] = {{0, "5 measured value, selected by analogue mode 0"},
                 {1, "5 analogue max, selected by analogue mode 1"},
                 {2, "5 analogue min, selected by analogue mode 2"},
                 {3, "5 analogue max, selected by analogue mode 3"},
                 {4, "5 analogue min, selected by analogue mode 4"}};
    for (const auto &c : cases) {
        SetCtrlVal(panelPopUp, RING_AnaMode, c.anaMode);
        const QString trend =
            window::ToolTipKey::shownText(rt::controlWidget(panelHandle, STRIP_Trend));
        EXPECT_TRUE(trend.contains(QLatin1String(c.trace5))) << c.trace5;
    }
    SetCtrlVal(panelPopUp, RING_AnaMode, 0);
}

struct MarkCase {
    int *panel;
    int control;
    const char *inside, *outside;
};
void PrintTo(const MarkCase &c, std::ostream *out) {
    *out << "control " << c.control << ", " << c.inside << " / " << c.outside;
}

class OutOfRangeMarks : public Glance, public testing::WithParamInterface<MarkCase> {};

TEST_P(OutOfRangeMarks, AValueTheSensorDoesNotAcceptIsMarkedAsTyped) {
    const MarkCase &c = GetParam();
    ForEachRangeBound(MarkOutOfRange);
    DisplayPanel(panelPopUp);
    auto *spin = qobject_cast<QAbstractSpinBox *>(rt::controlWidget(*c.panel, c.control));
    ASSERT_NE(spin, nullptr);
    const auto type = [spin](const char *text) {
        spin->setFocus();
        spin->selectAll();
        QTest::keyClicks(spin, text);
        Settle();
    };
    const QColor normal = spin->palette().color(QPalette::Base);
    const auto reddened = [spin] {
        const QColor base = spin->palette().color(QPalette::Base);
        return base.red() > base.green() + 20 && base.red() > base.blue() + 20;
    };
    type(c.outside);
    EXPECT_TRUE(spin->property("outOfRange").toBool());
    EXPECT_TRUE(reddened()) << "a value outside turns the field red";
    EXPECT_TRUE(window::ToolTipKey::shownText(spin).contains("the range the sensor accepts"));
    EXPECT_EQ(CtrlInt(*c.panel, c.control), std::stoi(c.outside)); // kept as typed
    type(c.inside);
    EXPECT_FALSE(spin->property("outOfRange").toBool());
    EXPECT_EQ(spin->palette().color(QPalette::Base), normal);
    EXPECT_FALSE(window::ToolTipKey::shownText(spin).contains("the range the sensor accepts"));
    type(c.outside);
    SetCtrlVal(*c.panel, c.control, std::stoi(c.inside)); // the program writes a checked value
    EXPECT_FALSE(spin->property("outOfRange").toBool());
}

INSTANTIATE_TEST_SUITE_P(Bounds, OutOfRangeMarks,
                         testing::Values(MarkCase{&panelHandle, NEDITPower, "1000", "1001"},
                                         MarkCase{&panelHandle, NEDITVideoThreshold, "1023",
                                                  "1024"},
                                         MarkCase{&panelHandle, NEDITEdgeLeft, "1024", "1025"},
                                         MarkCase{&panelPopUp, NEDITBVal, "1023", "1024"},
                                         MarkCase{&panelPopUp, NEDITTeach, "1024", "1025"}),
                         [](const testing::TestParamInfo<MarkCase> &info) {
                             return "control" + std::to_string(info.param.control);
                         });

} // namespace

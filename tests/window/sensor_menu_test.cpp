// The Sensor menu against the scripted sensor: its keys start and stop the
// loops and send on the wire as clicks do, and a dimmed button's key does
// nothing.
#include "tests/display/display_test_support.h"

#include <QAction>
#include <QMenu>
#include <QTest>

#include <chrono>

#include "link/exchange_guard.h"
#include "link/telegram.h"
#include "window/menu_bar.h"
#include "window/sensor_menu.h"

using namespace display_test;
using namespace std::chrono_literals;

namespace {

constexpr int BTNSend = 42; // buttons known to the program only by their callbacks
constexpr int ButtonTeach = 43;

class SensorMenu : public SensorTest {
  protected:
    void SetUp() override {
        SensorTest::SetUp();
        if (HasFatalFailure())
            return;
        AttachSensorMenu(panelHandle);
        window()->activateWindow();
        Settle();
    }
    static QWidget *window() { return rt::panelWidget(panelHandle); }
    static void press(QKeySequence key) {
        QTest::keyClick(window(), key[0].key(), key[0].keyboardModifiers());
        Settle();
    }
    void expectLineSilent() {
        Settle();
        std::this_thread::sleep_for(200ms);
        Settle();
        EXPECT_TRUE(sensor->receivedBytes().empty());
    }
};

struct ItemRow {
    const char *text;
    const char *key;
    const char *control;
};

TEST_F(SensorMenu, EveryItemShowsItsKeyInTheMenuAndInItsControlsTooltip) {
    const ItemRow rows[] = {
        {"Run", "F5", "BTNRun"},
        {"Data", "F6", "BTNData"},
        {"Stop", "Esc", "BTNStop"},
        {"Send", "F7", "BTNSend"},
        {"Get", "F8", "BTNGet"},
        {"Teach", "Ctrl+T", "ButtonTeach"},
        {"Reset Max/Min", "Ctrl+R", "ButtonReset"},
        {"COM port...", "Ctrl+P", "DropDCom"},
    };
    QMenu *menu = window::menu(window(), window::TopMenu::Sensor);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), static_cast<qsizetype>(std::size(rows)));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const QAction *item = menu->actions()[static_cast<qsizetype>(i)];
        const QKeySequence key(QLatin1String(rows[i].key));
        EXPECT_EQ(item->text().remove(QLatin1Char('&')), QLatin1String(rows[i].text));
        EXPECT_EQ(item->shortcut(), key) << rows[i].text;
        const QString tip =
            window()->findChild<QWidget *>(QLatin1String(rows[i].control))->toolTip();
        const QString shown = QStringLiteral("(%1)").arg(key.toString(QKeySequence::NativeText));
        EXPECT_TRUE(tip.endsWith(shown)) << qPrintable(tip);
        EXPECT_EQ(tip.count(shown), 1) << qPrintable(tip);
        EXPECT_GT(tip.size(), shown.size()) << "the form's tooltip was lost";
    }
}

TEST_F(SensorMenu, F5StartsTheLiveLoopOnTheWireAndEscStopsIt) {
    sensor->script(sim::order::Frame, Frame{}.reply());
    bool escPressed = false;
    Poller user([&] {
        if (CountOrders(sim::order::Frame) < 3)
            return false;
        QTest::keyClick(window(), Qt::Key_Escape);
        escPressed = true;
        return true;
    });
    SafetyStop safety(5000);
    press(QKeySequence(Qt::Key_F5));
    EXPECT_FALSE(safety.fired()) << "Esc did not stop the loop";
    EXPECT_TRUE(escPressed);
    EXPECT_GE(CountOrders(sim::order::Frame), 3u);
    EXPECT_EQ(stop_flag, 1);
    EXPECT_FALSE(AnyBusyDimmed());
}

TEST_F(SensorMenu, F7SendsOrderOneWithThePanelValues) {
    SetCtrlVal(panelHandle, NEDITPower, 777);
    SetCtrlVal(panelPopUp, NEDITBVal, 99);
    press(QKeySequence(Qt::Key_F7));
    ASSERT_TRUE(sensor->waitForRequests(1, 2000ms));
    const sim::Telegram request = sensor->requests().front();
    EXPECT_EQ(sim::requestOrder(request), sim::order::WriteRam);
    const sim::Words words = sim::dataWords(request);
    EXPECT_EQ(words[0], 777);
    EXPECT_EQ(words[3], 99);
    EXPECT_EQ(words[15], para15);
    EXPECT_EQ(StatusText(), "Line Ok!");
}

TEST_F(SensorMenu, TheSendButtonsOwnKeyboardActivationStillSendsNothing) {
    QWidget *send = rt::controlWidget(panelHandle, BTNSend);
    send->setFocus();
    QTest::keyClick(send, Qt::Key_Space);
    expectLineSilent();
}

struct DimmedRow {
    int key;
    int control;
};

TEST_F(SensorMenu, TheKeyOfADimmedButtonDoesNothing) {
    sensor->script(sim::order::Frame, Frame{}.reply());
    const DimmedRow rows[] = {
        {Qt::Key_F5, CTRL_Busy1}, {Qt::Key_F6, CTRL_Busy2}, {Qt::Key_F8, CTRL_Busy3}};
    QMenu *menu = window::menu(window(), window::TopMenu::Sensor);
    for (const DimmedRow &row : rows) {
        SetCtrlAttribute(panelHandle, row.control, ATTR_DIMMED, 1);
        Settle();
        for (QAction *item : menu->actions())
            if (item->shortcut() == QKeySequence(row.key)) {
                EXPECT_FALSE(item->isEnabled()) << item->text().toStdString();
            }
        QTest::keyClick(window(), static_cast<Qt::Key>(row.key));
        Settle();
        SetCtrlAttribute(panelHandle, row.control, ATTR_DIMMED, 0);
    }
    expectLineSilent();
    EXPECT_EQ(stop_flag, 1);
}

TEST_F(SensorMenu, TeachFromTheKeyboardIsRefusedWhileALoopRuns) {
    sensor->script(sim::order::Frame, Frame{}.reply());
    std::string duringLoop;
    Poller user([&] {
        if (CountOrders(sim::order::Frame) < 3)
            return false;
        if (duringLoop.empty()) {
            QTest::keyClick(window(), Qt::Key_T, Qt::ControlModifier);
            duringLoop = "pressed";
            return false;
        }
        duringLoop = StatusText();
        QTest::keyClick(window(), Qt::Key_Escape);
        return true;
    });
    SafetyStop safety(5000);
    press(QKeySequence(Qt::Key_F5));
    EXPECT_FALSE(safety.fired());
    EXPECT_EQ(duringLoop, "Busy - press Stop or wait!");
    for (std::uint16_t order : sensor->orders())
        EXPECT_EQ(order, sim::order::Frame) << "a teach request went out during the loop";
}

TEST_F(SensorMenu, CtrlPFocusesTheComPortSelector) {
    press(QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_EQ(QApplication::focusWidget(), rt::controlWidget(panelHandle, DropDCom));
}

} // namespace

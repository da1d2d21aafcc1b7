// The Sensor menu against the scripted sensor: each key is named in its
// control's tooltip, F7 sends the panels' values, a dimmed button's key does
// nothing. What every item does on the wire: menu_effects_test.
#include "tests/display/display_test_support.h"

#include <QAction>
#include <QMenu>
#include <QTest>

#include <chrono>

#include "menus/menu_bar.h"
#include "menus/sensor_menu.h"

using namespace display_test;
using namespace std::chrono_literals;

namespace {

class SensorMenu : public SensorTest {
  protected:
    void SetUp() override {
        SensorTest::SetUp();
        AttachSensorMenu(panelHandle);
        window()->activateWindow();
        Settle();
    }
    static QWidget *window() { return rt::panelWidget(panelHandle); }
    static QMenu *menu() { return window::menu(window(), window::TopMenu::Sensor); }
};

TEST_F(SensorMenu, EveryItemShowsItsKeyInTheMenuAndInItsControlsTooltip) {
    const struct {
        const char *text, *key, *control;
    } rows[] = {{"Run", "F5", "BTNRun"},
                {"Data", "F6", "BTNData"},
                {"Stop", "Esc", "BTNStop"},
                {"Send", "F7", "BTNSend"},
                {"Get", "F8", "BTNGet"},
                {"Teach", "Ctrl+T", "ButtonTeach"},
                {"Reset Max/Min", "Ctrl+R", "ButtonReset"},
                {"COM port...", "Ctrl+P", "DropDCom"},
                {"CCD settings", "Ctrl+I", "BTN_CCDSettings"}};
    ASSERT_EQ(menu()->actions().size(), static_cast<qsizetype>(std::size(rows)));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const QAction *item = menu()->actions()[static_cast<qsizetype>(i)];
        const QKeySequence key(QLatin1String(rows[i].key));
        EXPECT_EQ(item->text().remove(QLatin1Char('&')), QLatin1String(rows[i].text));
        EXPECT_EQ(item->shortcut(), key) << rows[i].text;
        const QString tip =
            window()->findChild<QWidget *>(QLatin1String(rows[i].control))->toolTip();
        const QString shown = QStringLiteral("(%1)").arg(key.toString(QKeySequence::NativeText));
        EXPECT_TRUE(tip.endsWith(shown) && tip.count(shown) == 1 && tip.size() > shown.size())
            << qPrintable(tip);
    }
}

TEST_F(SensorMenu, F7SendsOrderOneWithThePanelValues) {
    SetCtrlVal(panelHandle, NEDITPower, 777);
    SetCtrlVal(panelPopUp, NEDITBVal, 99);
    QTest::keyClick(window(), Qt::Key_F7);
    Settle();
    ASSERT_TRUE(sensor->waitForRequests(1, 2000ms));
    const sim::Telegram request = sensor->requests().front();
    EXPECT_EQ(sim::requestOrder(request), sim::order::WriteRam);
    EXPECT_EQ(sim::dataWords(request)[0], 777);
    EXPECT_EQ(sim::dataWords(request)[3], 99);
}

TEST_F(SensorMenu, TheKeyOfADimmedButtonDoesNothing) {
    sensor->script(sim::order::Frame, Frame{}.reply());
    const std::pair<Qt::Key, int> rows[] = {
        {Qt::Key_F5, CTRL_Busy1}, {Qt::Key_F6, CTRL_Busy2}, {Qt::Key_F8, CTRL_Busy3}};
    for (const auto &[key, control] : rows) {
        SetCtrlAttribute(panelHandle, control, ATTR_DIMMED, 1);
        Settle();
        for (QAction *item : menu()->actions())
            EXPECT_TRUE(item->shortcut() != QKeySequence(key) || !item->isEnabled());
        QTest::keyClick(window(), key);
        Settle();
        SetCtrlAttribute(panelHandle, control, ATTR_DIMMED, 0);
    }
    std::this_thread::sleep_for(200ms);
    Settle();
    EXPECT_TRUE(sensor->receivedBytes().empty());
}

} // namespace

// The CCD settings window on the real panels: where it opens, that its
// close button and Esc hide it as the CCD-settings button does, and that it
// comes back where the user put it, also in the next run.
#include "tests/display/display_test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QTest>

#include "params/ccd_settings_panel.h"
#include "tests/window/temp_settings.h"
#include "window/ccd_window.h"
#include "window/settings.h"

using namespace display_test;

namespace {

class CcdWindow : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        if (HasFatalFailure())
            return;
        hidePopUp = 1;
        AttachCCDWindow(panelHandle, panelPopUp, HideCCDSettings);
    }
    static QWidget *ccd() { return rt::panelWidget(panelPopUp); }
    static QWidget *mainWindow() { return rt::panelWidget(panelHandle); }
    static void clickCcdButton() {
        QTest::mouseClick(mainWindow()->findChild<QWidget *>(QStringLiteral("BTN_CCDSettings")),
                          Qt::LeftButton);
        Settle();
    }
    static QRect onScreen(const char *name) {
        const auto *w = mainWindow()->findChild<QWidget *>(QLatin1String(name));
        return w ? QRect(w->mapToGlobal(QPoint(0, 0)), w->size()) : QRect();
    }
    // A new run: the panels loaded afresh, the window attached again.
    void restart() {
        DiscardPanel(panelPopUp);
        DiscardPanel(panelHandle);
        Settle();
        PanelTest::SetUp();
        hidePopUp = 1;
        AttachCCDWindow(panelHandle, panelPopUp, HideCCDSettings);
    }

    window_test::TempSettings settings_;
};

TEST_F(CcdWindow, OpensWhollyOnTheScreenAndClearOfTheAreasInUse) {
    clickCcdButton();
    ASSERT_TRUE(ccd()->isVisible());
    const QRect frame = ccd()->frameGeometry();
    EXPECT_TRUE(mainWindow()->screen()->availableGeometry().contains(frame))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
    for (const char *area : {"GROUP_Measurement", "GROUP_Transfer", "TEXT_Status"}) {
        ASSERT_FALSE(onScreen(area).isEmpty()) << area;
        EXPECT_FALSE(frame.intersects(onScreen(area))) << "covers " << area;
    }
}

TEST_F(CcdWindow, OpensRightOfTheMainWindowWhereTheScreenHasRoom) {
    const QRect screen = mainWindow()->screen()->availableGeometry();
    // Most of the main window left of the screen leaves room on its right.
    mainWindow()->move(screen.left() - mainWindow()->frameGeometry().width() + 300, screen.top());
    Settle();
    clickCcdButton();
    const QRect frame = ccd()->frameGeometry();
    EXPECT_EQ(frame.left(), mainWindow()->frameGeometry().right() + 1);
    EXPECT_TRUE(screen.contains(frame));
}

TEST_F(CcdWindow, TheCloseButtonHidesItAndTheNextClickShowsItAgain) {
    clickCcdButton();
    ASSERT_TRUE(ccd()->isVisible());
    EXPECT_TRUE(ccd()->windowFlags() & Qt::WindowCloseButtonHint);
    ccd()->close();
    Settle();
    EXPECT_FALSE(ccd()->isVisible());
    EXPECT_EQ(hidePopUp, 1);
    clickCcdButton();
    EXPECT_TRUE(ccd()->isVisible());
    EXPECT_EQ(hidePopUp, 0);
}

TEST_F(CcdWindow, EscInTheCcdWindowHidesItWithoutStoppingAnything) {
    clickCcdButton();
    ccd()->activateWindow();
    Settle();
    stop_flag = 0; // as while a loop runs: Stop would set it
    QTest::keyClick(ccd(), Qt::Key_Escape);
    Settle();
    EXPECT_EQ(stop_flag, 0);
    stop_flag = 1;
    EXPECT_FALSE(ccd()->isVisible());
    EXPECT_EQ(hidePopUp, 1);
}

TEST_F(CcdWindow, ComesBackWhereTheUserPutItAlsoInTheNextRun) {
    clickCcdButton();
    const QPoint put(31, 47);
    ccd()->move(put);
    Settle();
    clickCcdButton(); // hidden
    clickCcdButton(); // shown again
    EXPECT_EQ(ccd()->pos(), put);
    clickCcdButton();
    restart();
    clickCcdButton();
    EXPECT_EQ(ccd()->pos(), put);
}

TEST_F(CcdWindow, APositionOffTheScreenIsBroughtBackOntoIt) {
    window::saveCcdWindowPosition(QPoint(20000, -5000));
    restart();
    clickCcdButton();
    EXPECT_TRUE(mainWindow()->screen()->availableGeometry().contains(ccd()->frameGeometry()));
}

TEST_F(CcdWindow, ADamagedSettingsFileGivesTheFirstPlacementAndIsReplacedOnSave) {
    clickCcdButton();
    const QPoint first = ccd()->pos();
    clickCcdButton();
    QDir().mkpath(QFileInfo(settings_.file()).path());
    QFile file(settings_.file());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x01\xff[ccdSettingsWindow\nposition=@Point(garbage\n\x00\x00zz=\n", 48);
    file.close();
    restart();
    clickCcdButton();
    EXPECT_EQ(ccd()->pos(), first);
    const QPoint put(40, 60);
    ccd()->move(put);
    clickCcdButton();
    ASSERT_TRUE(window::savedCcdWindowPosition().has_value());
    EXPECT_EQ(*window::savedCcdWindowPosition(), put);
}

} // namespace

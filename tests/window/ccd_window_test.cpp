// The CCD settings window on the real panels: where it opens, that its
// close button and Esc hide it as the CCD-settings button does, and that it
// comes back where the user put it, also in the next run.
#include "tests/display/display_test_support.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>

#include "params/ccd_settings_panel.h"
#include "tests/window/temp_settings.h"
#include "window/ccd_window.h"
#include "window/main_window_place.h"
#include "window/wheel_guard.h"

using namespace display_test;

namespace {

class CcdWindow : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        hidePopUp = 1;
        AttachCCDWindow(panelHandle, panelPopUp, HideCCDSettings);
    }
    // A new run: the panels loaded afresh, the window attached again.
    void restart() {
        PanelTest::TearDown();
        SetUp();
    }
    static QWidget *ccd() { return rt::panelWidget(panelPopUp); }
    static QWidget *mainWindow() { return rt::panelWidget(panelHandle); }
    static QRect screen() { return mainWindow()->screen()->availableGeometry(); }
    // As a user clicks it: in the main window, which is then the active one.
    static void clickCcdButton() {
        mainWindow()->show();
        mainWindow()->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(mainWindow()));
        QTest::mouseClick(mainWindow()->findChild<QWidget *>(QStringLiteral("BTN_CCDSettings")),
                          Qt::LeftButton);
        Settle();
    }
    static QRect onScreen(const char *name) {
        const auto *w = mainWindow()->findChild<QWidget *>(QLatin1String(name));
        return QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
    }

    window_test::TempSettings settings_;
};

TEST_F(CcdWindow, OpensWhollyOnTheScreenAndClearOfTheAreasInUse) {
    clickCcdButton();
    const QRect frame = ccd()->frameGeometry();
    EXPECT_TRUE(screen().contains(frame));
    for (const char *area : {"GROUP_Measurement", "GROUP_Transfer", "TEXT_Status"})
        EXPECT_FALSE(frame.intersects(onScreen(area))) << "covers " << area;
}

TEST_F(CcdWindow, OpensRightOfTheMainWindowWhereTheScreenHasRoom) {
    // Most of the main window left of the screen leaves room on its right.
    mainWindow()->move(screen().left() - mainWindow()->frameGeometry().width() + 300, 0);
    Settle();
    clickCcdButton();
    EXPECT_EQ(ccd()->frameGeometry().left(), mainWindow()->frameGeometry().right() + 1);
    EXPECT_TRUE(screen().contains(ccd()->frameGeometry()));
}

TEST_F(CcdWindow, TheCloseButtonAndEscHideItAndTheNextClickShowsItAgain) {
    EXPECT_TRUE(ccd()->windowFlags() & Qt::WindowCloseButtonHint);
    for (bool byEsc : {false, true}) {
        clickCcdButton();
        ASSERT_TRUE(ccd()->isVisible());
        stop_flag = 0; // as while a loop runs: Stop would set it
        if (byEsc) {
            // Shown, it has the keys: Esc goes where the focus is.
            EXPECT_TRUE(QTest::qWaitFor([] {
                return QApplication::focusWidget() &&
                       QApplication::focusWidget()->window() == ccd();
            }));
            ASSERT_NE(QApplication::focusWidget(), nullptr);
            EXPECT_EQ(QApplication::focusWidget()->window(), ccd());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        } else {
            ccd()->close();
        }
        Settle();
        EXPECT_EQ(stop_flag, 0) << "Esc in the CCD window stopped the loop";
        stop_flag = 1;
        EXPECT_FALSE(ccd()->isVisible());
        EXPECT_EQ(hidePopUp, 1);
    }
    clickCcdButton();
    EXPECT_TRUE(ccd()->isVisible());
}

// The offscreen platform of these tests gives every window it shows the
// keys; an X server without a window manager gives them to none, so there
// the window has them only because it takes them. The test above runs once
// more in a child process on a virtual X server.
TEST_F(CcdWindow, TakesTheKeysAlsoOnAnXServerThatGivesThemToNoWindow) {
    if (qEnvironmentVariableIsSet("VEXA_CHILD_ON_X"))
        GTEST_SKIP() << "the child runs the test above only";
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        GTEST_SKIP() << "no Xvfb";
    QProcess server;
    server.start(xvfb,
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("1366x768x24"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp")});
    ASSERT_TRUE(server.waitForReadyRead(10000)) << "Xvfb did not start";
    QTest::qWait(100);
    const QString display = QString::fromLatin1(server.readAllStandardOutput()).trimmed();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + display);
    env.insert(QStringLiteral("VEXA_CHILD_ON_X"), QStringLiteral("1"));
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=CcdWindow.TheCloseButtonAndEscHide*")});
    const bool ended = child.waitForFinished(60000);
    const QByteArray said = child.readAll();
    server.terminate();
    server.waitForFinished(5000);
    ASSERT_TRUE(ended);
    EXPECT_EQ(child.exitCode(), 0) << said.toStdString();
    EXPECT_TRUE(said.contains("[  PASSED  ] 1 test")) << said.toStdString();
}

TEST_F(CcdWindow, ComesBackWhereTheUserPutItAlsoInTheNextRun) {
    clickCcdButton();
    const QPoint put(31, 47);
    ccd()->move(put);
    clickCcdButton(); // hidden
    clickCcdButton(); // shown again
    EXPECT_EQ(ccd()->pos(), put);
    restart();
    clickCcdButton();
    EXPECT_EQ(ccd()->pos(), put);
}

TEST_F(CcdWindow, ADamagedSettingsFileGivesTheFirstPlacementAndIsReplacedOnSave) {
    clickCcdButton();
    const QPoint first = ccd()->pos();
    QDir().mkpath(QFileInfo(settings_.file()).path());
    QFile file(settings_.file());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x01\xff[ccdSettingsWindow\nposition=@Point(garbage\n\x00\x00zz=\n", 48);
    file.close();
    restart();
    clickCcdButton();
    EXPECT_EQ(ccd()->pos(), first);
    ccd()->move(QPoint(40, 60));
    restart();
    clickCcdButton();
    EXPECT_EQ(ccd()->pos(), QPoint(40, 60));
}

TEST_F(CcdWindow, TheMainWindowComesBackWithItsSizePlaceAndMaximisedState) {
    // The test's screen (800x600) is smaller than the panels' least size:
    // here the window may be smaller, so that Qt need not move it.
    const auto attach = [] {
        mainWindow()->layout()->setSizeConstraint(QLayout::SetNoConstraint);
        mainWindow()->setMinimumSize(0, 0);
        window::keepMainWindowPlace(mainWindow());
    };
    const QRect put(40, 30, 600, 450);
    attach();
    for (bool maximised : {false, true}) {
        mainWindow()->show();
        mainWindow()->setGeometry(put);
        if (maximised)
            mainWindow()->showMaximized();
        Settle();
        mainWindow()->close();
        restart();
        attach();
        mainWindow()->show();
        Settle();
        EXPECT_EQ(mainWindow()->isMaximized(), maximised);
        if (!maximised) {
            EXPECT_EQ(mainWindow()->geometry(), put);
        }
    }
}

// The wheel over a numeric changes it only once the numeric has the focus;
// before, the wheel is eaten and reaches nothing behind it either.
TEST_F(CcdWindow, TheWheelChangesANumericOnlyWhenItHasTheFocus) {
    window::guardWheel();
    QWidget *main = mainWindow();
    main->show();
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    QAbstractSpinBox *numeric = nullptr;
    for (auto *spin : main->findChildren<QAbstractSpinBox *>())
        if (spin->isVisible() && spin->isEnabled() && !spin->isReadOnly()) {
            numeric = spin;
            break;
        }
    ASSERT_NE(numeric, nullptr);
    EXPECT_EQ(numeric->focusPolicy(), Qt::StrongFocus);
    for (bool focused : {false, true}) {
        if (focused)
            numeric->setFocus(Qt::MouseFocusReason);
        else
            main->setFocus();
        const QString before = numeric->text();
        const QPoint at = numeric->rect().center();
        QWheelEvent wheel(at, numeric->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(numeric, &wheel);
        Settle();
        EXPECT_EQ(numeric->text() != before, focused) << numeric->objectName().toStdString();
    }
}

} // namespace

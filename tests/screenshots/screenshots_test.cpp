// Makes the README's pictures of the whole program with the Run loop running
// (one test a process, as scripts/screenshots runs them), each when asked:
//   VEXA_SIM_DEVICE=<the pty vexa-sim prints> VEXA_SCOPE_SCREENSHOT=<png>
//     the trend zoomed by the wheel, cursors A and B placed by clicks, and
//     View > Statistics beside the window, both in one picture;
//   VEXA_SIMULATED_SCREENSHOT=<png>
//     the window after "Simulated sensor" was picked in the COM selector.
// Skipped otherwise.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <qcustomplot.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <vector>

#include "app/program.h"
#include "link/exchange_guard.h"
#include "menus/menu_bar.h"
#include "ports/ports.h"
#include "readouts/plot_readout.h"
#include "runtime/runtime.h"
#include "runtime/widget_access.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "statistics/statistics_window.h"
#include "tests/window/temp_settings.h"

namespace {

using Step = std::function<void(QWidget *)>;

// Runs the program with COM1 on `device`; `pick` picks the port, then, once
// the sensor is connected and idle, Run is clicked, the `steps` run five
// seconds into the loop (the trend chart full) and 0.6 s apart, and the
// window closes as by the user. The steps wait on timers, never in them: a
// connect exchange and the loop run events while they wait.
void runLoop(const char *device, const Step &pick, const std::vector<Step> &steps) {
    window_test::TempSettings settings;
    SetComDevice(1, device);
    QTimer::singleShot(0, [&] { pick(rt::panelWidget(panelHandle)); });
    std::function<void(std::size_t)> run = [&](std::size_t step) {
        QWidget *main = rt::panelWidget(panelHandle);
        if (step == steps.size())
            return static_cast<void>(main->close());
        steps[step](main);
        QTimer::singleShot(600, main, [&run, step] { run(step + 1); });
    };
    QTimer idle;
    int polls = 0; // 15 s at most
    QObject::connect(&idle, &QTimer::timeout, [&] {
        QWidget *main = rt::panelWidget(panelHandle);
        const bool connected = main->windowTitle().endsWith("connected") && !SensorBusy();
        if (!connected && ++polls < 300)
            return;
        idle.stop();
        EXPECT_TRUE(connected) << main->windowTitle().toStdString();
        QTimer::singleShot(connected ? 5000 : 0, main,
                           [&, connected] { run(connected ? 0 : steps.size()); });
        if (connected)
            main->findChild<QAbstractButton *>(QStringLiteral("BTNRun"))->click(); // the loop
    });
    idle.start(50);
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 1), 0);
}

void wheel(QWidget *plot, QPoint at) { // one notch away from the user
    QWheelEvent turn(at, plot->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &turn);
}

TEST(Screenshots, ScopeToolsAgainstVexaSim) {
    const char *device = std::getenv("VEXA_SIM_DEVICE");
    const char *shot = std::getenv("VEXA_SCOPE_SCREENSHOT");
    if (!device || !shot)
        GTEST_SKIP() << "VEXA_SIM_DEVICE and VEXA_SCOPE_SCREENSHOT not set";
    const Step zoomAndMeasure = [](QWidget *main) {
        auto *trend = qobject_cast<QCustomPlot *>(rt::controlWidget(panelHandle, STRIP_Trend));
        // A point at `share` of the x axis shown, on the newest measured value.
        const auto at = [trend](double share) {
            const QCPRange x = trend->xAxis->range();
            return QPoint(qRound(trend->xAxis->coordToPixel(x.lower + share * x.size())),
                          qRound(trend->yAxis->coordToPixel(Mvalue)));
        };
        for (int notch = 0; notch < 3; ++notch)
            wheel(trend, at(0.75));
        QTest::mouseClick(trend, Qt::LeftButton, {}, at(0.3));
        QTest::mouseClick(trend, Qt::LeftButton, {}, at(0.8));
        EXPECT_LT(trend->xAxis->range().size(), 60) << "zoomed";
        EXPECT_TRUE(trend->findChild<readouts::PlotReadout *>()->measureText().contains("\u0394"))
            << "both cursors and their differences";
        window::menu(main, window::TopMenu::View)
            ->findChild<QAction *>(QStringLiteral("actionStatistics"))
            ->trigger();
    };
    const Step grabBoth = [shot](QWidget *main) {
        QWidget *statistics = main->findChild<statistics::StatisticsWindow *>();
        ASSERT_TRUE(statistics && statistics->isVisible());
        // Side by side, their tops aligned.
        const QPixmap left = main->grab(), right = statistics->grab();
        const int gap = 12;
        QPixmap both(left.width() + gap + right.width(), std::max(left.height(), right.height()));
        both.fill(main->palette().color(QPalette::Dark));
        {
            QPainter painter(&both);
            painter.drawPixmap(0, 0, left);
            painter.drawPixmap(left.width() + gap, 0, right);
        }
        EXPECT_TRUE(both.save(QString::fromLocal8Bit(shot)));
    };
    runLoop(device, [](QWidget *) {}, {zoomAndMeasure, grabBoth});
}

TEST(Screenshots, SimulatedSensorPickedInTheComSelector) {
    const char *shot = std::getenv("VEXA_SIMULATED_SCREENSHOT");
    if (!shot)
        GTEST_SKIP() << "VEXA_SIMULATED_SCREENSHOT not set";
    qputenv("PATH", QByteArray(VEXA_APP_DIR) + ':' + qgetenv("PATH"));
    const Step pickSimulated = [](QWidget *) {
        auto *selector = qobject_cast<QComboBox *>(rt::controlWidget(panelHandle, DropDCom));
        { // Down from the entry before it, as the user picks it.
            const QSignalBlocker quiet(selector);
            selector->setCurrentIndex(SIMULATED_PORT - 2);
        }
        QTest::keyClick(selector, Qt::Key_Down);
        EXPECT_EQ(selector->currentText().toStdString(), "Simulated sensor");
    };
    const Step grab = [shot](QWidget *main) {
        EXPECT_TRUE(main->windowTitle().contains("(simulated)"))
            << main->windowTitle().toStdString();
        EXPECT_TRUE(main->grab().save(QString::fromLocal8Bit(shot)));
    };
    runLoop("/nonexistent/vexa-test-com1", pickSimulated, {grab});
}

} // namespace

// Trying the program without a sensor, through the whole program in-process
// (once a process, as ctest runs each test):
// "Simulated sensor" starts the installed vexa-sim as a child and connects to
// it, the child ends when another port opens and when the window closes, and
// a start on a machine without a serial port says what to do.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

#include "app/program.h"
#include "ports/port_catalog.h"
#include "ports/ports.h"
#include "runtime/runtime.h"
#include "runtime/widget_access.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "tests/window/temp_settings.h"

namespace {

// The vexa-sim processes among this process's children.
int simChildren() {
    int count = 0;
    for (const QString &task :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(QStringLiteral("/proc/self/task/%1/children").arg(task));
        if (!children.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &pid : children.readAll().split(' ')) {
            QFile comm(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(pid.trimmed())));
            if (!pid.trimmed().isEmpty() && comm.open(QIODevice::ReadOnly) &&
                comm.readAll().trimmed() == "vexa-sim")
                ++count;
        }
    }
    return count;
}

QString text(int panel, int control) {
    char value[1024] = {};
    GetCtrlVal(panel, control, value);
    return QString::fromLatin1(value);
}

QString windowNote() {
    auto *bar = rt::panelWidget(panelHandle)->findChild<QStatusBar *>(QStringLiteral("statusBar"));
    return bar ? bar->currentMessage() : QString();
}

// Runs the program with COM1 on a device that is not there; `user` acts in
// its event loop and closes the window.
void runProgram(const std::function<void(QWidget *, QComboBox *)> &user) {
    SetComDevice(1, "/nonexistent/vexa-test-com1");
    QTimer::singleShot(0, [&user] {
        QWidget *main = rt::panelWidget(panelHandle);
        user(main, qobject_cast<QComboBox *>(rt::controlWidget(panelHandle, DropDCom)));
        main->close();
    });
    EXPECT_EQ(WinMain(nullptr, nullptr, nullptr, 1), 0);
}

// A pick with the arrow key from the entry before `row`.
void pickWithKeyDown(QComboBox *selector, int row) {
    {
        const QSignalBlocker quiet(selector);
        selector->setCurrentIndex(row - 1);
    }
    QTest::keyClick(selector, Qt::Key_Down);
}

TEST(TryWithoutSensor, SimulatedSensorIsStartedConnectedAndEndedWithThePortAndTheWindow) {
    window_test::TempSettings settings;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    runProgram([&](QWidget *main, QComboBox *selector) {
        const int simulated = selector->findText(QStringLiteral("Simulated sensor"));
        ASSERT_EQ(simulated, SELECTOR_PORTS);
        // Without vexa-sim the selector goes back and the status bar says why.
        pickWithKeyDown(selector, simulated);
        QTest::qWait(300);
        EXPECT_EQ(selector->currentIndex(), 0) << "back on COM1, the port in use";
        EXPECT_TRUE(windowNote().contains("vexa-sim is neither beside the program nor on PATH"))
            << windowNote().toStdString();

        qputenv("PATH", QByteArray(VEXA_APP_DIR) + ':' + path);
        pickWithKeyDown(selector, simulated);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return main->windowTitle().endsWith("connected"); }, 10000));
        EXPECT_TRUE(
            main->windowTitle().contains(QStringLiteral("COM%1 (simulated)").arg(SIMULATED_PORT)))
            << main->windowTitle().toStdString();
        EXPECT_TRUE(text(panelPopUp, TEXTBOX_CCDInfo).contains("CCD-SENSOR: 1024 pixel; 7.8"));
        EXPECT_EQ(text(panelHandle, TEXT_Status), "V-EXA-TB sim firmware 1.0");
        auto *mark = main->findChild<QWidget *>(QStringLiteral("simulatedSensorMark"));
        EXPECT_TRUE(mark && mark->isVisible());
        EXPECT_EQ(simChildren(), 1);

        // Another port: the child ends.
        QTest::keyClick(selector, Qt::Key_Up);
        EXPECT_TRUE(QTest::qWaitFor([] { return simChildren() == 0; }, 5000));
        EXPECT_EQ(com, SELECTOR_PORTS);
        EXPECT_FALSE(mark && mark->isVisible());

        pickWithKeyDown(selector, simulated);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return main->windowTitle().endsWith("connected"); }, 10000));
        EXPECT_EQ(simChildren(), 1);
    });
    qputenv("PATH", path);
    EXPECT_EQ(simChildren(), 0) << "the closed window ends the child";
}

// Whether the machine has a serial port decides the start's hint (one
// start a process: each case runs alone, as ctest runs them).
class StartHint : public testing::TestWithParam<bool> {};

TEST_P(StartHint, AStartWithoutAnySerialPortSaysToPickAPortOrTheSimulatedSensor) {
    const bool anyPort = GetParam();
    window_test::TempSettings settings;
    QList<ports::FoundPort> found;
    if (anyPort)
        found.append({QStringLiteral("/dev/ttyUSB7"), QStringLiteral("ttyUSB7"), QString()});
    ports::PortCatalog::instance().setSource([found] { return found; });
    QString note;
    runProgram([&](QWidget *, QComboBox *) {
        QTest::qWait(100);
        note = windowNote();
    });
    ports::PortCatalog::instance().setSource({});
    EXPECT_EQ(note == QString::fromUtf8(NO_SENSOR_HINT), !anyPort) << note.toStdString();
}

INSTANTIATE_TEST_SUITE_P(TryWithoutSensor, StartHint, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool> &info) {
                             return info.param ? "SomePort" : "NoPort";
                         });

} // namespace

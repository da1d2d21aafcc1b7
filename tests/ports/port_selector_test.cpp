// The COM selector end to end on the real panel: its entries show what stands
// behind each number, an adapter plugged in after start appears when the
// user reaches for the selector, and picking an entry connects to exactly
// that device; a device that is no serial line says so in the tooltip.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include "link/connection.h"
#include "ports/port_catalog.h"
#include "ports/port_selector.h"
#include "ports/ports.h"
#include "runtime/runtime.h"
#include "runtime/widget_access.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "stream/stream.h"
#include "tests/link/link_fixture.h"
#include "tests/window/temp_settings.h"

namespace {

using namespace linktest;

// A sensor that answers the connect sequence with its own firmware text.
void ScriptWorkingSensor(sim::ScriptedSensor &sensor, const char *firmware) {
    std::vector<std::uint16_t> words(36, 0);
    for (int i = 0; firmware[i] != '\0'; ++i)
        words[i] = static_cast<unsigned char>(firmware[i]);
    sensor.script(sim::order::Echo, Reply(5));
    sensor.script(sim::order::ReadRam, Reply(2, ParameterWords()));
    sensor.script(sim::order::Firmware, FirmwareReply(words));
    sensor.script(sim::order::CcdInfo, Reply(10, {1, 1024, 0}));
}

class PortSelector : public testing::Test {
  protected:
    void SetUp() override {
        LoadPanelsOnce();
        SetStartValues();
        static bool attached = false;
        if (!attached) {
            rt::controlWidget(panelHandle, TEXT_Status)
                ->setToolTip(QStringLiteral("sensor status"));
            AttachPortSelector(panelHandle, DropDCom, TEXT_Status);
        }
        attached = true;
        selector = qobject_cast<QComboBox *>(rt::controlWidget(panelHandle, DropDCom));
        ASSERT_NE(selector, nullptr);
        com = 1;
        SetCtrlVal(panelHandle, DropDCom, 1);
        // An earlier test's pseudo-terminal path may come back for a new one.
        SetComDevice(2, "");
        SetComDevice(3, "");
    }
    void TearDown() override {
        ports::PortCatalog::instance().setSource({});
        CloseCom(com);
        ProcessFor(0.01);
    }

    void foundPorts(QList<ports::FoundPort> found) {
        ports::PortCatalog::instance().setSource([found] { return found; });
    }
    // A click on the selector opens its list; Esc closes it unpicked.
    void openAndCloseList() {
        QTest::mouseClick(selector, Qt::LeftButton);
        selector->hidePopup();
    }
    // One step with the arrow keys on the closed selector picks the entry.
    void pickWithKey(Qt::Key key) {
        QTest::keyClick(selector, key);
        ProcessFor(0.6);
    }
    QString entry(int number) const { return selector->itemText(number - 1); }
    QString statusToolTip() const { return rt::controlWidget(panelHandle, TEXT_Status)->toolTip(); }

    QComboBox *selector = nullptr;
};

TEST_F(PortSelector, ShowsFoundAdaptersWithoutRestartAndPickingOneConnectsToIt) {
    sim::ScriptedSensor onCommandLine;
    sim::ScriptedSensor plugged;
    ScriptWorkingSensor(onCommandLine, "SENSOR ON COM2");
    ScriptWorkingSensor(plugged, "SENSOR ON ADAPTER");
    SetComDevice(2, onCommandLine.slavePath().c_str());
    foundPorts({});
    openAndCloseList();
    EXPECT_EQ(entry(1), "COM1");
    EXPECT_EQ(entry(2), QString("COM2 - ") + onCommandLine.slavePath().c_str());
    EXPECT_EQ(entry(16), "COM16");

    const QString adapter = QString::fromStdString(plugged.slavePath());
    foundPorts({{adapter, QStringLiteral("ttyUSB0"), QStringLiteral("FT232R USB UART")}});
    EXPECT_EQ(entry(1), "COM1"); // nothing looks until the user reaches for the selector
    openAndCloseList();
    EXPECT_EQ(entry(1), "COM1 - ttyUSB0 (FT232R USB UART)");
    EXPECT_EQ(entry(3), "COM3");
    // Every entry says what the port map says, up to COM16 and not one past;
    // then the simulated sensor and the question for another device.
    ASSERT_EQ(selector->count(), 18);
    for (int number = 1; number <= 16; ++number)
        EXPECT_EQ(entry(number), ports::PortCatalog::instance().map().label(number)) << number;
    EXPECT_EQ(entry(17), "Simulated sensor");
    EXPECT_EQ(entry(18), "Other device...");

    // A key on the selector looks again, too.
    foundPorts({{adapter, QStringLiteral("ttyUSB0"), QStringLiteral("FT232R USB UART")},
                {QStringLiteral("/dev/ttyUSB9"), QStringLiteral("ttyUSB9"), QString()}});
    pickWithKey(Qt::Key_Down);
    EXPECT_EQ(com, 2);
    EXPECT_EQ(entry(3), "COM3 - ttyUSB9");
    ASSERT_TRUE(onCommandLine.waitForRequests(4, milliseconds(500)));
    EXPECT_EQ(CtrlText(panelHandle, TEXT_Status), "SENSOR ON COM2");
    EXPECT_TRUE(plugged.receivedBytes().empty());

    pickWithKey(Qt::Key_Up);
    EXPECT_EQ(com, 1);
    ASSERT_TRUE(plugged.waitForRequests(4, milliseconds(500)));
    EXPECT_EQ(plugged.orders().front(), sim::order::Echo);
    EXPECT_EQ(CtrlText(panelHandle, TEXT_Status), "SENSOR ON ADAPTER");
}

// The latency timers come from a sysfs tree of the test's own.
TEST_F(PortSelector, AnAdapterWhoseLatencyStaysAboveTwoMsSaysSoInItsTooltip) {
    QTemporaryDir sysfs;
    for (const auto &[name, ms] : {std::pair{"ttyUSB0", "16"}, std::pair{"ttyUSB1", "1"}}) {
        const QString dir = sysfs.filePath(QStringLiteral("class/tty/%1/device").arg(name));
        ASSERT_TRUE(QDir().mkpath(dir));
        QFile timer(dir + QStringLiteral("/latency_timer"));
        ASSERT_TRUE(timer.open(QIODevice::WriteOnly));
        timer.write(QByteArray(ms) + '\n');
    }
    qputenv("VEXA_SYSFS_ROOT", sysfs.path().toLocal8Bit());
    foundPorts({{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("ttyUSB0"), QString()},
                {QStringLiteral("/dev/ttyUSB1"), QStringLiteral("ttyUSB1"), QString()},
                {QStringLiteral("/dev/ttyUSB2"), QStringLiteral("ttyUSB2"), QString()}});
    openAndCloseList();
    qunsetenv("VEXA_SYSFS_ROOT");
    const auto tip = [this](int number) {
        return selector->itemData(number - 1, Qt::ToolTipRole).toString().toStdString();
    };
    EXPECT_EQ(tip(1), "adapter latency: 16 ms \u2014 see README");
    EXPECT_EQ(tip(2), "") << "1 ms";
    EXPECT_EQ(tip(3), "") << "no timer shown";
    EXPECT_EQ(tip(4), "") << "nothing found";
}

TEST_F(PortSelector, ADeviceThatIsNoSerialLineCannotBeOpenedAndTheTooltipSaysWhy) {
    sim::ScriptedSensor sensor;
    ScriptWorkingSensor(sensor, "SENSOR OK");
    SetComDevice(2, sensor.slavePath().c_str());
    SetComDevice(3, "/dev/null");
    foundPorts({});
    const QString ownToolTip = statusToolTip();
    EXPECT_EQ(ownToolTip, "sensor status");

    com = 2;
    SetCtrlVal(panelHandle, DropDCom, 2);
    pickWithKey(Qt::Key_Down);
    EXPECT_EQ(com, 3);
    EXPECT_EQ(CtrlText(panelHandle, TEXT_Status), "Cannot open port");
    EXPECT_EQ(statusToolTip(), "/dev/null is no serial line");

    pickWithKey(Qt::Key_Up);
    EXPECT_EQ(CtrlText(panelHandle, TEXT_Status), "SENSOR OK");
    EXPECT_EQ(statusToolTip(), ownToolTip);
}

TEST_F(PortSelector, AnOpenOfANumberWithNothingBehindItLooksForNewPortsFirst) {
    sim::ScriptedSensor plugged;
    auto found = std::make_shared<QList<ports::FoundPort>>();
    ports::PortCatalog::instance().setSource([found] { return *found; });
    EXPECT_EQ(ports::PortCatalog::instance().map().device(1), "");
    found->append(
        {QString::fromStdString(plugged.slavePath()), QStringLiteral("ttyACM0"), QString()});
    EXPECT_EQ(OpenComConfig(1, "", 19200, 0, 8, 1, 4096, 4096), 0);
    EXPECT_EQ(entry(1), "COM1 - ttyACM0");
}

TEST_F(PortSelector, EntriesAreNamedByTheirValuesNotTheirPlaces) {
    QComboBox reordered;
    reordered.addItems({QStringLiteral("a"), QStringLiteral("b")});
    reordered.setProperty("itemValues", QStringLiteral("7,1"));
    foundPorts({{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("ttyUSB0"), QString()}});
    new ports::PortSelector(&reordered);
    EXPECT_EQ(reordered.itemText(0), "COM7");
    EXPECT_EQ(reordered.itemText(1), "COM1 - ttyUSB0");
}

// "Other device..." in the open list asks for a path; the typed link to a
// sensor is connected through its own number and kept for the next start.
TEST_F(PortSelector, OtherDeviceConnectsToATypedPathAndRemembersIt) {
    window_test::TempSettings settings;
    sim::ScriptedSensor sensor;
    ScriptWorkingSensor(sensor, "SENSOR BEHIND A LINK");
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("sensor-link"));
    ASSERT_TRUE(QFile::link(QString::fromStdString(sensor.slavePath()), link));
    foundPorts({});

    QTimer typing; // types the path once the dialog is there
    QObject::connect(&typing, &QTimer::timeout, [&typing, link] {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<QDialog *>(top);
                dialog && dialog->objectName() == "otherDeviceDialog" && dialog->isVisible()) {
                dialog->findChild<QLineEdit *>(QStringLiteral("devicePath"))->setText(link);
                dialog->accept();
                typing.stop();
            }
    });
    typing.start(50);
    selector->showPopup();
    const int asking = selector->count() - 1;
    EXPECT_EQ(selector->itemText(asking), "Other device...");
    EXPECT_EQ(selector->itemText(asking - 1), "Simulated sensor");
    selector->view()->setCurrentIndex(selector->model()->index(asking, 0));
    QTest::keyClick(selector->view(), Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sensor.requests().size() >= 4; }, 5000));
    ProcessFor(0.3);
    EXPECT_EQ(com, FIRST_OTHER_PORT);
    EXPECT_EQ(CtrlText(panelHandle, TEXT_Status), "SENSOR BEHIND A LINK");
    EXPECT_EQ(selector->currentText(),
              QStringLiteral("COM%1 - %2").arg(FIRST_OTHER_PORT).arg(link));

    QComboBox nextStart;
    nextStart.addItems({QStringLiteral("a")});
    nextStart.setProperty("itemValues", QStringLiteral("1"));
    new ports::PortSelector(&nextStart);
    EXPECT_EQ(nextStart.itemText(1), QStringLiteral("COM%1 - %2").arg(FIRST_OTHER_PORT).arg(link));
    EXPECT_EQ(nextStart.property("itemValues").toString(),
              QStringLiteral("1,%1,%2,0").arg(FIRST_OTHER_PORT).arg(SIMULATED_PORT));
}

// A letter typed on the closed selector that leads to "Other device..." asks
// at once: the port in use is not opened again (which would read the
// sensor's set onto the panels over what the user typed there).
TEST_F(PortSelector, TypingTheOtherDeviceLetterAsksWithoutReopeningThePort) {
    window_test::TempSettings settings;
    foundPorts({});
    const int before = selector->currentIndex();
    int opens = 0;
    const auto counting =
        stream::programStream().portEvents.subscribe([&opens](const stream::PortEvent &e) {
            opens += e.kind == stream::PortEvent::Kind::Opened;
        });
    bool asked = false;
    QTimer cancelling;
    QObject::connect(&cancelling, &QTimer::timeout, [&] {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<QDialog *>(top);
                dialog && dialog->objectName() == "otherDeviceDialog" && dialog->isVisible()) {
                asked = true;
                dialog->reject();
            }
    });
    cancelling.start(20);
    QTest::keyClick(selector, Qt::Key_O);
    EXPECT_TRUE(QTest::qWaitFor([&] { return asked; }, 3000));
    ProcessFor(0.3);
    EXPECT_EQ(opens, 0);
    EXPECT_EQ(selector->currentIndex(), before);
}

} // namespace

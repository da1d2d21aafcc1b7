// The connect sequence end to end, the open failures, the receive callback
// and the COM-port selector.
#include <gtest/gtest.h>

#include <termios.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "link/connection.h"
#include "link/exchange_guard.h"
#include "link/transactions.h"
#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "tests/link/link_fixture.h"

namespace {

using namespace linktest;
using Orders = std::vector<std::uint16_t>;

std::string Status() {
    return CtrlText(panelHandle, TEXT_Status);
}

// The orders the sensor has recorded, once it has at least n (or after 0.5 s).
Orders OrdersAfter(const sim::ScriptedSensor &s, std::size_t n) {
    s.waitForRequests(n, milliseconds(500));
    return s.orders();
}

const sim::Words kSensorParams{800, 1, 600, 70, 0, 2, 10, 900, 400, 50, 0, 0, 1, 200, 2, 1100};

Bytes Firmware(const char *text) {
    std::vector<std::uint16_t> words(36, 0);
    for (int i = 0; text[i] != '\0' && i < 36; i++)
        words[i] = static_cast<unsigned char>(text[i]);
    return FirmwareReply(words);
}

class ConnectSequence : public LinkTest {
  protected:
    void ScriptWorkingSensor() {
        sensor.script(sim::order::Echo, Reply(5));
        sensor.script(sim::order::ReadRam, Reply(2, kSensorParams));
        sensor.script(sim::order::Firmware, Firmware("V-EXA-TB FW 2.07"));
        sensor.script(sim::order::CcdInfo, Reply(10, {3, 512, 0}));
    }
};

TEST_F(ConnectSequence, AWorkingSensorIsAskedFourOrdersInTurnAndItsFirmwareTextStays) {
    ScriptWorkingSensor();
    target = EEPROM;
    InitRS232(kPort);
    EXPECT_EQ(OrdersAfter(sensor, 4), (Orders{5, 2, 7, 10}));
    EXPECT_EQ(Status(), "V-EXA-TB FW 2.07");
    EXPECT_EQ(target, RAM);
    EXPECT_EQ(ParameterWords(), kSensorParams);
    EXPECT_EQ(CtrlInt(panelHandle, NEDITPower), 800);
    EXPECT_EQ(ccdmaxpixel, 512u);
    EXPECT_EQ(ret, 1);
    EXPECT_EQ(SensorBusy(), 0);
}

TEST_F(ConnectSequence, ASuccessfulEchoLightsTheRamButtonWithTheRamTarget) {
    ScriptWorkingSensor();
    target = EEPROM;
    SetCtrlVal(panelHandle, RBTRam, 0);
    SetCtrlVal(panelHandle, RBTEeprom, 1);
    InitRS232(kPort);
    EXPECT_EQ(target, RAM);
    EXPECT_EQ(CtrlInt(panelHandle, RBTRam), 1);
    EXPECT_EQ(CtrlInt(panelHandle, RBTEeprom), 0);
    EXPECT_EQ(CtrlInt(panelHandle, RBTFile), 0);
}

TEST_F(ConnectSequence, RepliesKeepArrivingAfterTheSequence) {
    ScriptWorkingSensor();
    InitRS232(kPort);
    sensor.clearScript();
    rx_flag = 0;
    graphrefresh = 0;
    sensor.send(Reply(8, {1, 2, 3}));
    const double end = Timer() + 1.0;
    while (rx_flag == 0 && Timer() < end)
        ProcessSystemEvents();
    EXPECT_EQ(rx_flag, 1);
    EXPECT_EQ(graphrefresh, 1);
    EXPECT_EQ(pp[2], 3u);
}

TEST_F(ConnectSequence, ANonexistentDeviceShowsNoSerialPortFoundAndSendsNothing) {
    SetComDevice(kPort, "/dev/nonexistent-vexa-port");
    InitRS232(kPort);
    EXPECT_EQ(ret, -6);
    EXPECT_EQ(Status(), "No serial port found");
    EXPECT_FALSE(sensor.waitForRequests(1, milliseconds(200)));
    EXPECT_EQ(GetInQLen(kPort), -3); // not open
}

TEST_F(ConnectSequence, AnInvalidPortNumberShowsItsText) {
    InitRS232(0);
    EXPECT_EQ(ret, -2);
    EXPECT_EQ(Status(), "Invalid port number");
}

// The settings the program's open port holds on the line (tcgetattr on its
// own descriptor of the pseudo-terminal's slave).
bool ProgramLineSettings(const std::string &slave, termios *settings) {
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) != slave || error)
            continue;
        const int fd = std::stoi(entry.path().filename().string());
        if (tcgetattr(fd, settings) == 0)
            return true;
    }
    return false;
}

TEST_F(ConnectSequence, TheLineRuns19200Baud8N1WithoutHandshake) {
    ScriptWorkingSensor();
    InitRS232(kPort);
    termios t{};
    ASSERT_TRUE(ProgramLineSettings(sensor.slavePath(), &t)) << "port not open: " << Status();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), 0u) << "parity";
    EXPECT_EQ(t.c_cflag & CSTOPB, 0u) << "two stop bits";
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u) << "RTS/CTS handshake";
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u) << "XON/XOFF handshake";
}

TEST(OpenErrors, EveryCodeHasItsText) {
    EXPECT_STREQ(OpenErrorText(-1), "Unknown system error");
    EXPECT_STREQ(OpenErrorText(-2), "Invalid port number");
    EXPECT_STREQ(OpenErrorText(-3), "Port is not open");
    EXPECT_STREQ(OpenErrorText(-4), "Unknown I/0 error");
    EXPECT_STREQ(OpenErrorText(-5), "RS-232 error!");
    EXPECT_STREQ(OpenErrorText(-6), "No serial port found");
    EXPECT_STREQ(OpenErrorText(-7), "Cannot open port");
    for (int code = -8; code >= -12; code--)
        EXPECT_STREQ(OpenErrorText(code), "RS-232 error!") << code;
    EXPECT_STREQ(OpenErrorText(-13), "Invalid parameter");
    EXPECT_STREQ(OpenErrorText(-99), "Timeout");
    EXPECT_STREQ(OpenErrorText(-10), "RS-232 error!");
    EXPECT_STREQ(OpenErrorText(-14), "RS-232 error!");
    EXPECT_STREQ(OpenErrorText(-100), "RS-232 error!");
}

TEST_F(ConnectSequence, ASilentSensorGetsTheEchoAndCcdRequestsOnly) {
    const double t0 = Timer();
    InitRS232(kPort);
    const double elapsed = Timer() - t0;
    EXPECT_EQ(OrdersAfter(sensor, 2), (Orders{5, 10}));
    EXPECT_EQ(Status(), "Error reading CCD-info");
    EXPECT_GT(elapsed, 3.0);
    EXPECT_LT(elapsed, 3.6);
}

TEST_F(ConnectSequence, AWrongEchoHeaderSkipsParametersAndFirmwareButKeepsItsMessage) {
    ScriptWorkingSensor();
    sensor.script(sim::order::Echo, Reply(5, {}, 0x0055));
    InitRS232(kPort);
    EXPECT_EQ(OrdersAfter(sensor, 2), (Orders{5, 10}));
    EXPECT_EQ(Status(), "read error - not sync byte 0xAA!");
    EXPECT_EQ(ccdmaxpixel, 512u);
}

TEST_F(ConnectSequence, AShortFirmwareReplyIsReportedAndTheCcdIsStillRead) {
    ScriptWorkingSensor();
    Bytes reply = Firmware("V-EXA");
    reply.resize(40);
    sensor.script(sim::order::Firmware, reply);
    InitRS232(kPort);
    EXPECT_EQ(OrdersAfter(sensor, 4), (Orders{5, 2, 7, 10}));
    EXPECT_EQ(Status(), "Error reading firmware-info!");
    EXPECT_EQ(ccdmaxpixel, 512u);
}

TEST_F(ConnectSequence, SeventyThreeFirmwareBytesPassTheFirmwareStep) {
    ScriptWorkingSensor();
    Bytes reply = Firmware("V-EXA");
    reply.push_back(0);
    sensor.script(sim::order::Firmware, reply);
    InitRS232(kPort);
    EXPECT_EQ(OrdersAfter(sensor, 4), (Orders{5, 2, 7, 10}));
    EXPECT_EQ(Status(), "Parameter-frame received! - Line Ok!");
}

TEST_F(ConnectSequence, AWrongCcdEchoEndsWithTheCcdError) {
    ScriptWorkingSensor();
    sensor.script(sim::order::CcdInfo, Reply(9, {3, 512, 0}));
    InitRS232(kPort);
    EXPECT_EQ(OrdersAfter(sensor, 4), (Orders{5, 2, 7, 10}));
    EXPECT_EQ(Status(), "Error reading CCD-info");
    EXPECT_EQ(ret, 0);
}

TEST_F(ConnectSequence, AFailedEchoWithAWorkingCcdKeepsTheTimeOutText) {
    sensor.script(sim::order::CcdInfo, Reply(10, {1, 1024, 0}));
    InitRS232(kPort);
    EXPECT_EQ(OrdersAfter(sensor, 2), (Orders{5, 10}));
    EXPECT_EQ(Status(), "Timeout-RS-232...");
}

// ---- receive callback ------------------------------------------------------------

class ReceivePath : public LinkTest {
  protected:
    void SetUp() override {
        LinkTest::SetUp();
        OpenLine();
    }
    // Waits (without event processing) until n bytes are queued.
    void WaitQueued(int n) {
        const double end = Timer() + 1.0;
        while (GetInQLen(kPort) < n && Timer() < end) {
        }
    }
};

TEST_F(ReceivePath, OutputEmptyAndEventCharacterEventsChangeNothing) {
    sensor.send(Reply(2, kSensorParams));
    WaitQueued(36);
    RX_Receive_Function(kPort, LWRS_RECEIVE, nullptr);
    RX_Receive_Function(kPort, LWRS_TXEMPTY, nullptr);
    EXPECT_EQ(rx_flag, 0);
    EXPECT_EQ(graphrefresh, 0);
    EXPECT_EQ(pp[0], 0u);
    EXPECT_EQ(GetInQLen(kPort), 36);
}

TEST_F(ReceivePath, FortyBytesAtOnceGiveOneTelegramAndTheRestIsDropped) {
    Bytes bytes = Reply(2, kSensorParams);
    bytes.insert(bytes.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    sensor.send(bytes);
    WaitQueued(40);
    RX_Receive_Function(kPort, LWRS_RECEIVE_COUNT, nullptr);
    EXPECT_EQ(rx_flag, 1);
    EXPECT_EQ(graphrefresh, 1);
    for (int i = 0; i < PNUM; i++)
        EXPECT_EQ(pp[i], kSensorParams[i]);
    EXPECT_EQ(GetInQLen(kPort), 0);
}

TEST_F(ReceivePath, TheRunTimeCallsItWhenATelegramIsQueued) {
    sensor.send(Reply(8, {0x1234}));
    const double end = Timer() + 1.0;
    while (rx_flag == 0 && Timer() < end)
        ProcessSystemEvents();
    EXPECT_EQ(pp[0], 0x1234u);
}

TEST_F(ReceivePath, ItReadsFromThePortInUseNotItsArgument) {
    sensor.send(Reply(8, {0x4321}));
    WaitQueued(36);
    RX_Receive_Function(kPort + 1, LWRS_RECEIVE_COUNT, nullptr);
    EXPECT_EQ(pp[0], 0x4321u);
}

TEST_F(ReceivePath, SwitchedOffItLeavesTheBytesQueued) {
    ReceiveCallbackOff();
    sensor.send(Reply(8, {7}));
    ProcessFor(0.2);
    EXPECT_EQ(rx_flag, 0);
    EXPECT_EQ(GetInQLen(kPort), 36);
    ReceiveCallbackOn(); // flushes both queues and clears the flag
    EXPECT_EQ(GetInQLen(kPort), 0);
    EXPECT_EQ(rx_flag, 0);
}

// ---- COM-port selector -------------------------------------------------------------

int Select(int event) {
    return CC_DropDCom(panelHandle, DropDCom, event, nullptr, 0, 0);
}

TEST_F(ConnectSequence, PickingTheSamePortClosesAndReopensIt) {
    ScriptWorkingSensor();
    ASSERT_EQ(OpenComConfig(kPort, "", 19200, 0, 8, 1, 4096, 4096), 0);
    SetCtrlVal(panelHandle, DropDCom, kPort);
    com = kPort;
    EXPECT_EQ(Select(EVENT_COMMIT), 0);
    EXPECT_EQ(com, kPort);
    EXPECT_EQ(OrdersAfter(sensor, 4), (Orders{5, 2, 7, 10}));
    EXPECT_GE(GetInQLen(kPort), 0); // open
}

TEST_F(ConnectSequence, TheSelectorClosesTheOldPortAndConnectsTheNewOne) {
    constexpr int kOldPort = kPort + 1;
    ScriptWorkingSensor();
    sim::ScriptedSensor old;
    SetComDevice(kOldPort, old.slavePath().c_str());
    ASSERT_EQ(OpenComConfig(kOldPort, "", 19200, 0, 8, 1, 4096, 4096), 0);
    com = kOldPort;
    SetCtrlVal(panelHandle, DropDCom, kPort);
    Select(EVENT_VAL_CHANGED);
    EXPECT_EQ(com, kPort);
    EXPECT_EQ(OrdersAfter(sensor, 4), (Orders{5, 2, 7, 10}));
    EXPECT_EQ(Status(), "V-EXA-TB FW 2.07");
    EXPECT_EQ(GetInQLen(kOldPort), -3); // closed
    EXPECT_TRUE(old.receivedBytes().empty());
    CloseCom(kOldPort);
    SetComDevice(kOldPort, nullptr);
}

TEST_F(ConnectSequence, TheSelectorShowsInitComPortWhileConnecting) {
    SetCtrlVal(panelHandle, DropDCom, kPort);
    std::string seen;
    AtTime(300, [&seen] { seen = Status(); });
    Select(EVENT_COMMIT);
    EXPECT_EQ(seen, "Init COM-Port ..."); // the echo check shows nothing before its end
}

TEST_F(ConnectSequence, TheSelectorIgnoresOtherEvents) {
    SetCtrlVal(panelHandle, DropDCom, kPort);
    com = 3;
    Select(EVENT_LEFT_CLICK);
    EXPECT_EQ(com, 3);
    EXPECT_FALSE(sensor.waitForRequests(1, milliseconds(200)));
}

TEST_F(ConnectSequence, TheSelectorIsRefusedWhileTheSensorIsBusyAndShowsThePortInUse) {
    ScriptWorkingSensor();
    ASSERT_EQ(OpenComConfig(kPort, "", 19200, 0, 8, 1, 4096, 4096), 0);
    ReceiveCallbackOn();
    BeginExchange();
    SetCtrlVal(panelHandle, DropDCom, 9);
    Select(EVENT_COMMIT);
    EXPECT_EQ(Status(), "Busy - press Stop or wait!");
    EndExchange();
    EXPECT_EQ(com, kPort);
    EXPECT_EQ(CtrlInt(panelHandle, DropDCom), kPort);
    EXPECT_FALSE(sensor.waitForRequests(1, milliseconds(200)));
    PushGET(RAM); // the port stayed open
    EXPECT_EQ(Status(), "Parameter-frame received! - Line Ok!");
}

// ---- a device that goes away -------------------------------------------------------

TEST_F(ConnectSequence, AVanishedDeviceEndsInTimeOutsAndPickingAgainReconnects) {
    ScriptWorkingSensor();
    InitRS232(kPort);
    ASSERT_EQ(Status(), "V-EXA-TB FW 2.07");

    sensor.hangUp();
    PushGET(RAM);
    EXPECT_EQ(Status(), "Timeout-RS-232...");
    EXPECT_LT(ComWrt(kPort, szWriteBuf, TELEGRAM_LEN), 0);

    auto replacement = std::make_unique<sim::ScriptedSensor>();
    replacement->script(sim::order::Echo, Reply(5));
    replacement->script(sim::order::ReadRam, Reply(2, kSensorParams));
    replacement->script(sim::order::Firmware, Firmware("again"));
    replacement->script(sim::order::CcdInfo, Reply(10, {1, 1024, 0}));
    SetComDevice(kPort, replacement->slavePath().c_str());
    SetCtrlVal(panelHandle, DropDCom, kPort);
    Select(EVENT_COMMIT);
    EXPECT_EQ(Status(), "again");
    CloseCom(kPort);
}

} // namespace

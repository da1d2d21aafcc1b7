// USB adapters: the low-latency request a port makes as it opens, and the
// adapter's latency timer read from sysfs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <linux/serial.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "runtime/low_latency.h"
#include "runtime/runtime.h"
#include "runtime/test_hooks.h"

namespace {

constexpr int kPort = 9;
constexpr int kOtherFlag = ASYNC_SPD_HI; // a flag the request must keep

struct Driver {
    int getError = 0; // 0: the driver answers TIOCGSERIAL
    int flags = 0;    // its flags then
    int setError = 0; // 0: it takes TIOCSSERIAL
    std::vector<unsigned long> requests;
    int flagsSet = -1; // asked for with TIOCSSERIAL
};

// Opens a fresh pseudo-terminal's slave as port kPort and sends a byte
// through it; true when the port opened and the byte came out.
bool openAndSend() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    const std::string slave = ptsname(master);
    const bool opened = OpenComConfig(kPort, slave.c_str(), 19200, 0, 8, 1, 512, 512) == 0;
    char byte = 0;
    const bool sent = opened && ComWrt(kPort, "\x5A", 1) == 1 && ::read(master, &byte, 1) == 1;
    CloseCom(kPort);
    ::close(master);
    return sent && byte == 0x5A;
}

void writeFile(const QString &path, const QByteArray &text) {
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(text);
}

} // namespace

// An open asks the driver for low latency and keeps its other flags; a driver
// that refuses (a pseudo-terminal, a plain UART) changes nothing, and the
// port opens and works as always.
TEST(LowLatency, AnOpeningPortAsksForItAndCarriesOnWhereTheDriverRefuses) {
    struct Case {
        const char *what;
        Driver driver;
        std::vector<unsigned long> requests;
        int flagsSet;
    } cases[] = {
        {"a usb-serial driver",
         {0, kOtherFlag, 0, {}, -1},
         {TIOCGSERIAL, TIOCSSERIAL},
         kOtherFlag | ASYNC_LOW_LATENCY},
        {"already low", {0, ASYNC_LOW_LATENCY, 0, {}, -1}, {TIOCGSERIAL}, -1},
        {"no serial driver (ENOTTY)", {ENOTTY, 0, 0, {}, -1}, {TIOCGSERIAL}, -1},
        {"the setting refused (EINVAL)",
         {0, 0, EINVAL, {}, -1},
         {TIOCGSERIAL, TIOCSSERIAL},
         ASYNC_LOW_LATENCY},
    };
    for (Case &c : cases) {
        SCOPED_TRACE(c.what);
        Driver &d = c.driver;
        SetSerialDriverHook([&d](int, unsigned long request, void *arg) {
            auto *serial = static_cast<serial_struct *>(arg);
            d.requests.push_back(request);
            if (request == TIOCSSERIAL)
                d.flagsSet = serial->flags; // what was asked for, taken or not
            const int error = request == TIOCGSERIAL ? d.getError : d.setError;
            if (error) {
                errno = error;
                return -1;
            }
            if (request == TIOCGSERIAL)
                serial->flags = d.flags;
            return 0;
        });
        EXPECT_TRUE(openAndSend());
        EXPECT_EQ(d.requests, c.requests);
        EXPECT_EQ(d.flagsSet, c.flagsSet);
    }
    SetSerialDriverHook(nullptr);
    EXPECT_TRUE(openAndSend()) << "the real pseudo-terminal refuses the request";
}

// The timer as sysfs shows it, under a tree of the test's own.
TEST(LowLatency, NamesAnAdapterWhoseLatencyTimerStaysAboveTwoMs) {
    const struct {
        const char *attribute; // below the root; nullptr: none
        const char *value;
        const char *device;
        const char *note;
    } cases[] = {
        {"class/tty/ttyUSB0/device/latency_timer", "16\n", "/dev/ttyUSB0",
         "adapter latency: 16 ms \u2014 see README"},
        {"bus/usb-serial/devices/ttyUSB1/latency_timer", "3\n", "/dev/ttyUSB1",
         "adapter latency: 3 ms \u2014 see README"},
        {"class/tty/ttyUSB2/device/latency_timer", "2\n", "/dev/ttyUSB2", ""},
        {"class/tty/ttyUSB3/device/latency_timer", "1\n", "/dev/ttyUSB3", ""},
        {"class/tty/ttyUSB4/device/latency_timer", "sixteen\n", "/dev/ttyUSB4", ""},
        {nullptr, nullptr, "/dev/ttyS0", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.device);
        QTemporaryDir root;
        if (c.attribute)
            writeFile(root.filePath(QString::fromLatin1(c.attribute)), c.value);
        EXPECT_EQ(rt::adapterLatencyNote(QString::fromLatin1(c.device), root.path()).toStdString(),
                  c.note);
    }
}

// The serial line's functions, the port numbers' devices, and what the two
// serial paths share: QSerialPort opens, locks, configures and closes the
// device, and a failed open says why. How bytes come in and go out is the
// path's (serial_line.h).
#include <QFile>
#include <QHash>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <cstdio>
#include <cstring>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <utility>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "runtime/low_latency.h"
#include "runtime/runtime.h"
#include "runtime/serial_line.h"
#include "runtime/serial_path.h"
#include "runtime/test_hooks.h"

using rt::kPortNotOpen;
using rt::SerialLine;

namespace {

ComLostCallback &lostCallback();

QString defaultDevice(int port) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

QHash<int, QString> &deviceMap() {
    static QHash<int, QString> map;
    return map;
}

ComDeviceLookup g_lookup = nullptr;

QString deviceFor(int port) {
    if (const auto it = deviceMap().constFind(port); it != deviceMap().constEnd())
        return *it;
    char found[260] = {};
    if (g_lookup && g_lookup(port, found) && found[0])
        return QString::fromLocal8Bit(found);
    return defaultDevice(port);
}

struct OpenFailure {
    int code;
    QString problem;
};

#ifndef Q_OS_WIN
// What lets the user open a device: joining the group that owns it (dialout
// on Debian); a device of root's group is a matter for an administrator.
QString permissionRemedy(const QString &device) {
    struct stat info {};
    const group *owner =
        ::stat(QFile::encodeName(device).constData(), &info) == 0 && info.st_gid != 0
            ? ::getgrgid(info.st_gid)
            : nullptr;
    if (!owner)
        return QStringLiteral("ask an administrator for read and write access to it");
    const QString name = QString::fromLocal8Bit(owner->gr_name);
    return QStringLiteral("add your user to the %1 group (sudo adduser $USER %1) and log in again")
        .arg(name);
}

// A device that opens but takes no terminal settings is no serial line
// (a regular file, /dev/null): Qt calls that an unknown error.
bool isNoSerialLine(const QString &device) {
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool tty = ::isatty(fd);
    ::close(fd);
    return !tty;
}
#endif

// The program's code for a failed open, and for the person at the machine
// why it failed and what to do about it.
OpenFailure describeOpenFailure(const QString &device, QSerialPort::SerialPortError error,
                                const QString &reason) {
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return {-6, QStringLiteral("No device %1: plug the adapter in or pick another COM port")
                        .arg(device)};
    case QSerialPort::PermissionError:
#ifndef Q_OS_WIN
        if (::access(QFile::encodeName(device).constData(), R_OK | W_OK) != 0 && errno == EACCES)
            return {-7, QStringLiteral("Permission denied on %1: %2")
                            .arg(device, permissionRemedy(device))};
#endif
        return {-7, QStringLiteral("%1 is in use by another program (%2)").arg(device, reason)};
    default:
#ifndef Q_OS_WIN
        if (isNoSerialLine(device))
            return {-7, QStringLiteral("%1 is no serial line").arg(device)};
#endif
        return {-1, QStringLiteral("%1: %2").arg(device, reason)};
    }
}

QSerialPort::Parity toParity(int parity) {
    switch (parity) {
    case 1:
        return QSerialPort::OddParity;
    case 2:
        return QSerialPort::EvenParity;
    case 3:
        return QSerialPort::MarkParity;
    case 4:
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

} // namespace

namespace rt {

SerialLine::SerialLine(int number) : number_(number) {
    connect(&port_, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { onError(error); });
}

int SerialLine::open(const QString &device, long baud, int parity, int dataBits, int stopBits) {
    close();
    problem_.clear();
    device_ = device;
    port_.setPortName(device);
    if (!port_.open(QIODevice::ReadWrite)) {
        const OpenFailure failure = describeOpenFailure(device, port_.error(), port_.errorString());
        port_.clearError();
        problem_ = failure.problem;
        return failure.code;
    }
    const bool configured =
        port_.setBaudRate(static_cast<qint32>(baud)) &&
        port_.setDataBits(static_cast<QSerialPort::DataBits>(dataBits)) &&
        port_.setParity(toParity(parity)) &&
        port_.setStopBits(stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
        port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        problem_ =
            QStringLiteral("%1 does not take 19200 baud, 8N1: %2").arg(device, port_.errorString());
        close();
        return -13;
    }
#ifdef __linux__
    rt::requestLowLatency(static_cast<int>(port_.handle()));
#endif
    port_.clear();
    byteSeconds_ = (1.0 + dataBits + stopBits + (parity ? 1 : 0)) / static_cast<double>(baud);
    started();
    return 0;
}

void SerialLine::close() {
    callback_ = nullptr;
    mask_ = 0;
    stopping();
    if (port_.isOpen())
        port_.close();
}

bool SerialLine::setHandshake(int mode) {
    return port_.setFlowControl(mode ? QSerialPort::HardwareControl : QSerialPort::NoFlowControl);
}

void SerialLine::install(int mask, int notifyCount, ComCallbackPtr callback, void *data) {
    mask_ = mask;
    notifyCount_ = notifyCount > 0 ? notifyCount : 1;
    callback_ = callback;
    data_ = data;
    if (receiveCallbackOn())
        checkSoon();
}

void SerialLine::checkSoon() {
    QTimer::singleShot(0, this, [this] { checkReceiveEvent(); });
}

void SerialLine::runReceiveCallback() {
    inCallback_ = true;
    callback_(number_, LWRS_RECEIVE_COUNT, data_);
    inCallback_ = false;
    // More than one notify count may be waiting: look again next time round.
    if (port_.isOpen() && callback_ && queued() >= notifyCount_)
        checkSoon();
}

void SerialLine::vanish() {
    const bool wasOpen = port_.isOpen();
    close();
    port_.clearError();
    if (wasOpen && lostCallback())
        lostCallback()(number_);
}

} // namespace rt

namespace {

ComLostCallback &lostCallback() {
    static ComLostCallback callback = nullptr;
    return callback;
}

SerialOutputObserver &outputObserver() {
    static SerialOutputObserver observer;
    return observer;
}

void observeOutput(SerialOutputEvent::Kind kind, int port, const char *bytes, int count) {
    if (outputObserver())
        outputObserver()({kind, port, std::string(bytes, bytes ? std::max(count, 0) : 0), Timer()});
}

std::map<int, std::unique_ptr<SerialLine>> &ports() {
    static std::map<int, std::unique_ptr<SerialLine>> all;
    return all;
}

std::unique_ptr<SerialLine> makeLine(int port) {
#ifdef __linux__
    if (rt::serialPath() == rt::SerialPath::Linux)
        return rt::makeLinuxLine(port);
#endif
    return rt::makePortableLine(port);
}

SerialLine *openPort(int port) {
    auto it = ports().find(port);
    return it != ports().end() && it->second->isOpen() ? it->second.get() : nullptr;
}

} // namespace

void SetSerialOutputObserver(SerialOutputObserver observer) {
    outputObserver() = std::move(observer);
}

void SetComDevice(int port, const char *device) {
    if (device && *device)
        deviceMap().insert(port, QString::fromLocal8Bit(device));
    else
        deviceMap().remove(port);
}

int GetComDevice(int port, char device[]) {
    const auto it = deviceMap().constFind(port);
    if (it == deviceMap().constEnd())
        return 0;
    std::snprintf(device, 260, "%s", it->toLocal8Bit().constData());
    return 1;
}

void SetComDeviceLookup(ComDeviceLookup lookup) {
    g_lookup = lookup;
}

int GetComOpenProblem(int port, char text[]) {
    const auto it = ports().find(port);
    const QByteArray problem = it != ports().end() ? it->second->problem().toLocal8Bit() : "";
    std::snprintf(text, 260, "%s", problem.constData());
    return problem.size();
}

void SetComLostCallback(ComLostCallback callback) {
    lostCallback() = callback;
}

int GetComOpenDevice(int port, char device[]) {
    const auto it = ports().find(port);
    const QByteArray name = it != ports().end() ? it->second->device().toLocal8Bit() : "";
    std::snprintf(device, 260, "%s", name.constData());
    return name.isEmpty() ? 0 : 1;
}

int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int, int) {
    if (port < 1 || port > 1000)
        return -2;
    const QString device =
        deviceName && *deviceName ? QString::fromLocal8Bit(deviceName) : deviceFor(port);
    auto &slot = ports()[port];
    // A new port, or one last opened on the other path (a benchmark's switch).
    if (!slot || slot->path() != rt::serialPath())
        slot = makeLine(port);
    return slot->open(device, baudRate, parity, dataBits, stopBits);
}

int CloseCom(int port) {
    auto it = ports().find(port);
    if (it != ports().end())
        it->second->close();
    return 0;
}

int SetComTime(int port, double timeoutSeconds) {
    SerialLine *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    p->setTimeout(timeoutSeconds);
    return 0;
}

int SetCTSMode(int port, int mode) {
    SerialLine *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    return p->setHandshake(mode) ? 0 : -1;
}

int FlushInQ(int port) {
    SerialLine *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    p->flushInput();
    return 0;
}

int FlushOutQ(int port) {
    SerialLine *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    observeOutput(SerialOutputEvent::Discard, port, nullptr, 0);
    p->flushOutput();
    return 0;
}

int GetOutQLen(int port) {
    SerialLine *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    return p->queuedOut();
}

int ComWrt(int port, const char *buffer, int count) {
    SerialLine *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    const int written = p->write(buffer, count);
    observeOutput(SerialOutputEvent::Write, port, buffer, written);
    return written;
}

int ComRd(int port, char *buffer, int count) {
    SerialLine *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    return p->read(buffer, count);
}

void ExpectComBytes(int port, int count) {
    if (SerialLine *p = openPort(port))
        p->expect(count);
}

int GetInQLen(int port) {
    SerialLine *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    return p->queued();
}

int InstallComCallback(int port, int eventMask, int notifyCount, int, ComCallbackPtr callback,
                       void *callbackData) {
    SerialLine *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    p->install(eventMask, notifyCount, callback, callbackData);
    return 0;
}

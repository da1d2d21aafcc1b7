// The serial line on QSerialPort.
//
// QSerialPort opens, locks and configures the device; reads and writes go
// straight to its handle (poll/read/write): they must never run a callback,
// which waitForReadyRead would do. The port's own notifier takes arriving
// bytes into its buffer and runs the receive callback from event processing.
#include <QFile>
#include <QHash>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include <algorithm>
#include <cerrno>
#include <map>
#include <utility>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#endif
#include <memory>

#include "runtime/low_latency.h"
#include "runtime/precise_alarm.h"
#include "runtime/runtime.h"
#include "runtime/test_hooks.h"

namespace {

constexpr int kPortNotOpen = -3;
constexpr int kIoError = -4;
// A rest shorter than this saves hardly a wake-up: its own end is one.
constexpr double kShortestRest = 0.002;
// A rest ends this many bytes' time before the last byte it waits for is
// due. A processor that has slept for a telegram's time wakes late: in a
// busy virtual machine the alarm ends up to half a millisecond after its
// time, one byte at 19200 baud. After a short sleep it wakes at once, so the
// program sleeps the rest of the way on the line itself.
constexpr int kRestBytesAhead = 1;

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

class ComPort : public QObject {
  public:
    explicit ComPort(int number) : number_(number) {
        connect(&port_, &QSerialPort::errorOccurred, this, &ComPort::onError);
    }

    int open(const QString &device, long baud, int parity, int dataBits, int stopBits) {
        close();
        problem_.clear();
        device_ = device;
        port_.setPortName(device);
        if (!port_.open(QIODevice::ReadWrite)) {
            const OpenFailure failure =
                describeOpenFailure(device, port_.error(), port_.errorString());
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
            problem_ = QStringLiteral("%1 does not take 19200 baud, 8N1: %2")
                           .arg(device, port_.errorString());
            close();
            return -13;
        }
        rt::requestLowLatency(port_.handle());
        port_.clear();
        silenceQtReads();
        byteSeconds_ = (1.0 + dataBits + stopBits + (parity ? 1 : 0)) / static_cast<double>(baud);
        input_.clear();
        readable_ = std::make_unique<QSocketNotifier>(port_.handle(), QSocketNotifier::Read);
        connect(readable_.get(), &QSocketNotifier::activated, this, &ComPort::onReadable);
        return 0;
    }

    void close() {
        callback_ = nullptr;
        mask_ = 0;
        expected_ = 0;
        replyAwaited_ = linePaced_ = false;
        restWait_.stop();
        readable_.reset();
        input_.clear();
        if (port_.isOpen())
            port_.close();
    }

    bool isOpen() const { return port_.isOpen(); }
    const QString &problem() const { return problem_; }
    const QString &device() const { return device_; }
    void setTimeout(double seconds) { timeoutMs_ = static_cast<int>(seconds * 1000.0); }
    bool setHandshake(int mode) {
        return port_.setFlowControl(mode ? QSerialPort::HardwareControl
                                         : QSerialPort::NoFlowControl);
    }
    void flushInput() {
        port_.clear(QSerialPort::Input);
        input_.clear();
        rested_ = false;
    }

    void expect(int count) {
        expected_ = count;
        rested_ = false;
        if (count <= 0 && restWait_.isActive()) {
            restWait_.stop();
            endRestWait();
        }
    }
    void flushOutput() { port_.clear(QSerialPort::Output); }

    int queued() {
        int osQueue = 0;
        if (::ioctl(port_.handle(), FIONREAD, &osQueue) < 0)
            osQueue = 0;
        return static_cast<int>(input_.size()) + osQueue;
    }

    int queuedOut() {
        int pending = 0;
        if (::ioctl(port_.handle(), TIOCOUTQ, &pending) < 0)
            pending = 0;
        return pending;
    }

    int write(const char *buffer, int count) {
        int done = 0;
        const double deadline = Timer() + timeoutMs_ / 1000.0;
        while (done < count) {
            const ssize_t n = ::write(port_.handle(), buffer + done, count - done);
            if (n > 0) {
                done += static_cast<int>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                vanish();
                return done > 0 ? done : kIoError;
            }
            if (!waitFor(POLLOUT, deadline))
                break;
        }
        // A pseudo-terminal passes written bytes on from a kernel worker on
        // this processor, which waits while the program draws after a
        // request: one yield lets it run, so the request leaves now.
        sched_yield();
        restForReply(done);
        return done;
    }

    int read(char *buffer, int count) {
        int done = static_cast<int>(std::min<qsizetype>(input_.size(), count));
        std::memcpy(buffer, input_.constData(), static_cast<size_t>(done));
        input_.remove(0, done);
        const double deadline = Timer() + timeoutMs_ / 1000.0;
        while (done < count) {
            const ssize_t n = ::read(port_.handle(), buffer + done, count - done);
            if (n > 0) {
                done += static_cast<int>(n);
                continue;
            }
            // With VMIN = VTIME = 0 an empty queue reads as 0; a hang-up
            // reads as EIO.
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                vanish();
                break;
            }
            if (!waitFor(POLLIN, deadline))
                break;
        }
        return done;
    }

    void install(int mask, int notifyCount, ComCallbackPtr callback, void *data) {
        mask_ = mask;
        notifyCount_ = notifyCount > 0 ? notifyCount : 1;
        callback_ = callback;
        data_ = data;
        if (receiveCallbackOn())
            QTimer::singleShot(0, this, &ComPort::checkReceiveEvent);
    }

  private:
    bool receiveCallbackOn() const { return callback_ && (mask_ & LWRS_RECEIVE_COUNT); }

    static QSerialPort::Parity toParity(int parity) {
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

    // The port reads for itself (onReadable); Qt's own read notifier would
    // wake the program on every byte and fill a buffer nobody reads.
    void silenceQtReads() {
        for (QSocketNotifier *n : port_.findChildren<QSocketNotifier *>())
            if (n->type() == QSocketNotifier::Read)
                n->setEnabled(false);
    }

    bool waitFor(short events, double deadline) {
        const int left = static_cast<int>((deadline - Timer()) * 1000.0);
        if (left <= 0)
            return false;
        pollfd p{port_.handle(), events, 0};
        const int r = ::poll(&p, 1, left);
        if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(p.revents & events)) {
            vanish();
            return false;
        }
        return r > 0 || (r < 0 && errno == EINTR);
    }

    // Takes what the line brought into the port's buffer, so that the
    // notifier stays quiet until more comes.
    void onReadable() {
        char chunk[4096];
        const ssize_t n = ::read(port_.handle(), chunk, sizeof chunk);
        if (n > 0) {
            input_.append(chunk, n);
        } else if ((n < 0 && errno != EAGAIN && errno != EINTR) || (n == 0 && deviceHungUp())) {
            vanish();
            return;
        }
        checkReceiveEvent();
        restForExpectedBytes();
    }

    // A receive callback waits for a whole telegram, a wait for a reply for
    // its expected length. While part of it is in, the rest cannot come
    // faster than the line's rate: the notifier rests until just before the
    // last byte is due and wakes the program once more for it, instead of
    // once for every byte or FIFO load.
    void restUntil(int wanted, int queuedNow) {
        if (!rested_)
            restReader((wanted - queuedNow - kRestBytesAhead) * byteSeconds_);
    }

    // Once per reply: its last bytes wake the program as they come.
    void restReader(double seconds) {
        if (seconds < kShortestRest || !readable_)
            return;
        rested_ = true;
        if (restWait_.start(seconds))
            readable_->setEnabled(false);
    }

    // A telegram written to a sensor that answers it: its reply cannot be
    // in before the telegram is out and the reply's own bytes have come, so
    // the notifier rests until shortly before that. Only on a line that has
    // shown its pace: a pseudo-terminal with a sensor that answers at once
    // hands the whole reply over at once, and is listened to all the time.
    void restForReply(int written) {
        replyAwaited_ = false;
        if (written <= 0 || !receiveCallbackOn() || !readable_ || restWait_.isActive() ||
            queued() > 0)
            return;
        replyAwaited_ = true;
        writtenAt_ = Timer();
        replyDue_ = (written + notifyCount_) * byteSeconds_;
        // replyDue_ is when the last byte has come; it begins a byte before.
        if (linePaced_)
            restReader(replyDue_ - (1 + kRestBytesAhead) * byteSeconds_);
    }

    void restForExpectedBytes() {
        if (expected_ <= 0 || restWait_.isActive() || receiveCallbackOn())
            return;
        if (const int queuedNow = queued(); queuedNow > 0)
            restUntil(expected_, queuedNow);
    }

    void endRestWait() {
        if (!readable_)
            return;
        readable_->setEnabled(true);
        checkReceiveEvent();
    }

    // Runs from event processing only: the notifier, the rest wait, or a
    // queued check.
    void checkReceiveEvent() {
        if (inCallback_ || !receiveCallbackOn() || !port_.isOpen())
            return;
        if (const int queuedNow = queued(); queuedNow < notifyCount_) {
            if (!restWait_.isActive() && queuedNow > 0)
                restUntil(notifyCount_, queuedNow);
            return;
        }
        restWait_.stop();
        rested_ = false;
        if (readable_)
            readable_->setEnabled(true);
        if (std::exchange(replyAwaited_, false))
            linePaced_ = Timer() - writtenAt_ >= replyDue_ - byteSeconds_;
        inCallback_ = true;
        callback_(number_, LWRS_RECEIVE_COUNT, data_);
        inCallback_ = false;
        // More than one notify count may be waiting: look again next time round.
        if (port_.isOpen() && callback_ && queued() >= notifyCount_)
            QTimer::singleShot(0, this, &ComPort::checkReceiveEvent);
    }

    void onError(QSerialPort::SerialPortError error) {
        // A vanished device reports these in a tight loop until the port is
        // closed. A read error alone is no proof, so the line itself must
        // show the hang-up.
        if (error == QSerialPort::ResourceError || deviceHungUp())
            vanish();
        else if (error == QSerialPort::ReadError || error == QSerialPort::WriteError)
            port_.clearError();
    }

    bool deviceHungUp() {
        if (!port_.isOpen())
            return false;
        pollfd p{port_.handle(), POLLIN, 0};
        return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
    }

    // Closed at once: later operations act as on a closed port, and picking
    // the port again reopens it.
    void vanish() {
        const bool wasOpen = port_.isOpen();
        close();
        port_.clearError();
        if (wasOpen && lostCallback())
            lostCallback()(number_);
    }

    QSerialPort port_;
    std::unique_ptr<QSocketNotifier> readable_;
    QByteArray input_; // read from the line, not yet taken by ComRd
    rt::PreciseAlarm restWait_{[this] { endRestWait(); }};
    double byteSeconds_ = 10.0 / 19200.0;
    QString problem_; // why the last open failed and what helps
    QString device_;  // what the last open used or tried
    int number_;
    int timeoutMs_ = 5000;
    int mask_ = 0;
    int notifyCount_ = 1;
    ComCallbackPtr callback_ = nullptr;
    void *data_ = nullptr;
    bool inCallback_ = false;
    bool rested_ = false;       // the reply in the queue has had its rest wait
    int expected_ = 0;          // bytes a wait without receive callback is for
    bool replyAwaited_ = false; // a telegram was written into a quiet line
    double writtenAt_ = 0;      // Timer() when it was
    double replyDue_ = 0;       // seconds from then until its reply can be in
    bool linePaced_ = false;    // the last reply took the line's time
};

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

std::map<int, std::unique_ptr<ComPort>> &ports() {
    static std::map<int, std::unique_ptr<ComPort>> all;
    return all;
}

ComPort *openPort(int port) {
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
    if (!slot)
        slot = std::make_unique<ComPort>(port);
    return slot->open(device, baudRate, parity, dataBits, stopBits);
}

int CloseCom(int port) {
    auto it = ports().find(port);
    if (it != ports().end())
        it->second->close();
    return 0;
}

int SetComTime(int port, double timeoutSeconds) {
    ComPort *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    p->setTimeout(timeoutSeconds);
    return 0;
}

int SetCTSMode(int port, int mode) {
    ComPort *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    return p->setHandshake(mode) ? 0 : -1;
}

int FlushInQ(int port) {
    ComPort *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    p->flushInput();
    return 0;
}

int FlushOutQ(int port) {
    ComPort *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    observeOutput(SerialOutputEvent::Discard, port, nullptr, 0);
    p->flushOutput();
    return 0;
}

int GetOutQLen(int port) {
    ComPort *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    return p->queuedOut();
}

int ComWrt(int port, const char *buffer, int count) {
    ComPort *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    const int written = p->write(buffer, count);
    observeOutput(SerialOutputEvent::Write, port, buffer, written);
    return written;
}

int ComRd(int port, char *buffer, int count) {
    ComPort *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    return p->read(buffer, count);
}

void ExpectComBytes(int port, int count) {
    if (ComPort *p = openPort(port))
        p->expect(count);
}

int GetInQLen(int port) {
    ComPort *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    return p->queued();
}

int InstallComCallback(int port, int eventMask, int notifyCount, int, ComCallbackPtr callback,
                       void *callbackData) {
    ComPort *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    p->install(eventMask, notifyCount, callback, callbackData);
    return 0;
}

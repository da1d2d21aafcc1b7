// The serial line on QSerialPort.
//
// Reads and writes go straight to the device (poll/read/write on the port's
// handle) after draining what Qt already buffered: they must never run a
// callback, which waitForReadyRead would do. Qt's read notifier is used only
// to run the receive callback from event processing.
#include <QHash>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <memory>

#include "runtime/runtime.h"

namespace {

constexpr int kPortNotOpen = -3;
constexpr int kIoError = -4;

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

class ComPort : public QObject {
  public:
    explicit ComPort(int number) : number_(number) {
        connect(&port_, &QSerialPort::readyRead, this, &ComPort::checkReceiveEvent);
        connect(&port_, &QSerialPort::errorOccurred, this, &ComPort::onError);
    }

    int open(const QString &device, long baud, int parity, int dataBits, int stopBits) {
        close();
        port_.setPortName(device);
        if (!port_.open(QIODevice::ReadWrite)) {
            const auto error = port_.error();
            port_.clearError();
            switch (error) {
            case QSerialPort::DeviceNotFoundError:
                return -6;
            case QSerialPort::PermissionError:
            case QSerialPort::OpenError:
                return -7;
            default:
                return -1;
            }
        }
        const bool configured =
            port_.setBaudRate(static_cast<qint32>(baud)) &&
            port_.setDataBits(static_cast<QSerialPort::DataBits>(dataBits)) &&
            port_.setParity(toParity(parity)) &&
            port_.setStopBits(stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
            port_.setFlowControl(QSerialPort::NoFlowControl);
        if (!configured) {
            close();
            return -13;
        }
        port_.clear();
        return 0;
    }

    void close() {
        callback_ = nullptr;
        mask_ = 0;
        if (port_.isOpen())
            port_.close();
    }

    bool isOpen() const { return port_.isOpen(); }
    void setTimeout(double seconds) { timeoutMs_ = static_cast<int>(seconds * 1000.0); }
    bool setHandshake(int mode) {
        return port_.setFlowControl(mode ? QSerialPort::HardwareControl
                                         : QSerialPort::NoFlowControl);
    }
    void flushInput() {
        port_.clear(QSerialPort::Input);
        port_.readAll();
    }
    void flushOutput() { port_.clear(QSerialPort::Output); }

    int queued() {
        int osQueue = 0;
        if (::ioctl(port_.handle(), FIONREAD, &osQueue) < 0)
            osQueue = 0;
        return static_cast<int>(port_.bytesAvailable()) + osQueue;
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
        return done;
    }

    int read(char *buffer, int count) {
        int done = static_cast<int>(port_.read(buffer, count));
        if (done < 0)
            done = 0;
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
        if (callback_ && (mask_ & LWRS_RECEIVE_COUNT))
            QTimer::singleShot(0, this, &ComPort::checkReceiveEvent);
    }

  private:
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

    // Runs from event processing only: Qt's read notifier, or a queued check.
    void checkReceiveEvent() {
        if (inCallback_ || !callback_ || !(mask_ & LWRS_RECEIVE_COUNT) || !port_.isOpen())
            return;
        if (queued() < notifyCount_)
            return;
        inCallback_ = true;
        callback_(number_, LWRS_RECEIVE_COUNT, data_);
        inCallback_ = false;
        // More than one notify count may be waiting: look again next time round.
        if (port_.isOpen() && callback_ && queued() >= notifyCount_)
            QTimer::singleShot(0, this, &ComPort::checkReceiveEvent);
    }

    void onError(QSerialPort::SerialPortError error) {
        // A vanished device reports these in a tight loop until the port is
        // closed. A read error alone is no proof: when our own read or flush
        // emptied the queue after Qt's notifier fired, Qt reads nothing and
        // reports one too. So the line itself must show the hang-up.
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
        close();
        port_.clearError();
    }

    QSerialPort port_;
    int number_;
    int timeoutMs_ = 5000;
    int mask_ = 0;
    int notifyCount_ = 1;
    ComCallbackPtr callback_ = nullptr;
    void *data_ = nullptr;
    bool inCallback_ = false;
};

std::map<int, std::unique_ptr<ComPort>> &ports() {
    static std::map<int, std::unique_ptr<ComPort>> all;
    return all;
}

ComPort *openPort(int port) {
    auto it = ports().find(port);
    return it != ports().end() && it->second->isOpen() ? it->second.get() : nullptr;
}

} // namespace

void SetComDevice(int port, const char *device) {
    deviceMap().insert(port, QString::fromLocal8Bit(device));
}

int OpenComConfig(int port, const char *deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int, int) {
    if (port < 1 || port > 1000)
        return -2;
    QString device = deviceName && *deviceName ? QString::fromLocal8Bit(deviceName)
                                               : deviceMap().value(port, defaultDevice(port));
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
    p->flushOutput();
    return 0;
}

int ComWrt(int port, const char *buffer, int count) {
    ComPort *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    return p->write(buffer, count);
}

int ComRd(int port, char *buffer, int count) {
    ComPort *p = openPort(port);
    if (!p)
        return kPortNotOpen;
    return p->read(buffer, count);
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

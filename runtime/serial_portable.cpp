// The portable path of the serial line: QSerialPort's public API and Qt's
// timers only, so it builds wherever Qt Serial Port does.
//
// Qt's own notifier takes arriving bytes into the port's buffer and signals
// readyRead from event processing; the receive callback runs from there once
// a notify count is in. Waits with a time-out (ComRd, ComWrt, the queue's
// count) use waitForReadyRead and waitForBytesWritten, which signal readyRead
// themselves: while one runs, a readyRead only queues a look for the next
// round of event processing, so no callback runs inside a wait or inside
// itself.
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <utility>

#include "runtime/serial_line.h"

namespace rt {

namespace {

// Read errors in a row, without a byte between them, that show a device gone.
constexpr int kReadErrorsOfAGoneDevice = 16;

class PortableLine final : public SerialLine {
  public:
    explicit PortableLine(int number) : SerialLine(number) {
        connect(&port_, &QSerialPort::readyRead, this, &PortableLine::onReadyRead);
    }
    SerialPath path() const override { return SerialPath::Portable; }

    void flushInput() override { port_.clear(QSerialPort::Input); }

    // Every arrival wakes event processing, where the waits look at the
    // queue: nothing to prepare.
    void expect(int) override {}

    int queued() override {
        takeArrivals();
        return static_cast<int>(port_.bytesAvailable());
    }

    // What Qt still holds. Bytes the system has taken are not seen: a
    // Windows write counts until the driver has them; on Linux the fast path
    // sees the kernel's queue.
    int queuedOut() override { return static_cast<int>(port_.bytesToWrite()); }

    int write(const char *buffer, int count) override {
        const Wait wait(*this);
        const qint64 before = port_.bytesToWrite();
        if (port_.write(buffer, count) < 0)
            return port_.isOpen() ? 0 : kIoError;
        // Sent now, not when the event loop next runs.
        while (port_.isOpen() && port_.bytesToWrite() > 0 && wait.left() > 0)
            if (!port_.waitForBytesWritten(wait.left()))
                break;
        if (!port_.isOpen())
            return kIoError;
        const qint64 unsent = std::clamp<qint64>(port_.bytesToWrite() - before, 0, count);
        return count - static_cast<int>(unsent);
    }

    int read(char *buffer, int count) override {
        const Wait wait(*this);
        int done = 0;
        for (;;) {
            const qint64 n = port_.read(buffer + done, count - done);
            done += n > 0 ? static_cast<int>(n) : 0;
            // Short of a time-out, the wait ends early only on an error.
            if (done >= count || !port_.isOpen() || wait.left() <= 0 ||
                !port_.waitForReadyRead(wait.left()))
                break;
        }
        // The wait's last arrival may have come after the last read.
        if (done < count && port_.isOpen()) {
            const qint64 n = port_.read(buffer + done, count - done);
            done += n > 0 ? static_cast<int>(n) : 0;
        }
        return done;
    }

  private:
    // A wait with the port's time-out: readyRead only queues a look meanwhile.
    class Wait {
      public:
        explicit Wait(PortableLine &line)
            : line_(line), outer_(std::exchange(line.waiting_, true)) {
            clock_.start();
        }
        ~Wait() {
            line_.waiting_ = outer_;
            if (!outer_ && line_.missedArrival_)
                line_.checkSoon();
            line_.missedArrival_ = false;
        }
        Wait(const Wait &) = delete;
        Wait &operator=(const Wait &) = delete;
        int left() const {
            return std::max<int>(0, line_.timeoutMs_ - static_cast<int>(clock_.elapsed()));
        }

      private:
        PortableLine &line_;
        bool outer_;
        QElapsedTimer clock_;
    };

    void started() override { readErrors_ = 0; }
    void stopping() override { missedArrival_ = vanishing_ = false; }

    // Closed from the next round of event processing: the error comes from
    // inside QSerialPort's own read, which goes on with its buffer after the
    // signal. Meanwhile its waits fail and end at once.
    void vanishSoon() {
        if (std::exchange(vanishing_, true))
            return;
        QTimer::singleShot(0, this, [this] {
            if (std::exchange(vanishing_, false))
                vanish();
        });
    }

    // Takes into the port's buffer what the system holds, without waiting.
    void takeArrivals() {
        const Wait wait(*this);
        while (port_.isOpen() && port_.waitForReadyRead(0)) {
        }
    }

    void onReadyRead() {
        readErrors_ = 0;
        if (waiting_ || inCallback_)
            missedArrival_ = true;
        else
            checkReceiveEvent();
    }

    void checkReceiveEvent() override {
        if (waiting_ || inCallback_ || !receiveCallbackOn() || !port_.isOpen() ||
            port_.bytesAvailable() < notifyCount_)
            return;
        runReceiveCallback();
    }

    void onError(QSerialPort::SerialPortError error) override {
        switch (error) {
        // A device that has gone (an adapter pulled, a line hung up), or a
        // line that signals bytes and gives none, read after read: a hung-up
        // terminal does that in a tight loop until the port is closed. A
        // read error alone is no proof.
        case QSerialPort::ResourceError:
            vanishSoon();
            return;
        case QSerialPort::ReadError:
            if (++readErrors_ >= kReadErrorsOfAGoneDevice)
                vanishSoon();
            else
                port_.clearError();
            return;
        // A wait that ran into its time-out; a write that failed.
        case QSerialPort::TimeoutError:
        case QSerialPort::WriteError:
            port_.clearError();
            return;
        // A failed open: its caller reads the error.
        default:
            return;
        }
    }

    int readErrors_ = 0;         // read errors since the last bytes came
    bool vanishing_ = false;     // the port closes in the next round
    bool waiting_ = false;       // a wait with time-out runs
    bool missedArrival_ = false; // readyRead came while it ran
};

} // namespace

std::unique_ptr<SerialLine> makePortableLine(int number) {
    return std::make_unique<PortableLine>(number);
}

} // namespace rt

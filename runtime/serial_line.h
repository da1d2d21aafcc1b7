// Inside the run-time: one serial port as serial.cpp's functions see it, and
// the two ways of reading and writing it. Both open, configure and close
// through QSerialPort (here); they differ in how bytes come in and go out:
//
//   serial_linux.cpp     the Linux fast path: reads and writes on the port's
//                        handle, kernel queue counts (FIONREAD, TIOCOUTQ),
//                        a reader that rests while a reply cannot be in yet
//   serial_portable.cpp  the portable path: QSerialPort's public API and
//                        Qt's timers only; what other systems build
//
// VEXA_SERIAL picks one when the program starts (serial_path.h).
#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>

#include <memory>

#include "runtime/runtime.h"
#include "runtime/serial_path.h"

namespace rt {

constexpr int kPortNotOpen = -3;
constexpr int kIoError = -4;

class SerialLine : public QObject {
  public:
    explicit SerialLine(int number);
    virtual SerialPath path() const = 0;

    // 0, or the program's code for a failed open with problem() saying why.
    int open(const QString &device, long baud, int parity, int dataBits, int stopBits);
    void close();
    bool isOpen() const { return port_.isOpen(); }
    const QString &problem() const { return problem_; }
    const QString &device() const { return device_; }
    void setTimeout(double seconds) { timeoutMs_ = static_cast<int>(seconds * 1000.0); }
    bool setHandshake(int mode);
    void install(int mask, int notifyCount, ComCallbackPtr callback, void *data);
    void flushOutput() { port_.clear(QSerialPort::Output); }

    virtual void flushInput() = 0;
    // A wait for `count` bytes without the receive callback begins (0: ends).
    virtual void expect(int count) = 0;
    virtual int queued() = 0;    // bytes received and not yet read
    virtual int queuedOut() = 0; // bytes written and not yet sent
    // Within the time-out; never runs a callback.
    virtual int write(const char *buffer, int count) = 0;
    virtual int read(char *buffer, int count) = 0;

  protected:
    // After the port is open and set up, and before it closes.
    virtual void started() = 0;
    virtual void stopping() = 0;
    virtual void onError(QSerialPort::SerialPortError error) = 0;
    // Runs from event processing only.
    virtual void checkReceiveEvent() = 0;

    bool receiveCallbackOn() const { return callback_ && (mask_ & LWRS_RECEIVE_COUNT); }
    // Runs the receive callback, never inside itself; then, while the queue
    // still holds a notify count, looks again next time round.
    void runReceiveCallback();
    void checkSoon();
    // Closed at once: later operations act as on a closed port, and picking
    // the port again reopens it. The lost callback hears of it.
    void vanish();

    QSerialPort port_;
    double byteSeconds_ = 10.0 / 19200.0;
    int timeoutMs_ = 5000;
    int notifyCount_ = 1;
    bool inCallback_ = false;

  private:
    QString problem_; // why the last open failed and what helps
    QString device_;  // what the last open used or tried
    int number_;
    int mask_ = 0;
    ComCallbackPtr callback_ = nullptr;
    void *data_ = nullptr;
};

#ifdef __linux__
std::unique_ptr<SerialLine> makeLinuxLine(int number);
#endif
std::unique_ptr<SerialLine> makePortableLine(int number);

} // namespace rt

// The Linux fast path of the serial line.
//
// QSerialPort opens, locks and configures the device; reads and writes go
// straight to its handle (poll/read/write): they must never run a callback,
// which waitForReadyRead would do. The port's own notifier takes arriving
// bytes into its buffer and runs the receive callback from event processing;
// while a reply cannot be in yet, it rests on a kernel timer (PreciseAlarm).
// The kernel's queues are counted with FIONREAD and TIOCOUTQ.
#include <QSocketNotifier>

#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "runtime/precise_alarm.h"
#include "runtime/reply_wait.h"
#include "runtime/serial_line.h"

namespace rt {

namespace {

// A rest shorter than this saves hardly a wake-up: its own end is one.
constexpr double kShortestRest = 0.002;
// A rest ends this many bytes' time before the last byte it waits for is
// due. A processor that has slept for a telegram's time wakes late: in a
// busy virtual machine the alarm ends up to half a millisecond after its
// time, one byte at 19200 baud. After a short sleep it wakes at once, so the
// program sleeps the rest of the way on the line itself.
constexpr int kRestBytesAhead = 1;

class LinuxLine final : public SerialLine {
  public:
    explicit LinuxLine(int number) : SerialLine(number) {}
    SerialPath path() const override { return SerialPath::Linux; }

    void flushInput() override {
        port_.clear(QSerialPort::Input);
        input_.clear();
        rested_ = false;
    }

    void expect(int count) override {
        expected_ = count;
        rested_ = false;
        if (count <= 0 && restWait_.isActive()) {
            restWait_.stop();
            endRestWait();
        }
    }
    int queued() override {
        int osQueue = 0;
        if (::ioctl(port_.handle(), FIONREAD, &osQueue) < 0)
            osQueue = 0;
        return static_cast<int>(input_.size()) + osQueue;
    }

    int queuedOut() override {
        int pending = 0;
        if (::ioctl(port_.handle(), TIOCOUTQ, &pending) < 0)
            pending = 0;
        return pending;
    }

    int write(const char *buffer, int count) override {
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

    int read(char *buffer, int count) override {
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

  private:
    void started() override {
        silenceQtReads();
        input_.clear();
        readable_ = std::make_unique<QSocketNotifier>(port_.handle(), QSocketNotifier::Read);
        connect(readable_.get(), &QSocketNotifier::activated, this, &LinuxLine::onReadable);
    }

    void stopping() override {
        expected_ = 0;
        replyAwaited_ = linePaced_ = false;
        restWait_.stop();
        readable_.reset();
        input_.clear();
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
        // A rest until then keeps the line judged paced: only a line that
        // was quick from its first reply (a simulator answering at once)
        // is not, and that stays so.
        if (linePaced_)
            restReader(replyWait() == ReplyWait::Due
                           ? replyDue_
                           : replyDue_ - (1 + kRestBytesAhead) * byteSeconds_);
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
    void checkReceiveEvent() override {
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
        runReceiveCallback();
    }

    void onError(QSerialPort::SerialPortError error) override {
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

    std::unique_ptr<QSocketNotifier> readable_;
    QByteArray input_; // read from the line, not yet taken by ComRd
    PreciseAlarm restWait_{[this] { endRestWait(); }};
    bool rested_ = false;       // the reply in the queue has had its rest wait
    int expected_ = 0;          // bytes a wait without receive callback is for
    bool replyAwaited_ = false; // a telegram was written into a quiet line
    double writtenAt_ = 0;      // Timer() when it was
    double replyDue_ = 0;       // seconds from then until its reply can be in
    bool linePaced_ = false;    // the last reply took the line's time
};

} // namespace

std::unique_ptr<SerialLine> makeLinuxLine(int number) {
    return std::make_unique<LinuxLine>(number);
}

} // namespace rt

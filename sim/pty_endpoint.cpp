#include "sim/pty_endpoint.h"
#include "sim/prompt_wake_ups.h"

#include <utility>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr auto kIdlePass = std::chrono::milliseconds(20);
// A long sleep ends later than a short one: the processor has gone into a deeper idle state, or
// in a virtual machine the host has to wake it first (on a two-core test machine about 75 us
// late after 18 ms, 25 us after 0.2 ms). So a wait for a due byte longer than kLongWait ends
// kFinalApproach early and sleeps the rest again.
constexpr auto kLongWait = std::chrono::milliseconds(1);
constexpr auto kFinalApproach = std::chrono::microseconds(150);
constexpr auto kNoPeerRetry = std::chrono::milliseconds(10);
constexpr long long kNsPerSecond = 1'000'000'000LL;

[[noreturn]] void fail(const char *what) {
    throw std::system_error(errno, std::generic_category(), what);
}

timespec toTimespec(Clock::duration d) {
    const auto ns =
        std::max<long long>(0, std::chrono::duration_cast<std::chrono::nanoseconds>(d).count());
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns / kNsPerSecond);
    ts.tv_nsec = static_cast<long>(ns % kNsPerSecond);
    return ts;
}

void drain(int fd) {
    char buf[64];
    while (::read(fd, buf, sizeof buf) > 0) {
    }
}

} // namespace

Fd &Fd::operator=(Fd &&other) noexcept {
    if (this != &other)
        reset(other.release());
    return *this;
}

int Fd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void Fd::reset(int fd) {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

PtyEndpoint::PtyEndpoint(unsigned bytesPerSecond) : rate_(bytesPerSecond) {
    master_.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master_)
        fail("posix_openpt");
    if (::grantpt(master_.get()) != 0)
        fail("grantpt");
    if (::unlockpt(master_.get()) != 0)
        fail("unlockpt");
    char name[256];
    if (::ptsname_r(master_.get(), name, sizeof name) != 0)
        fail("ptsname_r");
    slavePath_ = name;
    const int flags = ::fcntl(master_.get(), F_GETFL);
    if (flags < 0 || ::fcntl(master_.get(), F_SETFL, flags | O_NONBLOCK) != 0)
        fail("fcntl");

    // Raw mode on the slave: no byte is translated, swallowed or echoed. The settings stay
    // with the pseudo-terminal when this descriptor is closed again.
    {
        Fd slave(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
        if (!slave)
            fail("open slave");
        termios t{};
        if (::tcgetattr(slave.get(), &t) != 0)
            fail("tcgetattr");
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        ::cfsetispeed(&t, B19200);
        ::cfsetospeed(&t, B19200);
        if (::tcsetattr(slave.get(), TCSANOW, &t) != 0)
            fail("tcsetattr");
    }

    int pipeFds[2];
    if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0)
        fail("pipe2");
    wakeRead_.reset(pipeFds[0]);
    wakeWrite_.reset(pipeFds[1]);
}

PtyEndpoint::~PtyEndpoint() {
    stop();
}

void PtyEndpoint::start() {
    thread_ = std::thread([this] { run(); });
}

void PtyEndpoint::stop() {
    stopRequested_ = true;
    wake();
    if (thread_.joinable())
        thread_.join();
}

void PtyEndpoint::wake() {
    if (wakeWrite_) {
        const char c = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeWrite_.get(), &c, 1);
    }
}

std::size_t PtyEndpoint::Outgoing::dueAt(Clock::time_point now) const {
    if (now < start)
        return 0;
    if (rate == 0)
        return bytes.size();
    // Byte k leaves at start + lineTime(k): bytes 0 .. floor(elapsed * rate) have left.
    const long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now - start).count();
    const auto left = static_cast<std::size_t>(ns / kNsPerSecond * rate +
                                               ns % kNsPerSecond * rate / kNsPerSecond) +
                      1;
    if (left >= bytes.size())
        return bytes.size();
    return left / chunk * chunk; // a group goes with its last byte
}

Clock::time_point PtyEndpoint::Outgoing::nextDue() const {
    if (bytes.empty() || rate == 0)
        return start;
    const std::size_t groupEnd = std::min(sent / chunk * chunk + chunk, bytes.size());
    return start + lineTime(groupEnd - 1, rate);
}

void PtyEndpoint::transmit(std::vector<std::uint8_t> bytes, Clock::time_point earliest,
                           bool hangUpAfter) {
    Outgoing o;
    o.start = std::max(earliest, lineFreeAt_);
    o.rate = rate_;
    o.chunk = chunk_;
    o.hangUpAfter = hangUpAfter;
    lineFreeAt_ = o.start + lineTime(bytes.size(), o.rate);
    o.bytes = std::move(bytes);
    queue_.push_back(std::move(o));
}

void PtyEndpoint::closeLine() {
    stop();
    master_.reset();
    finished_ = true;
}

std::optional<Clock::time_point> PtyEndpoint::sendDue(Clock::time_point now, bool &wantWrite,
                                                      bool &closeNow) {
    while (!queue_.empty()) {
        Outgoing &o = queue_.front();
        if (now < o.start)
            return o.nextDue();

        const std::size_t due = o.dueAt(now);
        if (due > o.sent && adapter_.present()) {
            adapter_.take(o.bytes.data() + o.sent, due - o.sent,
                          o.start + lineTime(due - 1, o.rate));
            o.sent = due;
        } else if (due > o.sent) {
            const ssize_t w = ::write(master_.get(), o.bytes.data() + o.sent, due - o.sent);
            if (w > 0) {
                o.sent += static_cast<std::size_t>(w);
                continue;
            }
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                wantWrite = true;
                return std::nullopt;
            }
            o.sent = o.bytes.size(); // the line is gone: these bytes are lost
        }
        if (o.sent == o.bytes.size()) {
            const bool last = o.hangUpAfter;
            queue_.pop_front();
            if (lineIdle())
                replyEnded_ = Clock::now();
            if (last && !lineIdle()) {
                hangUpWhenIdle_ = true;
            } else if (last) {
                closeNow = true;
                return std::nullopt;
            }
            continue;
        }
        return o.nextDue();
    }
    return std::nullopt;
}

std::optional<Clock::time_point> PtyEndpoint::handOverDue(Clock::time_point now, bool &wantWrite) {
    adapter_.handOver(now, handedOver_);
    while (!handedOver_.empty()) {
        const ssize_t w = ::write(master_.get(), handedOver_.data(), handedOver_.size());
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            wantWrite = true;
            break;
        }
        // Written, or the line is gone and these bytes are lost.
        handedOver_.erase(handedOver_.begin(), w > 0 ? handedOver_.begin() + w : handedOver_.end());
        if (lineIdle())
            replyEnded_ = Clock::now();
    }
    return adapter_.nextHandOver();
}

void PtyEndpoint::readMaster(bool &hup) {
    std::uint8_t buf[4096];
    for (;;) {
        const ssize_t n = ::read(master_.get(), buf, sizeof buf);
        if (n > 0) {
            const auto now = Clock::now();
            std::lock_guard<std::mutex> lock(mutex_);
            if (replyEnded_ && lineIdle())
                turnaround_ = now - *std::exchange(replyEnded_, std::nullopt);
            received(buf, static_cast<std::size_t>(n), now);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EIO)
            hup = true;
        return;
    }
}

void PtyEndpoint::lingerUntilDrained() {
    // Closing the master discards what the program has not read yet; a real line would have
    // delivered those bytes. So wait (up to a second) until the slave's input queue is empty.
    Fd slave(::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!slave)
        return;
    // The pseudo-terminal hands written bytes on to the slave's queue a little later, so an
    // empty queue only counts after a short while.
    const auto settled = Clock::now() + std::chrono::milliseconds(50);
    const auto end = Clock::now() + std::chrono::seconds(1);
    while (!stopRequested_ && Clock::now() < end) {
        int queued = 0;
        if (::ioctl(slave.get(), FIONREAD, &queued) != 0 || (queued == 0 && Clock::now() > settled))
            return;
        pollfd w{wakeRead_.get(), POLLIN, 0};
        timespec pause = toTimespec(std::chrono::milliseconds(5));
        if (::ppoll(&w, 1, &pause, nullptr) > 0)
            drain(wakeRead_.get());
    }
}

void PtyEndpoint::run() {
    const PromptWakeUps onTime; // the serving thread keeps its times
    while (!stopRequested_) {
        auto now = Clock::now();
        bool wantWrite = false;
        bool closeNow = false;
        bool watching = false;
        Clock::time_point deadline = now + kIdlePass;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            tick(now);
            const auto approach = [&](std::optional<Clock::time_point> due) {
                if (due)
                    deadline =
                        std::min(deadline, *due - now > kLongWait ? *due - kFinalApproach : *due);
            };
            approach(sendDue(now, wantWrite, closeNow));
            if (!closeNow)
                approach(handOverDue(now, wantWrite));
            closeNow = closeNow || (hangUpWhenIdle_ && lineIdle());
            if (auto t = nextTick())
                deadline = std::min(deadline, *t);
            watching = replyEnded_ && lineIdle() && now - *replyEnded_ < watchAfterReply_;
        }
        if (closeNow) {
            lingerUntilDrained();
            master_.reset();
            finished_ = true;
            return;
        }

        pollfd fds[2] = {
            {wakeRead_.get(), POLLIN, 0},
            {master_.get(), static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0}};
        // Watching: look again at once, after letting the pseudo-terminal's kernel worker run.
        if (watching)
            ::sched_yield();
        timespec ts = watching ? timespec{0, 0} : toTimespec(deadline - Clock::now());
        const int r = ::ppoll(fds, 2, &ts, nullptr);
        if (r < 0 && errno != EINTR) {
            finished_ = true;
            return;
        }
        if (r <= 0) {
            if (r == 0)
                peerSeen_ = true;
            continue;
        }
        if (fds[0].revents & POLLIN)
            drain(wakeRead_.get());

        bool hup = (fds[1].revents & (POLLHUP | POLLERR)) != 0;
        if (fds[1].revents & POLLIN)
            readMaster(hup);
        if (!hup) {
            peerSeen_ = true;
            continue;
        }
        if (peerSeen_ && stopWhenPeerCloses_) {
            finished_ = true;
            return;
        }
        // Nobody has the slave open (yet or any more): look again shortly.
        pollfd w{wakeRead_.get(), POLLIN, 0};
        timespec pause = toTimespec(std::min<Clock::duration>(
            kNoPeerRetry,
            std::max<Clock::duration>(deadline - Clock::now(), Clock::duration::zero())));
        if (::ppoll(&w, 1, &pause, nullptr) > 0)
            drain(wakeRead_.get());
    }
}

} // namespace sim

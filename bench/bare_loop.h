// The least any program can spend on the live loop at 19200 baud on this
// machine, for the monitor's figures to be read against: write the frame
// order, sleep on a kernel timer, read the 36-byte reply, nothing else. No
// event loop, no decoding, no files. Its thread's processor time comes from
// CLOCK_THREAD_CPUTIME_ID, exact to the nanosecond.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <thread>

namespace bare {

inline double seconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// A loopback TCP connection whose far end a thread of its own drains, as a
// broker would take a publisher's messages.
class Sink {
  public:
    Sink() {
        const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(listener, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
            listen(listener, 1) != 0 ||
            getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
            close(listener);
            return;
        }
        sender_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        setsockopt(sender_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (connect(sender_, reinterpret_cast<sockaddr *>(&address), length) == 0)
            receiver_ = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        close(listener);
        drain_ = std::thread([fd = receiver_] {
            char buffer[65536];
            while (fd >= 0 && read(fd, buffer, sizeof buffer) > 0) {
            }
        });
    }
    ~Sink() {
        shutdown(sender_, SHUT_RDWR);
        drain_.join();
        close(sender_);
        close(receiver_);
    }
    Sink(const Sink &) = delete;
    Sink &operator=(const Sink &) = delete;
    int fd() const { return sender_; }

  private:
    int sender_ = -1;
    int receiver_ = -1;
    std::thread drain_;
};

struct Result {
    double cpu = 0;       // share of a core
    double perSecond = 0; // frames a second
};

// For `span` seconds: each reply is slept for until `ahead` seconds before
// its last byte is due (0: until it is due) and the rest taken as it comes;
// with `sink`, a frame message's 222 bytes go to it after each reply.
inline Result run(const char *port, double span, double ahead, const Sink *sink) {
    Result result;
    const int fd = open(port, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const int timer = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
    termios raw{};
    if (fd < 0 || timer < 0 || tcgetattr(fd, &raw) != 0) {
        close(fd);
        close(timer);
        return result;
    }
    cfmakeraw(&raw);
    cfsetspeed(&raw, B19200);
    tcsetattr(fd, TCSANOW, &raw);
    std::array<std::uint8_t, 36> order{0x00, 0x55, 0x00, 0x08};
    std::array<char, 222> message{};
    // 36 bytes out and 36 back, ten bits each at 19200 baud.
    const double due = 72 * 10.0 / 19200.0 - ahead;
    const itimerspec rest{{0, 0}, {0, static_cast<long>(due * 1e9)}};
    std::array<char, 4096> reply{};
    long frames = 0;
    const double cpu0 = seconds(CLOCK_THREAD_CPUTIME_ID), wall0 = seconds(CLOCK_MONOTONIC);
    while (seconds(CLOCK_MONOTONIC) - wall0 < span) {
        if (write(fd, order.data(), order.size()) != static_cast<ssize_t>(order.size()))
            break;
        timerfd_settime(timer, 0, &rest, nullptr);
        std::uint64_t expirations = 0;
        if (read(timer, &expirations, sizeof expirations) < 0)
            break;
        ssize_t got = 0;
        while (got < 36) {
            pollfd wait{fd, POLLIN, 0};
            if (poll(&wait, 1, 1000) <= 0)
                break;
            const ssize_t n = read(fd, reply.data(), reply.size());
            if (n <= 0)
                break;
            got += n;
        }
        if (got < 36)
            break;
        ++frames;
        if (sink)
            (void)send(sink->fd(), message.data(), message.size(), MSG_NOSIGNAL);
    }
    const double wall = seconds(CLOCK_MONOTONIC) - wall0;
    result.cpu = (seconds(CLOCK_THREAD_CPUTIME_ID) - cpu0) / wall;
    result.perSecond = static_cast<double>(frames) / wall;
    close(timer);
    close(fd);
    return result;
}

} // namespace bare

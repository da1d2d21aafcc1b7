// Helpers of the simulated sensor's tests: the program's end of the line.
#pragma once

#include "sim/protocol.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace simtest {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

inline std::vector<std::uint8_t> bytesOf(const sim::Telegram &t) {
    return std::vector<std::uint8_t>(t.begin(), t.end());
}

inline std::vector<std::uint8_t> request(std::uint16_t orderCode, const sim::Words &words = {}) {
    return bytesOf(sim::makeRequest(orderCode, words));
}

// The order-9 request for the block that starts at sample `first`.
inline std::vector<std::uint8_t> videoRequest(std::uint16_t first) {
    sim::Words w{};
    w[0] = first;
    w[1] = first == 192 ? 1 : 0;
    return request(sim::order::Video, w);
}

// The program's side: the slave opened like a serial port, non-blocking.
class Port {
  public:
    explicit Port(const std::string &path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    Port(const Port &) = delete;
    Port &operator=(const Port &) = delete;
    ~Port() { close(); }

    bool isOpen() const { return fd_ >= 0; }
    void close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    bool write(const std::vector<std::uint8_t> &bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (n > 0)
                done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Reads until n bytes have come or the time is up; `times` gets the arrival time of every
    // byte. `lineGone` tells whether the line was hung up.
    std::vector<std::uint8_t> read(std::size_t n, std::chrono::milliseconds timeout,
                                   std::vector<Clock::time_point> *times = nullptr,
                                   bool *lineGone = nullptr) {
        std::vector<std::uint8_t> out;
        const auto end = Clock::now() + timeout;
        if (lineGone)
            *lineGone = false;
        while (out.size() < n) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            if (left.count() < 0)
                break;
            pollfd p{fd_, POLLIN, 0};
            const int r = ::poll(&p, 1, static_cast<int>(left.count()) + 1);
            if (r <= 0)
                continue;
            std::uint8_t buf[512];
            const ssize_t got = ::read(fd_, buf, std::min(sizeof buf, n - out.size()));
            const auto now = Clock::now();
            if (got > 0) {
                out.insert(out.end(), buf, buf + got);
                if (times)
                    times->insert(times->end(), static_cast<std::size_t>(got), now);
            } else if (got == 0 || (errno != EAGAIN && errno != EINTR) ||
                       (p.revents & (POLLHUP | POLLERR))) {
                if (lineGone)
                    *lineGone = true;
                break;
            }
        }
        return out;
    }

    // Everything that arrives within the given time.
    std::vector<std::uint8_t> readFor(std::chrono::milliseconds span) {
        return read(static_cast<std::size_t>(-1) / 2, span);
    }

  private:
    int fd_ = -1;
};

} // namespace simtest

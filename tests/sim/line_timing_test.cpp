// How exactly the simulated line keeps time, seen from the program's end of a pseudo-terminal.
//
// Benchmarks measure the program against the simulated sensor, so its pacing is part of what it
// simulates: the reply's first byte leaves 36 byte times after the request's first byte came,
// byte k of the reply k byte times after that, and with a chunk of N each group of N bytes
// comes with its last byte. A client here writes requests and timestamps every read.
//
// A pseudo-terminal takes time of its own to carry bytes (a kernel worker and a wake-up each
// way, 0.1 ms and more on a busy machine), which a real line does not. So the client also
// sends a request through a bare loopback pseudo-terminal between the paced exchanges, and the
// median of those round trips is the transport time taken off. (An unpaced sensor would not
// do: its reply waits for the sensor's work, which a paced one does while the request is
// still on the line.) One exchange is at the mercy of the scheduler:
// the checks take medians over many, and bound single exchanges only from below (no byte can
// come before its time, however loaded the machine).
#include "sim/prompt_wake_ups.h"
#include "sim/pty_server.h"
#include "sim/scripted_sensor.h"

#include "sim_program.h"
#include "sim_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <termios.h>
#include <thread>

using namespace simtest;

namespace {

constexpr double kByteUs = 1e6 / 1920.0; // 19200 baud, 8N1
constexpr double kTolerance = 0.005;     // of the ideal time

double usBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::micro>(b - a).count();
}

// One request and the reads that brought its reply.
struct Exchange {
    Clock::time_point sent; // just before the request was written
    std::vector<Clock::time_point> readAt;
    std::vector<std::size_t> readSize;
    std::size_t total = 0;

    double usToFirst() const { return usBetween(sent, readAt.front()); }
    double usToLast() const { return usBetween(sent, readAt.back()); }
};

// The program's end: the slave opened blocking and in raw mode, like a serial port.
class TimedClient {
  public:
    explicit TimedClient(const std::string &path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        termios t{};
        if (fd_ >= 0 && ::tcgetattr(fd_, &t) == 0) {
            ::cfmakeraw(&t);
            t.c_cc[VMIN] = 1;
            t.c_cc[VTIME] = 0;
            ::tcsetattr(fd_, TCSANOW, &t);
        }
    }
    TimedClient(const TimedClient &) = delete;
    TimedClient &operator=(const TimedClient &) = delete;
    ~TimedClient() {
        if (fd_ >= 0)
            ::close(fd_);
    }

    bool isOpen() const { return fd_ >= 0; }

    // Writes the request and reads until `replySize` bytes have come (or 2 s have passed).
    // With `dueUs`, which tells when the read after n bytes is due (in us from the write), a
    // wait of more than 1 ms first sleeps until shortly before: the client's own wake-up from
    // a long sleep (75 us and more on a virtual machine) is no part of the sensor's timing.
    // A byte that comes early is still read early: the client is back before it is due.
    Exchange exchange(const std::vector<std::uint8_t> &request, std::size_t replySize,
                      const std::function<double(std::size_t)> &dueUs = {}) {
        Exchange e;
        e.sent = Clock::now();
        if (::write(fd_, request.data(), request.size()) != static_cast<ssize_t>(request.size()))
            return e;
        const auto end = e.sent + 2s;
        while (e.total < replySize && Clock::now() < end) {
            if (dueUs) {
                const auto wakeAt =
                    e.sent + std::chrono::microseconds(static_cast<long>(dueUs(e.total)) - 150);
                if (wakeAt - Clock::now() > 1ms)
                    std::this_thread::sleep_until(wakeAt);
            }
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            std::uint8_t buf[512];
            const ssize_t n = ::read(fd_, buf, std::min(sizeof buf, replySize - e.total));
            const auto now = Clock::now();
            if (n <= 0)
                break;
            e.readAt.push_back(now);
            e.readSize.push_back(static_cast<std::size_t>(n));
            e.total += static_cast<std::size_t>(n);
        }
        return e;
    }

  private:
    int fd_ = -1;
};

// A pseudo-terminal whose master sends back at once whatever it reads: the transport alone.
class Loopback {
  public:
    Loopback() : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        char name[256];
        if (!master_ || ::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0 ||
            ::ptsname_r(master_.get(), name, sizeof name) != 0)
            return;
        slavePath_ = name;
        thread_ = std::thread([this] { run(); });
    }
    Loopback(const Loopback &) = delete;
    Loopback &operator=(const Loopback &) = delete;
    ~Loopback() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }

    const std::string &slavePath() const { return slavePath_; }

  private:
    void run() {
        while (!stop_) {
            pollfd p{master_.get(), POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) {
                if (p.revents & POLLHUP) // no client yet
                    std::this_thread::sleep_for(5ms);
                continue;
            }
            std::uint8_t buf[512];
            const ssize_t n = ::read(master_.get(), buf, sizeof buf);
            if (n > 0 && ::write(master_.get(), buf, static_cast<std::size_t>(n)) != n)
                return;
        }
    }

    sim::Fd master_;
    std::string slavePath_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct Stats {
    double mean = 0, median = 0, p99 = 0;
};

Stats statsOf(std::vector<double> v) {
    Stats s;
    if (v.empty())
        return s;
    std::sort(v.begin(), v.end());
    for (double x : v)
        s.mean += x;
    s.mean /= static_cast<double>(v.size());
    const std::size_t mid = v.size() / 2;
    s.median = v.size() % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
    s.p99 = v[std::min(v.size() - 1, v.size() * 99 / 100)];
    return s;
}

double medianOf(std::vector<double> v) {
    return statsOf(std::move(v)).median;
}

void print(const char *what, const Stats &s, double ideal) {
    std::printf("  %-30s ideal %9.1f us  mean %+8.1f  median %+8.1f  p99 %+8.1f\n", what, ideal,
                s.mean - ideal, s.median - ideal, s.p99 - ideal);
}

// When byte k of a reply of `size` bytes in groups of `chunk` can be read, in byte times from
// the request's first byte: with the last byte of its group, which leaves 36 + its index.
double byteTimesToRead(std::size_t k, std::size_t size, std::size_t chunk) {
    const std::size_t groupEnd = std::min((k / chunk + 1) * chunk, size) - 1;
    return 36.0 + static_cast<double>(groupEnd);
}

enum class Served { InProcess, Program, Scripted };

struct PacingCase {
    const char *what;
    Served by;
    std::size_t chunk;
    std::uint16_t order;
    std::size_t replySize;
    int exchanges;
};

// The sensor a case talks to, whichever form it takes.
struct PacedSensor {
    std::unique_ptr<sim::PtyServer> server;
    std::unique_ptr<sim::ScriptedSensor> scripted;
    std::unique_ptr<Program> program;
    std::string path;

    explicit PacedSensor(const PacingCase &c) {
        switch (c.by) {
        case Served::InProcess: {
            sim::ServerOptions o;
            o.chunk = c.chunk;
            server = std::make_unique<sim::PtyServer>(sim::Sensor{}, o);
            path = server->slavePath();
            break;
        }
        case Served::Program:
            program = std::make_unique<Program>(
                std::vector<std::string>{"--chunk", std::to_string(c.chunk)});
            path = program->firstLine();
            break;
        case Served::Scripted:
            scripted = std::make_unique<sim::ScriptedSensor>();
            scripted->setBaud(19200);
            scripted->setChunk(c.chunk);
            scripted->script(c.order, std::vector<std::uint8_t>(c.replySize, 0x5A));
            path = scripted->slavePath();
            break;
        }
    }
};

std::vector<std::uint8_t> requestFor(std::uint16_t order) {
    return order == sim::order::Video ? videoRequest(0) : request(order);
}

const PacingCase kCases[] = {
    {"PtyServer, video block, byte by byte", Served::InProcess, 1, sim::order::Video, 128, 30},
    {"PtyServer, echo, chunk 8 (last group 4)", Served::InProcess, 8, sim::order::Echo, 36, 20},
    {"vexa-sim, video block, byte by byte", Served::Program, 1, sim::order::Video, 128, 20},
    {"vexa-sim --chunk 8, video block", Served::Program, 8, sim::order::Video, 128, 20},
    {"ScriptedSensor, chunk 8, 72 bytes", Served::Scripted, 8, sim::order::Firmware, 72, 20},
};

// Medians of one run of a case's exchanges, the transport taken off, and their ideal values.
struct Timing {
    double first = 0, last = 0, span = 0, readSize = 0;
    double idealFirst = 0, idealLast = 0, idealSpan = 0;

    bool onTime() const {
        return std::abs(first - idealFirst) <= idealFirst * kTolerance &&
               std::abs(last - idealLast) <= idealLast * kTolerance &&
               std::abs(span - idealSpan) <= idealSpan * kTolerance;
    }
};

// Runs a case's exchanges, each after a round trip through the loopback, and checks what no
// load can excuse: every reply whole, every read ending on a group's end, no byte early.
void measure(const PacingCase &c, TimedClient &client, TimedClient &reference, Timing &t) {
    const auto req = requestFor(c.order);
    std::vector<double> transport, toFirst, toLast, span, spacing, readSizes;
    for (int i = 0; i < c.exchanges; ++i) {
        const Exchange ref = reference.exchange(request(sim::order::Echo), 36);
        ASSERT_EQ(ref.total, 36u);
        transport.push_back(ref.usToFirst());

        const Exchange e = client.exchange(req, c.replySize, [&c](std::size_t n) {
            return byteTimesToRead(n, c.replySize, c.chunk) * kByteUs;
        });
        ASSERT_EQ(e.total, c.replySize) << "exchange " << i;
        std::size_t got = 0;
        for (std::size_t r = 0; r < e.readAt.size(); ++r) {
            got += e.readSize[r];
            ASSERT_TRUE(got % c.chunk == 0 || got == c.replySize)
                << "exchange " << i << ": a read ends inside a group, after byte " << got;
            const double earliest = byteTimesToRead(got - 1, c.replySize, c.chunk) * kByteUs;
            ASSERT_GE(usBetween(e.sent, e.readAt[r]), earliest - 1.0)
                << "exchange " << i << ": byte " << got - 1 << " came before its time";
            readSizes.push_back(static_cast<double>(e.readSize[r]));
            if (r > 0)
                spacing.push_back(usBetween(e.readAt[r - 1], e.readAt[r]) /
                                  static_cast<double>(e.readSize[r]));
        }
        toFirst.push_back(e.usToFirst());
        toLast.push_back(e.usToLast());
        span.push_back(usBetween(e.readAt.front(), e.readAt.back()));
        std::this_thread::sleep_for(2ms);
    }

    const double carry = medianOf(transport);
    auto lessTransport = [carry](std::vector<double> v) {
        for (double &x : v)
            x -= carry;
        return v;
    };
    t.idealFirst = byteTimesToRead(0, c.replySize, c.chunk) * kByteUs;
    t.idealLast = byteTimesToRead(c.replySize - 1, c.replySize, c.chunk) * kByteUs;
    t.idealSpan = t.idealLast - t.idealFirst;
    const Stats first = statsOf(lessTransport(toFirst)), last = statsOf(lessTransport(toLast));
    const Stats between = statsOf(span);
    t.first = first.median;
    t.last = last.median;
    t.span = between.median;
    t.readSize = medianOf(readSizes);

    std::printf("%s (%d exchanges; transport %.1f us, differences from the ideal):\n", c.what,
                c.exchanges, carry);
    print("request to reply", statsOf(toFirst), t.idealFirst);
    print("  less transport", first, t.idealFirst);
    print("request to last byte, less tr.", last, t.idealLast);
    print("reply first to last read", between, t.idealSpan);
    print("spacing per byte", statsOf(spacing), kByteUs);
}

} // namespace

// The medians of a run must lie within 0.5 % of the line's times. A machine busy enough can
// hold up more than half of the exchanges of one run (a sensor late by its own fault is late
// in every run), so a case that misses is measured again, up to three runs in all.
TEST(LineTiming, RepliesKeepTheLineTimesWithinHalfAPercent) {
    const sim::PromptWakeUps onTime;
    Loopback loopback;
    TimedClient reference(loopback.slavePath());
    ASSERT_TRUE(reference.isOpen());

    for (const PacingCase &c : kCases) {
        SCOPED_TRACE(c.what);
        PacedSensor sensor(c);
        ASSERT_FALSE(sensor.path.empty());
        TimedClient client(sensor.path);
        ASSERT_TRUE(client.isOpen()) << sensor.path;

        Timing t;
        for (int run = 1; run <= 3; ++run) {
            ASSERT_NO_FATAL_FAILURE(measure(c, client, reference, t));
            if (t.onTime())
                break;
            std::printf("  (off by more than %.1f %%: measured again)\n", kTolerance * 100);
        }
        EXPECT_NEAR(t.first, t.idealFirst, t.idealFirst * kTolerance);
        EXPECT_NEAR(t.last, t.idealLast, t.idealLast * kTolerance);
        EXPECT_NEAR(t.span, t.idealSpan, t.idealSpan * kTolerance);
        const std::size_t group = std::min(c.chunk, c.replySize);
        EXPECT_EQ(t.readSize, static_cast<double>(group))
            << "the bytes come in groups of " << group << ", not lumped together";
    }
}

// How a wait loop built on ProcessSystemEvents behaves: the CPU it uses while
// nothing happens, and how soon it sees a byte that arrives on the line.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "runtime/runtime.h"

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::atomic<long long> sentAt{0};
long long seenAt = 0;
int seen = 0;

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

void onByte(int port, int, void *) {
    seenAt = nowNs();
    seen = 1;
    FlushInQ(port);
}

} // namespace

int main(int, char **argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!InitCVIRTE(nullptr, argv, nullptr))
        return 1;

    // 1. An idle wait loop of 5 s.
    const double wallSeconds = 5.0;
    double cpu0 = cpuSeconds();
    const double t0 = Timer();
    long passes = 0;
    while (Timer() - t0 < wallSeconds) {
        ProcessSystemEvents();
        ++passes;
    }
    const double cpuPerWall = (cpuSeconds() - cpu0) / (Timer() - t0);
    std::printf("idle wait loop: %.4f CPU s per wall s (goal <= 0.05), %ld passes in %.1f s\n",
                cpuPerWall, passes, wallSeconds);

    // 2. Arrival-to-seen latency of single bytes on a pseudo-terminal.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    SetComDevice(1, ptsname(master));
    if (OpenComConfig(1, "", 19200, 0, 8, 1, 4096, 4096) < 0)
        return 1;
    InstallComCallback(1, LWRS_RECEIVE_COUNT, 1, 0, onByte, nullptr);
    const int samples = 300;
    std::vector<double> latencyMs;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> gapUs(2000, 9000);
    for (int i = 0; i < samples; ++i) {
        seen = 0;
        std::thread writer([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(gapUs(rng)));
            const char byte = 0x55;
            sentAt = nowNs();
            if (::write(master, &byte, 1) != 1)
                std::perror("write");
        });
        const double start = Timer();
        while (!seen && Timer() - start < 1.0)
            ProcessSystemEvents();
        writer.join();
        if (seen)
            latencyMs.push_back((seenAt - sentAt) / 1e6);
    }
    std::sort(latencyMs.begin(), latencyMs.end());
    if (latencyMs.empty())
        return 1;
    const auto at = [&](double q) {
        return latencyMs[static_cast<size_t>(q * (latencyMs.size() - 1))];
    };
    std::printf("byte arrival to wait loop: median %.3f ms, p99 %.3f ms, max %.3f ms "
                "(%zu of %d seen; goal p99 <= 1 ms)\n",
                at(0.5), at(0.99), latencyMs.back(), latencyMs.size(), samples);
    std::fflush(stdout);
    CloseCom(1);
    ::close(master);
    CloseCVIRTE();
    return 0;
}

// Sensor transactions against a sensor that answers at once: the gap from one
// reply to the next request in a chain of parameter reads, and the CPU the
// program uses while it waits out a 1.5 s time-out and the 2.0 s firmware wait.
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/program_panels.h"
#include "link/connection.h"
#include "link/transactions.h"
#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/startup.h"
#include "sim/scripted_sensor.h"

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

template <typename F> void cpuPerWall(const char *what, double goal, F wait) {
    const double cpu0 = cpuSeconds(), t0 = Timer();
    wait();
    const double wall = Timer() - t0;
    std::printf("%s: %.2f s wall, %.4f CPU s per wall s (goal <= %.2f)\n", what, wall,
                (cpuSeconds() - cpu0) / wall, goal);
}

} // namespace

int main(int, char **argv) {
    if (!StartProgramPanels(argv))
        return 1;

    sim::ScriptedSensor sensor(0); // answers at once
    com = 1;
    SetComDevice(com, sensor.slavePath().c_str());
    sensor.script(2, sim::makeReply(2, sim::defaultParameters()));
    sensor.script(5, sim::makeReply(5));
    sensor.script(10, sim::makeReply(10, {1, 1024, 250}));
    InitRS232(com); // echo, parameters (no firmware reply: 2 s), CCD info

    // A chain of parameter reads: each request goes out as soon as the
    // previous call returned, so the gap between two requests is the time
    // from a reply's last byte to the next request's first byte.
    const int chain = 400;
    sensor.clearRequests();
    for (int i = 0; i < chain; ++i)
        PushGET(RAM);
    const auto times = sensor.requestTimes();
    std::vector<double> gapsMs;
    for (size_t i = 1; i < times.size(); ++i)
        gapsMs.push_back(
            std::chrono::duration<double, std::milli>(times[i] - times[i - 1]).count());
    std::sort(gapsMs.begin(), gapsMs.end());
    if (gapsMs.empty())
        return 1;
    std::printf("reply to next request in a chain of %d parameter reads: median %.3f ms, "
                "p99 %.3f ms (goal p99 <= 1 ms)\n",
                chain, gapsMs[gapsMs.size() / 2], gapsMs[gapsMs.size() * 99 / 100]);

    sensor.clearScript();
    cpuPerWall("echo check waiting out its 1.5 s time-out", 0.05, [] { CheckComLine(com); });
    cpuPerWall("firmware wait of 2.0 s without a reply", 0.05, [] { GetVERSIONInfo(); });
    std::fflush(stdout);

    CloseCom(com);
    DiscardPanel(panelPopUp);
    DiscardPanel(panelHandle);
    CloseCVIRTE();
    return 0;
}

// vexa-tb-ctl monitor publishing to a local broker, timed from outside as a
// service runs it: against vexa-sim at 19200 baud (8 bytes a FIFO load) for
// SECONDS, ended with SIGTERM. Its CPU comes twice: from wait4 over its whole
// life, start and stop included, and from its threads' exact run times
// (/proc/PID/task/*/schedstat) once it has run 2 s, which is what a service
// costs for months; once more without publishing. A subscriber of its
// frames counts what arrives and how long after the decoding. Beside it, the
// least any program can spend on the same loop on this machine (bare_loop.h).
// Prints its rows of the benchmarks' table.
//
//   bench_monitor [SECONDS]    (default 8 s)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <thread>
#include <string>
#include <vector>

#include "bench/bare_loop.h"
#include "bench/simulator.h"
#include "bench/table.h"
#include "tests/support/mosquitto_broker.h"

namespace {

using SystemClock = std::chrono::system_clock;

// A frame message's "seq" and "time" ("2026-12-08T00:56:42.440+01:00", the
// decode time with the zone's offset) as a time of the system clock.
bool ReadFrame(const std::string &json, long long &seq, SystemClock::time_point &time) {
    std::tm tm{};
    int ms = 0, offsetHours = 0, offsetMinutes = 0;
    char sign = 0;
    if (std::sscanf(json.c_str(), "{\"seq\":%lld,\"time\":\"%d-%d-%dT%d:%d:%d.%d%c%d:%d\"", &seq,
                    &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &ms,
                    &sign, &offsetHours, &offsetMinutes) != 11)
        return false;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    const long offset = (sign == '-' ? -1 : 1) * (offsetHours * 3600L + offsetMinutes * 60L);
    time = SystemClock::from_time_t(timegm(&tm) - offset) + std::chrono::milliseconds(ms);
    return true;
}

// The run time in seconds of all of `pid`'s threads, from the scheduler's
// own count (nanoseconds, not clock ticks).
double RunSeconds(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR *dir = opendir(tasks.c_str());
    if (!dir)
        return 0;
    double sum = 0;
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
        long long ns = 0;
        if (stat >> ns)
            sum += static_cast<double>(ns) / 1e9;
    }
    closedir(dir);
    return sum;
}

constexpr double kWarmUp = 2.0; // seconds before a running figure starts

// A monitor's share of a core once it has run kWarmUp seconds, over the
// next `seconds`, without publishing.
double RunningCpuWithoutBroker(double seconds) {
    Simulator sim(VEXA_SIM, {"--baud", "19200", "--chunk", "8"});
    if (sim.port().empty())
        return -1;
    ChildProcess monitor(VEXA_TB_CTL, {"--port", sim.port(), "monitor", "--name", "bench"});
    std::this_thread::sleep_for(std::chrono::duration<double>(kWarmUp));
    const double cpu0 = RunSeconds(monitor.pid());
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    return (RunSeconds(monitor.pid()) - cpu0) / seconds;
}

bare::Result BareLoop(double seconds, double ahead, bool sink) {
    Simulator sim(VEXA_SIM, {"--baud", "19200", "--chunk", "8"});
    if (sim.port().empty())
        return {};
    const bare::Sink to;
    return bare::run(sim.port().c_str(), seconds, ahead, sink ? &to : nullptr);
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * (values.size() - 1))];
}

} // namespace

int main(int argc, char **argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 8.0;
    MosquittoBroker mosquitto;
    if (!mosquitto.start())
        return 1;
    Subscriber subscriber(mosquitto.uri(), "vexa-tb/bench/frame");
    Simulator sim(VEXA_SIM, {"--baud", "19200", "--chunk", "8"});
    if (!subscriber.connect() || sim.port().empty())
        return 1;

    const auto started = std::chrono::steady_clock::now();
    ChildProcess monitor(VEXA_TB_CTL, {"--port", sim.port(), "monitor", "--publish",
                                       mosquitto.url(), "--name", "bench"});
    long long received = 0, firstSeq = -1, lastSeq = -1;
    std::vector<double> latencies; // ms
    auto receive = [&](int ms) {
        Received message;
        if (!subscriber.next(message, ms))
            return false;
        const SystemClock::time_point arrived = SystemClock::now();
        long long seq = 0;
        SystemClock::time_point decoded;
        if (ReadFrame(message.payload, seq, decoded)) {
            ++received;
            firstSeq = firstSeq < 0 ? seq : firstSeq;
            lastSeq = seq;
            latencies.push_back(
                std::chrono::duration<double, std::milli>(arrived - decoded).count());
        }
        return true;
    };
    const auto warm = started + std::chrono::duration<double>(kWarmUp);
    const auto end = warm + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < warm)
        receive(100);
    const double run0 = RunSeconds(monitor.pid());
    const auto running0 = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < end)
        receive(100);
    const double running = (RunSeconds(monitor.pid()) - run0) /
        std::chrono::duration<double>(std::chrono::steady_clock::now() - running0).count();
    const double cpu = monitor.stop();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    while (receive(500)) {
    }

    Row("monitor with publishing at 19200 baud: CPU, running", 100 * running, "% core", 0.5,
        "<= 0.5 %");
    Row("monitor with publishing at 19200 baud: CPU, whole life", 100 * cpu / wall, "% core", 0.5,
        "");
    // Between the first frame that arrived and the last: those decoded while
    // the publisher was still connecting are dropped by design.
    Row("monitor: frames published per frame decoded",
        lastSeq >= firstSeq && received > 0 ? 100.0 * received / (lastSeq - firstSeq + 1) : 0, "%",
        100, "100 %");
    // "time" keeps whole milliseconds (cut off, not rounded): each figure is
    // up to 1 ms high.
    Row("monitor: frame decoded → received by a subscriber, median", Percentile(latencies, 0.5),
        "ms", 5, "");
    Row("monitor: frame decoded → received by a subscriber, p99", Percentile(latencies, 0.99), "ms",
        5, "<= 5 ms");

    Row("monitor without publishing at 19200 baud: CPU, running",
        100 * RunningCpuWithoutBroker(seconds), "% core", 0.5, "");
    // The floor: what a loop of nothing but write, sleep and read costs here.
    // A wake-up is dear in a virtual machine; one a reply is the least.
    const double byteTime = 10.0 / 19200.0;
    const bare::Result ahead = BareLoop(seconds, 2 * byteTime, false);
    const bare::Result due = BareLoop(seconds, 0, false);
    const bare::Result sending = BareLoop(seconds, 0, true);
    Row("bare loop, waking 2 bytes ahead of the reply's end: CPU", 100 * ahead.cpu, "% core", 0.5,
        "");
    Row("bare loop, waking when the reply is due: CPU", 100 * due.cpu, "% core", 0.5, "");
    Row("bare loop, waking when due, a 222-byte send a frame: CPU", 100 * sending.cpu, "% core",
        0.5, "");
    Row("bare loop, waking when due: frames/s", due.perSecond, "frames/s", 19200.0 / 10 / 72, "");
    return 0;
}

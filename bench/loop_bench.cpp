// The Run and Data loops as a user runs them: against vexa-sim in its own
// process (so that this process's CPU time is the program's alone), on a
// line of 19200 baud that hands bytes over 8 at a time like a 16550 UART, and
// against a sensor that answers at once; then the live and Data loops again
// on the portable serial path (rows "portable: ..."). Prints one line
// per figure: the measured value, the line limit or goal beside it and their
// ratio.
//
//   bench_loops [SECONDS]    (default 8 s per loop figure)
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <fstream>
#include <string>

#include "bench/program_panels.h"
#include "bench/simulator.h"
#include "bench/table.h"
#include "broker/publisher.h"
#include "display/live_loop.h"
#include "display/video_loop.h"
#include "link/connection.h"
#include "link/transactions.h"
#include "record/record_menu.h"
#include "runtime/runtime.h"
#include "runtime/serial_path.h"
#include "runtime/test_hooks.h"
#include "runtime/widget_access.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/startup.h"
#include "stream/stream.h"
#include "tests/support/mosquitto_broker.h"

namespace {

constexpr double BYTES_PER_SECOND = 1920.0;
constexpr double FRAME_BYTES = 72.0; // request and reply
constexpr double PASS_BYTES = 72.0 + 4 * (36.0 + 128.0);

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Times this thread gave up the processor to wait: its wake-ups.
long wakeUps() {
    std::ifstream status("/proc/thread-self/status");
    std::string key;
    long value = 0, total = 0;
    while (status >> key) {
        if (key == "voluntary_ctxt_switches:" && status >> value)
            total += value;
        else
            status.ignore(1 << 12, '\n');
    }
    return total;
}

long residentKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct LoopFigures {
    double seconds = 0, requests = 0, cpu = 0, wakeUpsPerTelegram = 0;
    double perSecond = 0; // requests per second, from the first request to the last
};

// Runs a loop callback for `seconds` or `maxRequests` order-8 requests
// (Stop is clicked then) and counts the order-8 requests it wrote.
LoopFigures RunLoop(CtrlCallbackPtr loop, double seconds, int maxRequests = 1 << 30) {
    int requests = 0;
    double first = 0, last = 0;
    SetSerialOutputObserver([&](const SerialOutputEvent &e) {
        if (e.kind != SerialOutputEvent::Write || e.bytes.size() != 36 || e.bytes[3] != 8)
            return;
        (requests == 0 ? first : last) = e.time;
        if (++requests == maxRequests)
            stop_flag = 1;
    });
    QTimer::singleShot(static_cast<int>(seconds * 1000),
                       [] { CC_BTNStop(panelHandle, 0, EVENT_LEFT_CLICK, nullptr, 0, 0); });
    const double cpu0 = cpuSeconds(), t0 = Timer();
    const long wake0 = wakeUps();
    loop(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0);
    LoopFigures f;
    f.seconds = Timer() - t0;
    f.cpu = (cpuSeconds() - cpu0) / f.seconds;
    f.requests = requests;
    f.perSecond = requests > 1 ? (requests - 1) / (last - first) : 0;
    f.wakeUpsPerTelegram = double(wakeUps() - wake0) / std::max(1, 2 * requests);
    SetSerialOutputObserver(nullptr);
    return f;
}

bool Connect(const std::string &port) {
    com = 1;
    SetComDevice(com, port.c_str());
    InitRS232(com);
    return ret >= 0 && GetInQLen(com) >= 0;
}

// The figures that tell the serial paths apart, on the portable path (only
// QSerialPort's public API and Qt's timers): beside the fast path's rows.
bool PortablePathRows(double seconds, double frameLimit) {
    const rt::SerialPath before = rt::serialPath();
    rt::setSerialPath(rt::SerialPath::Portable);
    {
        Simulator sim(VEXA_SIM, {"--baud", "19200", "--chunk", "8", "--stats"});
        if (!Connect(sim.port()))
            return false;
        const LoopFigures live = RunLoop(CC_BTNRun, seconds);
        Row("portable: live loop at 19200 baud: frames/s", live.perSecond, "frames/s", frameLimit,
            ">= 99.5 %");
        Row("portable: live loop at 19200 baud: CPU", 100 * live.cpu, "% core", 3.0, "");
        Row("portable: live loop at 19200 baud: wake-ups per telegram", live.wakeUpsPerTelegram, "",
            4.0, "");
        const LoopFigures data = RunLoop(CC_BTNData, seconds);
        Row("portable: Data loop at 19200 baud: passes/s", data.perSecond, "passes/s",
            BYTES_PER_SECOND / PASS_BYTES, ">= 99.5 %");
        Row("portable: Data loop at 19200 baud: CPU", 100 * data.cpu, "% core", 2.0, "");
        CloseCom(com);
        const auto [median, p99] = sim.stopAndTurnaround("from order 8 to order 8");
        Row("portable: live loop: reply's last byte to next request, median", median, "ms", 0.2,
            "");
        Row("portable: live loop: reply's last byte to next request, p99", p99, "ms", 0.2, "");
    }
    {
        Simulator sim(VEXA_SIM, {"--baud", "0"});
        if (!Connect(sim.port()))
            return false;
        const LoopFigures fast = RunLoop(CC_BTNRun, seconds);
        Row("portable: live loop, sensor answering at once: frames/s", fast.perSecond, "frames/s",
            2000, ">= 2,000");
        Row("portable: live loop, sensor answering at once: CPU", 100 * fast.cpu, "% core", 100,
            "");
        CloseCom(com);
    }
    rt::setSerialPath(before);
    return true;
}

} // namespace

int main(int argc, char **argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 8.0;
    char *noArgs[] = {argv[0], nullptr};
    if (!StartProgramPanels(noArgs))
        return 1;
    DisplayPanel(panelHandle);

    TableHeader();
    const double frameLimit = BYTES_PER_SECOND / FRAME_BYTES;
    {
        Simulator sim(VEXA_SIM, {"--baud", "19200", "--chunk", "8", "--stats"});
        if (!Connect(sim.port()))
            return 1;
        const LoopFigures live = RunLoop(CC_BTNRun, seconds);
        Row("live loop at 19200 baud: frames/s", live.perSecond, "frames/s", frameLimit,
            ">= 99.5 %");
        Row("live loop at 19200 baud: CPU", 100 * live.cpu, "% core", 3.0, "<= 3 %");
        Row("live loop at 19200 baud: wake-ups per telegram", live.wakeUpsPerTelegram, "", 4.0,
            "<= 4");
        CloseCom(com);
        // The loop's own turnarounds: its first request follows the connecting.
        const auto [median, p99] = sim.stopAndTurnaround("from order 8 to order 8");
        Row("live loop: reply's last byte to next request, median", median, "ms", 0.2, "");
        Row("live loop: reply's last byte to next request, p99", p99, "ms", 0.2, "<= 0.2 ms");
    }
    {
        // The same loop writing every frame to a CSV file.
        Simulator sim(VEXA_SIM, {"--baud", "19200", "--chunk", "8"});
        if (!Connect(sim.port()))
            return 1;
        AttachRecording(panelHandle, TEXT_Status);
        auto *recorder = rt::panelWidget(panelHandle)->findChild<record::RecordMenu *>();
        const QString path = QDir::temp().filePath(QStringLiteral("vexa-bench-frames.csv"));
        if (!recorder || !recorder->startRecording(path))
            return 1;
        const LoopFigures live = RunLoop(CC_BTNRun, seconds);
        recorder->stopRecording();
        QFile::remove(path);
        Row("live loop with recording at 19200 baud: frames/s", live.perSecond, "frames/s",
            frameLimit, ">= 99.5 %");
        Row("live loop with recording at 19200 baud: CPU", 100 * live.cpu, "% core", 3.0, "<= 3 %");
        CloseCom(com);
    }
    {
        // The same loop with every frame going to a local broker, as the
        // window publishes: a Publisher listening to the program's frames.
        MosquittoBroker mosquitto;
        Simulator sim(VEXA_SIM, {"--baud", "19200", "--chunk", "8"});
        if (!mosquitto.start() || !Connect(sim.port()))
            return 1;
        broker::Target target;
        target.url.host = "127.0.0.1";
        target.url.port = mosquitto.port();
        target.name = "bench";
        target.program = "bench_loops";
        target.port = sim.port();
        broker::Publisher publisher(target);
        if (!publisher.start().empty() || !waitUntil([&] { return publisher.connected(); }))
            return 1;
        const stream::Subscription frames = stream::programStream().frames.subscribe(
            [&](const stream::Frame &f) { publisher.frame(f); });
        const LoopFigures live = RunLoop(CC_BTNRun, seconds);
        Row("live loop with publishing at 19200 baud: frames/s", live.perSecond, "frames/s",
            frameLimit, ">= 99.5 %");
        Row("live loop with publishing at 19200 baud: CPU", 100 * live.cpu, "% core", 3.0,
            "<= 3 %");
        if (publisher.dropped() > 0)
            std::printf("  (%lld frames not published)\n", publisher.dropped());
        CloseCom(com);
    }
    {
        Simulator sim(VEXA_SIM, {"--baud", "19200", "--chunk", "8", "--stats"});
        if (!Connect(sim.port()))
            return 1;

        const LoopFigures data = RunLoop(CC_BTNData, seconds);
        const double passLimit = BYTES_PER_SECOND / PASS_BYTES;
        Row("Data loop at 19200 baud: passes/s", data.perSecond, "passes/s", passLimit,
            ">= 99.5 %");
        Row("Data loop at 19200 baud: CPU", 100 * data.cpu, "% core", 2.0, "<= 2 %");

        const double cpu0 = cpuSeconds(), t0 = Timer();
        QTimer::singleShot(static_cast<int>(seconds * 1000), [] { QuitUserInterface(0); });
        RunUserInterface();
        Row("idle program with a connected sensor: CPU",
            100 * (cpuSeconds() - cpu0) / (Timer() - t0), "% core", 0.5, "<= 0.5 %");
        CloseCom(com);
        const auto [median9, p99_9] = sim.stopAndTurnaround("before order 9");
        Row("Data loop: reply's last byte to next block request, median", median9, "ms", 0.2, "");
        Row("Data loop: reply's last byte to next block request, p99", p99_9, "ms", 0.2, "");
        const auto [median8, p99_8] = sim.stopAndTurnaround("from order 9 to order 8");
        Row("Data loop: last block's last byte to next frame request, median", median8, "ms", 0.2,
            "");
        Row("Data loop: last block's last byte to next frame request, p99", p99_8, "ms", 0.2, "");
    }
    {
        // Behind a USB adapter: a 36-byte reply never fills its 62-byte packet, so each waits
        // for the adapter's latency timer (16 ms by default on FTDI chips, 1 ms once lowered).
        for (const char *latency : {"16", "1"}) {
            Simulator sim(VEXA_SIM, {"--baud", "19200", "--adapter-latency", latency});
            if (!Connect(sim.port()))
                return 1;
            const LoopFigures live = RunLoop(CC_BTNRun, seconds);
            const std::string figure =
                std::string("live loop behind a ") + latency + " ms adapter: frames/s";
            Row(figure.c_str(), live.perSecond, "frames/s", frameLimit, "");
            CloseCom(com);
        }
    }
    {
        // Waits that run into their time-out: the echo check (1.5 s) and the
        // firmware text (2.0 s).
        Simulator sim(VEXA_SIM, {"--baud", "19200", "--chunk", "8", "--no-reply", "5,7"});
        com = 1;
        SetComDevice(com, sim.port().c_str());
        InitRS232(com);
        double cpu0 = cpuSeconds(), t0 = Timer();
        CheckComLine(com);
        Row("echo check time-out (1.5 s): CPU", 100 * (cpuSeconds() - cpu0) / (Timer() - t0),
            "% core", 2.0, "<= 2 %");
        cpu0 = cpuSeconds(), t0 = Timer();
        GetVERSIONInfo();
        Row("firmware wait (2.0 s): CPU", 100 * (cpuSeconds() - cpu0) / (Timer() - t0), "% core",
            2.0, "<= 2 %");

        CloseCom(com);
    }
    {
        Simulator sim(VEXA_SIM, {"--baud", "0"});
        if (!Connect(sim.port()))
            return 1;
        const LoopFigures fast = RunLoop(CC_BTNRun, seconds);
        Row("live loop, sensor answering at once: frames/s", fast.perSecond, "frames/s", 2000,
            ">= 2,000");
        Row("live loop, sensor answering at once: CPU", 100 * fast.cpu, "% core", 100, "");

        // Memory: after a warm-up, the resident size over 100,000 frames.
        RunLoop(CC_BTNRun, 2.0);
        const long before = residentKb();
        const LoopFigures longRun = RunLoop(CC_BTNRun, 50.0, 100000);
        Row("resident memory growth over 100,000 frames", (residentKb() - before) / 1024.0, "MB",
            1.0, "<= 1 MB");
        if (longRun.requests < 100000)
            std::printf("  (only %.0f frames in 50 s)\n", longRun.requests);
        CloseCom(com);
    }
    if (!PortablePathRows(seconds, frameLimit))
        return 1;
    DiscardPanel(panelPopUp);
    DiscardPanel(panelHandle);
    CloseCVIRTE();
    return 0;
}

// vexa-sim: the simulated V-EXA-TB sensor on a pseudo-terminal.
#include "sim/eeprom_file.h"
#include "sim/options.h"
#include "sim/port_link.h"
#include "sim/pty_server.h"
#include "sim/replay_description.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <unistd.h>

namespace {

void printTurnarounds(const std::string &which, std::vector<sim::Clock::duration> times) {
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    const auto ms = [](sim::Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    std::fprintf(stderr, "vexa-sim: turnaround %s: %zu requests, median %.3f ms, p99 %.3f ms\n",
                 which.c_str(), times.size(), ms(times[times.size() / 2]),
                 ms(times[times.size() * 99 / 100]));
}

} // namespace

int main(int argc, char **argv) {
    sim::Options options;
    const std::string error =
        sim::parseOptions(std::vector<std::string>(argv + 1, argv + argc), options);
    if (!error.empty()) {
        std::fprintf(stderr, "vexa-sim: %s\n(vexa-sim --help lists the options)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(sim::usageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("vexa-sim %s\n", VEXA_VERSION);
        return 0;
    }

    sim::SensorConfig config = options.sensor;
    if (!options.replay.empty()) {
        std::string problem;
        if (!sim::loadReplay(options.replay, config.replay, problem)) {
            std::fprintf(stderr, "vexa-sim: cannot replay %s\n", problem.c_str());
            return 2;
        }
        // The sensor that made the recording, where its description says.
        if (const auto described = sim::loadReplayDescription(options.replay, problem)) {
            config.firmware = described->firmware;
            config.ccdInfo = {described->ccdType, described->pixels, described->resolution};
            if (described->ccdType >= 1 && described->ccdType <= 3)
                config.ccdType = described->ccdType;
        } else if (!problem.empty()) {
            std::fprintf(stderr,
                         "vexa-sim: description unusable (%s); answering firmware and CCD "
                         "info as without one\n",
                         problem.c_str());
        }
    }
    if (!options.eeprom.empty()) {
        std::string problem;
        if (sim::loadEeprom(options.eeprom, config.eeprom, problem) == sim::EepromLoad::Malformed) {
            config.eeprom = sim::defaultParameters();
            std::fprintf(stderr, "vexa-sim: EEPROM file %s is unusable (%s); using the defaults\n",
                         options.eeprom.c_str(), problem.c_str());
        }
    }
    sim::Sensor sensor(config);
    if (!options.eeprom.empty()) {
        sensor.onEepromWritten([path = options.eeprom](const sim::Words &words) {
            std::string problem;
            if (!sim::saveEeprom(path, words, problem))
                std::fprintf(stderr, "vexa-sim: EEPROM not saved: %s\n", problem.c_str());
        });
    }

    // Signals are taken synchronously by the main thread; the serving thread never sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    sim::ServerOptions serverOptions;
    serverOptions.baud = options.baud;
    serverOptions.once = options.once;
    serverOptions.chunk = options.chunk;
    serverOptions.adapterLatency = std::chrono::milliseconds(options.adapterLatencyMs);
    serverOptions.adapterPacket = options.adapterPacket;
    if (options.stats) // the program's next request follows a reply within a fraction of this
        serverOptions.watchAfterReply = std::chrono::microseconds(500);
    if (options.verbose)
        serverOptions.log = [](const std::string &line) {
            std::fprintf(stderr, "vexa-sim: %s\n", line.c_str());
        };

    sim::PortLink link; // removed, if still ours, however this block is left
    try {
        sim::PtyServer server(std::move(sensor), serverOptions);

        std::string problem;
        if (!options.link.empty() && !link.make(options.link, server.slavePath(), problem)) {
            std::fprintf(stderr, "vexa-sim: cannot link %s: %s\n", options.link.c_str(),
                         problem.c_str());
            return 1;
        }

        std::printf("%s\n", server.slavePath().c_str());
        std::fflush(stdout);

        const timespec pass{0, 50'000'000};
        while (!server.finished()) {
            const int sig = sigtimedwait(&signals, nullptr, &pass);
            if (sig > 0)
                break;
        }
        server.stop();
        if (options.stats)
            for (std::uint16_t order = 1; order <= 11; ++order) {
                const std::string before = "order " + std::to_string(order);
                printTurnarounds("before " + before, server.turnarounds(order));
                for (std::uint16_t after = 1; after <= 11; ++after)
                    printTurnarounds("from order " + std::to_string(after) + " to " + before,
                                     server.turnarounds(after, order));
            }
        link.remove();
        if (options.verbose && server.finished())
            std::fprintf(stderr, "vexa-sim: line closed\n");
    } catch (const std::exception &e) {
        std::fprintf(stderr, "vexa-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}

// monitor: the live loop, or with --video the Data loop, for as long as the
// line runs, until SIGINT or SIGTERM. It never gives up on the sensor: a port
// that is missing or vanishes is opened again (after 1 s, growing to 10 s), a
// sensor that does not answer is asked again. Frames and passes go into the
// frame stream as the window's loops hand them on; the frame lines, the
// supervision's events and the broker listen to it.
#include <QFile>

#include <algorithm>
#include <csignal>
#include <cstdio>

#include <poll.h>
#include <signal.h>

#include "ctl/commands.h"
#include "ctl/exit_codes.h"
#include "ctl/frame_lines.h"
#include "ctl/monitor_sinks.h"
#include "runtime/reply_wait.h"
#include "runtime/runtime.h"
#include "stream/publish.h"
#include "stream/stream.h"

namespace ctl {

namespace {

volatile std::sig_atomic_t stopAsked = 0;

void askToStop(int) {
    stopAsked = 1;
}

// SIGINT and SIGTERM end the monitor between two exchanges, with its files
// whole and "offline" on the broker; the old handlers come back after it.
class StopSignals {
  public:
    StopSignals() {
        stopAsked = 0;
        struct sigaction action {};
        action.sa_handler = askToStop;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &oldInt_);
        ::sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~StopSignals() {
        ::sigaction(SIGINT, &oldInt_, nullptr);
        ::sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

  private:
    struct sigaction oldInt_ {
    }, oldTerm_{};
};

// Waits `seconds`, or less when a stop is asked for: asleep, with SIGINT
// and SIGTERM held back between the look at the flag and the sleep, so that
// neither is missed and nothing wakes the monitor meanwhile.
void rest(double seconds) {
    sigset_t stops, before;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &stops, &before);
    if (!stopAsked) {
        const auto whole = static_cast<time_t>(seconds);
        const timespec span{whole, static_cast<long>((seconds - whole) * 1e9)};
        ::ppoll(nullptr, 0, &span, &before);
    }
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
}

constexpr double FIRST_RETRY = 1.0, LONGEST_RETRY = 10.0; // seconds

class Monitor {
  public:
    Monitor(const Invocation &how, MonitorSinks &sinks) : how_(how), sinks_(sinks) {}

    // Until a stop is asked for or the sinks give up (a refusing broker).
    void run() {
        SetComLostCallback(PortLost);
        const stream::Subscription lost =
            stream::programStream().portEvents.subscribe([this](const stream::PortEvent &event) {
                if (event.kind == stream::PortEvent::Kind::Lost)
                    portLost_ = true;
            });
        double retry = FIRST_RETRY;
        while (!stopped()) {
            SensorLine line;
            QString problem;
            portLost_ = false;
            const bool opened = line.open(how_.port, &problem);
            PortOpened(com, opened ? 0 : -1);
            if (!opened) {
                // A port missing at the start counts as lost, so that its
                // coming shows as "port back".
                if (state_ != LineState::PortLost)
                    PortLost(com);
                change(LineState::PortLost,
                       QStringLiteral("cannot open the sensor's port: %1 (again in %2 s)")
                           .arg(problem)
                           .arg(retry));
                rest(retry);
                retry = std::min(2 * retry, LONGEST_RETRY);
                continue;
            }
            retry = FIRST_RETRY;
            runOn(line);
            if (portLost_)
                change(LineState::PortLost, QStringLiteral("the sensor's port went away"));
        }
        SetComLostCallback(nullptr);
    }

  private:
    bool stopped() const { return stopAsked || sinks_.failed(); }

    // The loop on an open line, until the port goes away or a stop.
    void runOn(SensorLine &line) {
        bool known = false; // the sensor's info and parameters are read
        while (!stopped() && !portLost_) {
            if (!known) {
                known = learn(line);
                if (!known)
                    continue;
            }
            FrameWords words{};
            if (Step step = line.frame(!how_.video, &words); !step.ok) {
                answered(false, step.text);
                continue;
            }
            answered(true, {});
            FrameDecoded(words.data());
            if (!how_.video)
                continue;
            VideoSamples samples{};
            if (Step step = line.videoSignal(&samples); !step.ok) {
                answered(false, step.text);
                continue;
            }
            unsigned short x[256];
            videoSampleX(x);
            VideoPassDecoded(x, samples.data());
        }
    }

    // As after the window's connect: the sensor's firmware, CCD and RAM
    // parameters, which also choose the Data loop's video layout.
    bool learn(SensorLine &line) {
        SensorInfo info;
        Step step = line.firmware(&info.firmware);
        if (step.ok)
            step = line.ccdInfo(&info.ccd);
        if (step.ok)
            step = line.readSet(false, &info.parameters);
        if (!step.ok) {
            answered(false, step.text);
            return false;
        }
        line.adopt(info.parameters);
        ccdmaxpixel = info.ccd.maxPixel;
        answered(true, {});
        sinks_.sensorKnown(info);
        return true;
    }

    // An exchange cut short by the port's loss says nothing of the sensor:
    // the line goes from "online" to "port lost", not through "no answer".
    void answered(bool replied, const QString &why) {
        if (!replied && portLost_)
            return;
        if (replied)
            change(LineState::Online, QStringLiteral("the sensor answers"));
        else
            change(LineState::NoAnswer,
                   QStringLiteral("the sensor does not answer: %1 (asking again)").arg(why));
    }

    // Each change once, on stderr (the service's journal) and to the sinks.
    void change(LineState state, const QString &text) {
        if (state == state_)
            return;
        state_ = state;
        complain(QStringLiteral("%1: %2").arg(portName(), text));
        sinks_.lineState(state);
    }

    QString portName() const {
        return how_.port.device.isEmpty() ? QStringLiteral("COM%1").arg(how_.port.number)
                                          : how_.port.device;
    }

    const Invocation &how_;
    MonitorSinks &sinks_;
    LineState state_ = LineState::Unknown;
    bool portLost_ = false;
};

} // namespace

int runMonitor(const Invocation &how) {
    MonitorSinks sinks;
    if (const int code = sinks.open(how))
        return code;
    {
        const StopSignals stopSignals;
        // A service beside many others: one wake-up a reply, for a few
        // tenths of a millisecond of pace at most.
        rt::setReplyWait(rt::ReplyWait::Due);
        Monitor monitor(how, sinks);
        monitor.run();
    }
    return sinks.close();
}

} // namespace ctl

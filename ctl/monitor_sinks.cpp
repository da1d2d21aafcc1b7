#include "ctl/monitor_sinks.h"

#include <QByteArray>
#include <QFile>

#include <atomic>
#include <optional>
#include <string>

#include "broker/publisher.h"
#include "ctl/commands.h"
#include "ctl/exit_codes.h"
#include "ctl/frame_lines.h"
#include "limits/event_log.h"
#include "limits/supervisor.h"
#include "link/transactions.h"
#include "stream/stream.h"

namespace ctl {

namespace {

std::string local8Bit(const QString &text) {
    return text.toLocal8Bit().toStdString();
}

broker::State brokerState(LineState state) {
    switch (state) {
    case LineState::NoAnswer:
        return broker::State::NoAnswer;
    case LineState::PortLost:
        return broker::State::PortLost;
    case LineState::Online:
    case LineState::Unknown:
        break;
    }
    return broker::State::Online;
}

// The device behind --port, or the one the COM number stands for.
std::string portDevice(const PortChoice &port) {
    if (!port.device.isEmpty())
        return local8Bit(port.device);
    return local8Bit(QStringLiteral("COM%1").arg(port.number));
}

// The broker's target from the command line; std::nullopt after saying why.
std::optional<broker::Target> brokerTarget(const Invocation &how) {
    broker::Target target;
    std::string problem;
    if (!broker::parseUrl(local8Bit(how.publishUrl), target.url, problem)) {
        complain(QStringLiteral("--publish %1: %2")
                     .arg(how.publishUrl, QString::fromLocal8Bit(problem.c_str())));
        return std::nullopt;
    }
    target.port = portDevice(how.port);
    target.name = how.name.isEmpty() ? broker::defaultName(target.port) : local8Bit(how.name);
    if (const std::string bad = broker::checkName(target.name); !bad.empty()) {
        complain(QStringLiteral("--name %1: %2")
                     .arg(QString::fromLocal8Bit(target.name.c_str()),
                          QString::fromLocal8Bit(bad.c_str())));
        return std::nullopt;
    }
    // The password goes with a user only; a service hands over an empty file
    // when the broker takes no credentials.
    if (!target.url.user.empty() && !how.passwordFile.isEmpty() &&
        !broker::readPasswordFile(local8Bit(how.passwordFile), target.password, problem,
                                  how.allowOpenPasswordFile)) {
        complain(QStringLiteral("--password-file %1: %2")
                     .arg(how.passwordFile, QString::fromLocal8Bit(problem.c_str())));
        return std::nullopt;
    }
    target.caFile = local8Bit(how.caFile);
    if (const std::string bad = broker::checkTarget(target); !bad.empty()) {
        complain(QStringLiteral("--publish %1: %2")
                     .arg(how.publishUrl, QString::fromLocal8Bit(bad.c_str())));
        return std::nullopt;
    }
    target.program = "vexa-tb-ctl " VEXA_VERSION;
    target.frameEvery = how.frameEvery;
    target.video = how.video;
    return target;
}

// What reached the broker, said when the monitor ends: "broker: 0 frames
// dropped, every event delivered" or with the losses and the last trouble.
QString brokerSummary(const broker::Publisher &publisher) {
    QString text = QStringLiteral("broker: %1 frames dropped").arg(publisher.dropped());
    const long long given = publisher.eventsDropped(), left = publisher.eventsUndelivered();
    if (given == 0 && left == 0)
        text += QStringLiteral(", every event delivered");
    if (given > 0)
        text += QStringLiteral(", %1 events dropped from the full queue").arg(given);
    if (left > 0)
        text += QStringLiteral(", %1 events not acknowledged at the end").arg(left);
    if (const std::string problem = publisher.lastProblem(); !problem.empty())
        text += QStringLiteral("; last problem: %1").arg(QString::fromLocal8Bit(problem.c_str()));
    return text;
}

} // namespace

struct MonitorSinks::Parts {
    FrameLines frameLines;
    limits::EventLog eventLog;
    std::optional<limits::Supervisor> supervisor;
    std::unique_ptr<broker::Publisher> publisher;
    std::atomic<bool> refused{false};
    std::string refusal;
    stream::Subscription events, eventLines, frames, videoPasses;
};

MonitorSinks::MonitorSinks() : parts_(std::make_unique<Parts>()) {}
MonitorSinks::~MonitorSinks() = default;

int MonitorSinks::open(const Invocation &how) {
    Parts &p = *parts_;
    std::optional<broker::Target> target;
    if (!how.publishUrl.isEmpty() && !(target = brokerTarget(how)))
        return ExitUsage;
    if (!how.caFile.isEmpty() && !QFile::exists(how.caFile)) {
        complain(QStringLiteral("--cafile %1: No such file").arg(how.caFile));
        return ExitUsage;
    }
    if (!how.csvPath.isEmpty() && !p.frameLines.open(how.csvPath, how.video))
        return ExitUsage;
    if (!how.eventsPath.isEmpty() &&
        !p.eventLog.open(QFile::encodeName(how.eventsPath).toStdString())) {
        complain(QStringLiteral("cannot write %1: %2")
                     .arg(how.eventsPath, QString::fromLocal8Bit(p.eventLog.reason().c_str())));
        return ExitUsage;
    }

    // A disk that fills is said once and the loop goes on; the next line
    // that goes out ends the silence.
    if (!how.csvPath.isEmpty())
        p.frameLines.listen([] {});
    p.supervisor.emplace(
        limits::ToleranceSettings{std::chrono::milliseconds(how.onDelayMs), how.hysteresis});
    if (!how.eventsPath.isEmpty())
        p.eventLines = p.eventLog.follow(p.supervisor->events, [](const std::string &reason) {
            complain(QStringLiteral("an event did not reach the event log: %1")
                         .arg(QString::fromLocal8Bit(reason.c_str())));
        });

    if (target) {
        p.publisher = std::make_unique<broker::Publisher>(*target);
        // Each change of the broker's state once, in the service's journal.
        p.publisher->onNews([url = how.publishUrl](const std::string &news) {
            complain(QStringLiteral("%1: %2").arg(url, QString::fromLocal8Bit(news.c_str())));
        });
        p.publisher->onRefused([&p](const std::string &reason) {
            p.refusal = reason;
            p.refused = true;
        });
        if (const std::string problem = p.publisher->start(); !problem.empty()) {
            complain(QStringLiteral("--publish %1: %2")
                         .arg(how.publishUrl, QString::fromLocal8Bit(problem.c_str())));
            return ExitUsage;
        }
        broker::Publisher *publisher = p.publisher.get();
        stream::FrameStream &program = stream::programStream();
        p.frames = program.frames.subscribe(
            [publisher](const stream::Frame &frame) { publisher->frame(frame); });
        p.videoPasses = program.videoPasses.subscribe(
            [publisher](const stream::VideoPass &pass) { publisher->video(pass); });
        p.events = p.supervisor->events.subscribe(
            [publisher](const limits::LimitEvent &event) { publisher->event(event); });
    }
    return ExitSuccess;
}

void MonitorSinks::sensorKnown(const SensorInfo &info) {
    if (!parts_->publisher)
        return;
    broker::SensorInfo told;
    told.firmware = info.firmware.toStdString();
    told.ccd = QString::fromLatin1(CCDDescription(info.ccd.type, info.ccd.resolution))
                   .trimmed()
                   .toStdString();
    told.pixels = info.ccd.maxPixel;
    std::copy(info.parameters.begin(), info.parameters.end(), told.parameters.begin());
    parts_->publisher->info(told);
}

void MonitorSinks::lineState(LineState state) {
    if (parts_->publisher)
        parts_->publisher->status(brokerState(state));
}

bool MonitorSinks::failed() const {
    return parts_->refused;
}

int MonitorSinks::close() {
    Parts &p = *parts_;
    if (p.publisher) {
        p.publisher->stop();
        complain(brokerSummary(*p.publisher));
    }
    if (p.refused) {
        complain(QStringLiteral("the broker refused the credentials: %1")
                     .arg(QString::fromLocal8Bit(p.refusal.c_str())));
        return ExitSensorFailed;
    }
    return ExitSuccess;
}

} // namespace ctl

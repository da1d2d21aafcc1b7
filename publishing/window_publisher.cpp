#include "publishing/window_publisher.h"

#include <QMetaObject>

#include <algorithm>

#include "limits/supervisor.h"
#include "link/transactions.h"
#include "params/parameter_table.h"
#include "record/windows1252.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "stream/stream.h"

namespace publishing {

broker::SensorInfo heldSensorInfo() {
    broker::SensorInfo info;
    // The sensor's text is Windows-1252; a message is UTF-8.
    info.firmware = record::utf8FromWindows1252(szVersion);
    info.ccd = QString::fromLatin1(CCDDescription(ccdtype, ccdresolution)).trimmed().toStdString();
    info.pixels = ccdmaxpixel;
    for (int i = 0; i < PNUM; ++i)
        info.parameters[static_cast<std::size_t>(i)] = *parameterTable[i].var;
    return info;
}

QString programPortDevice() {
    char device[261] = {};
    return GetComOpenDevice(com, device) ? QString::fromLocal8Bit(device) : QString();
}

WindowPublisher::WindowPublisher(broker::Target target, QObject *parent)
    : QObject(parent), publisher_(std::move(target)) {
    // Both run on the client library's thread: hand over and return.
    publisher_.onConnectionChanged([this](bool) {
        QMetaObject::invokeMethod(this, &WindowPublisher::connectionChanged, Qt::QueuedConnection);
    });
    publisher_.onRefused([this](const std::string &reason) {
        const QString text = QString::fromStdString(reason);
        QMetaObject::invokeMethod(
            this, [this, text] { emit refused(text); }, Qt::QueuedConnection);
    });
}

WindowPublisher::~WindowPublisher() {
    frames_.reset();
    passes_.reset();
    ports_.reset();
    events_.reset();
    publisher_.stop();
}

QString WindowPublisher::start() {
    if (const std::string problem = publisher_.start(); !problem.empty())
        return QString::fromStdString(problem);
    stream::FrameStream &program = stream::programStream();
    frames_ = program.frames.subscribe([this](const stream::Frame &f) { publisher_.frame(f); });
    passes_ =
        program.videoPasses.subscribe([this](const stream::VideoPass &p) { publisher_.video(p); });
    ports_ = program.portEvents.subscribe([this](const stream::PortEvent &e) { portEvent(e); });
    events_ = limits::programSupervisor().events.subscribe(
        [this](const limits::LimitEvent &e) { publisher_.event(e); });
    // What the program knows now; the next exchange says more.
    portLost_ = programPortDevice().isEmpty() || GetInQLen(com) < 0;
    lineState(portLost_ ? broker::State::PortLost : broker::State::Online);
    describeIfChanged();
    return {};
}

QString WindowPublisher::stateText() const {
    return QString::fromStdString(publisher_.state());
}

QString WindowPublisher::lastProblem() const {
    return QString::fromStdString(publisher_.lastProblem());
}

void WindowPublisher::portEvent(const stream::PortEvent &event) {
    using Kind = stream::PortEvent::Kind;
    // An exchange cut short by the port's loss waits out its time-out: the
    // line stays "port lost" until the port opens again.
    if (portLost_ && event.kind == Kind::NoAnswer)
        return;
    switch (event.kind) {
    case Kind::Answered:
        portLost_ = false; // a reply came: the port is there
        lineState(broker::State::Online);
        describeIfChanged();
        break;
    case Kind::NoAnswer:
        lineState(broker::State::NoAnswer);
        break;
    case Kind::Lost:
        portLost_ = true;
        lineState(broker::State::PortLost);
        break;
    case Kind::Opened:
        // An open that worked: the connect sequence's exchanges say more.
        portLost_ = event.result < 0;
        if (portLost_)
            lineState(broker::State::PortLost);
        break;
    }
}

void WindowPublisher::lineState(broker::State state) {
    if (state_ == state)
        return;
    state_ = state;
    publisher_.status(state);
}

// Runs after every reply: the words and the text are compared before any
// message is made.
void WindowPublisher::describeIfChanged() {
    HeldWords words{};
    for (int i = 0; i < PNUM; ++i)
        words[static_cast<std::size_t>(i)] = *parameterTable[i].var;
    words[PNUM] = ccdtype;
    words[PNUM + 1] = ccdresolution;
    words[PNUM + 2] = ccdmaxpixel;
    if (described_ && words == describedWords_ && describedFirmware_ == szVersion)
        return;
    described_ = true;
    describedWords_ = words;
    describedFirmware_ = szVersion;
    publisher_.info(heldSensorInfo());
}

} // namespace publishing

#include "glance/sensor_watch.h"

#include <QFileInfo>

#include "runtime/runtime.h"

namespace window {

namespace {

QString dash() {
    return QStringLiteral(" \u2014 ");
}

} // namespace

QString deviceShortName(const QString &device) {
    const QLatin1String devices("/dev/");
    if (device.startsWith(devices) && device.size() > devices.size())
        return device.mid(devices.size());
    return QFileInfo(device).fileName();
}

QString linkText(SensorWatch::Link link) {
    switch (link) {
    case SensorWatch::Link::Connected:
        return QObject::tr("connected");
    case SensorWatch::Link::NoAnswer:
        return QObject::tr("no answer");
    case SensorWatch::Link::NotOpen:
        return QObject::tr("not open");
    case SensorWatch::Link::Unknown:
        break;
    }
    return {};
}

SensorWatch::SensorWatch(QObject *parent) : QObject(parent) {
    stream::FrameStream &program = stream::programStream();
    frameSub_ = program.frames.subscribe(
        [this](const stream::Frame &frame) { frameDecoded(frame.words.data(), FRAME_WORDS_SEEN); });
    portSub_ = program.portEvents.subscribe([this](const stream::PortEvent &event) {
        using Kind = stream::PortEvent::Kind;
        switch (event.kind) {
        case Kind::Opened:
            portOpened(event.port, event.result);
            break;
        case Kind::Lost:
            portLost(event.port);
            break;
        case Kind::Answered:
        case Kind::NoAnswer:
            exchangeEnded(event.port, event.kind == Kind::Answered ? 1 : 0);
            break;
        }
    });
    loopSub_ = program.loops.subscribe(
        [this](const stream::LoopEvent &event) { loopRunning(event.running); });
}

void SensorWatch::portOpened(int port, int result) {
    port_ = port;
    char device[260] = {};
    GetComOpenDevice(port, device);
    device_ = QString::fromLocal8Bit(device);
    if (result < 0) {
        char problem[260] = {};
        GetComOpenProblem(port, problem);
        QString hint = tr("%1 does not open").arg(portName());
        if (problem[0])
            hint += QStringLiteral(": ") + QString::fromLocal8Bit(problem);
        setHint(hint);
        setLink(Link::NotOpen);
        return;
    }
    setHint({});
    // Whether the sensor answers shows with the first exchange.
    link_ = Link::Unknown;
    emit linkChanged();
}

void SensorWatch::portLost(int port) {
    if (port != port_)
        return;
    setHint(tr("%1 is gone and its port closed: plug the adapter back in and pick the port "
               "again")
                .arg(portName()));
    setLink(Link::NotOpen);
}

void SensorWatch::exchangeEnded(int port, int replied) {
    // A port that did not open stays "not open" until the next open.
    if (port != port_ || link_ == Link::NotOpen)
        return;
    lastReplied_ = replied != 0;
    if (lastReplied_)
        setHint({});
    setLink(lastReplied_ ? Link::Connected : Link::NoAnswer);
}

void SensorWatch::loopRunning(bool running) {
    running_ = running;
    if (running) {
        frames_ = 0;
        if (link_ != Link::NotOpen)
            setHint({});
    } else if (!lastReplied_ && link_ == Link::NoAnswer) {
        setHint(tr("No answer from the sensor on %1: check cable, power and port").arg(portName()));
    }
    emit loopChanged();
}

QString SensorWatch::titleSuffix() const {
    if (port_ == 0)
        return {};
    QString suffix = dash() + QStringLiteral("COM%1").arg(port_);
    if (!device_.isEmpty())
        suffix += QStringLiteral(" (%1)").arg(deviceShortName(device_));
    if (link_ != Link::Unknown)
        suffix += dash() + linkText(link_);
    return suffix;
}

void SensorWatch::setLink(Link link) {
    if (link == link_)
        return;
    link_ = link;
    emit linkChanged();
}

void SensorWatch::setHint(const QString &hint) {
    if (hint == hint_)
        return;
    hint_ = hint;
    emit linkChanged();
}

QString SensorWatch::portName() const {
    if (device_.isEmpty())
        return QStringLiteral("COM%1").arg(port_);
    return QStringLiteral("COM%1 (%2)").arg(port_).arg(device_);
}

} // namespace window

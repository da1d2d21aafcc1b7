#include "glance/stale_values.h"

#include "runtime/widget_access.h"

namespace window {

StaleValues::StaleValues(std::vector<QWidget *> indicators, QObject *parent)
    : QObject(parent), indicators_(indicators.begin(), indicators.end()) {
    stream::FrameStream &program = stream::programStream();
    // Runs for every frame: a flag, and widget work only on the first one
    // after the values went stale.
    frameSub_ = program.frames.subscribe([this](const stream::Frame &) {
        shown_ = true;
        if (stale_)
            setStale(false);
    });
    portSub_ = program.portEvents.subscribe([this](const stream::PortEvent &event) {
        if (shown_ && (event.kind == stream::PortEvent::Kind::Lost ||
                       event.kind == stream::PortEvent::Kind::Opened))
            setStale(true);
    });
}

void StaleValues::setStale(bool stale) {
    stale_ = stale;
    for (const QPointer<QWidget> &indicator : indicators_)
        if (indicator)
            indicator->setEnabled(!stale);
}

} // namespace window

void AttachStaleMarks(int panel, const int controls[], int count) {
    QWidget *mainWindow = rt::panelWidget(panel);
    if (!mainWindow)
        return;
    std::vector<QWidget *> indicators;
    for (int i = 0; i < count; i++)
        if (QWidget *indicator = rt::controlWidget(panel, controls[i]))
            indicators.push_back(indicator);
    new window::StaleValues(std::move(indicators), mainWindow);
}

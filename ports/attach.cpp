// The run-time and the link know nothing of found ports; this file ties them
// in through the run-time's device lookup and the frame stream's port
// events ("the port was opened").
#include "ports/ports.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QWidget>

#include <cstdio>

#include "ports/port_catalog.h"
#include "ports/port_selector.h"
#include "runtime/runtime.h"
#include "runtime/widget_access.h"
#include "stream/stream.h"

namespace {

QPointer<QWidget> g_statusLine;
QString g_statusToolTip; // the status line's own tooltip, shown while nothing failed
stream::Subscription g_portEvents;

int lookUpFoundPort(int port, char device[]) {
    auto &catalog = ports::PortCatalog::instance();
    // A pick made without opening the list (keys on a closed selector) may
    // aim at an adapter plugged in since the last look.
    if (catalog.map().device(port).isEmpty())
        catalog.refresh();
    const QByteArray found = catalog.map().device(port).toLocal8Bit();
    std::snprintf(device, 260, "%s", found.constData());
    return found.isEmpty() ? 0 : 1;
}

void showOpenProblem(int port, int result) {
    char problem[260] = {};
    if (result < 0)
        GetComOpenProblem(port, problem);
    if (g_statusLine)
        g_statusLine->setToolTip(problem[0] ? QString::fromLocal8Bit(problem) : g_statusToolTip);
    if (problem[0])
        std::fprintf(stderr, "%s: COM%d: %s\n",
                     qPrintable(QFileInfo(QCoreApplication::applicationFilePath()).fileName()),
                     port, problem);
}

} // namespace

void AttachPortSelector(int panel, int selector, int statusLine) {
    if (auto *combo = qobject_cast<QComboBox *>(rt::controlWidget(panel, selector)))
        new ports::PortSelector(combo);
    g_statusLine = rt::controlWidget(panel, statusLine);
    g_statusToolTip = g_statusLine ? g_statusLine->toolTip() : QString();
    SetComDeviceLookup(lookUpFoundPort);
    g_portEvents = stream::programStream().portEvents.subscribe([](const stream::PortEvent &event) {
        if (event.kind == stream::PortEvent::Kind::Opened)
            showOpenProblem(event.port, event.result);
    });
}

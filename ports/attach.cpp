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
#include "shell/window_note.h"
#include "stream/stream.h"

namespace {

QPointer<QWidget> g_statusLine;
QString g_statusToolTip; // the status line's own tooltip, shown while nothing failed
stream::Subscription g_portEvents;
bool g_startPortSeen = false; // the first open, at start, has been reported

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

// The start port that does not open on a machine without a serial port
// leaves a new user with a permission error for a device that is not there:
// the status bar says what to do instead, until a port opens.
void hintWhenNoSensor(int result) {
    if (result >= 0) {
        if (WindowNoteShows(NO_SENSOR_HINT))
            WindowNote("");
    } else if (!g_startPortSeen && !ports::PortCatalog::instance().map().foundAny()) {
        WindowNote(NO_SENSOR_HINT);
    }
    g_startPortSeen = true;
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
    g_startPortSeen = false;
    g_statusToolTip = g_statusLine ? g_statusLine->toolTip() : QString();
    SetComDeviceLookup(lookUpFoundPort);
    g_portEvents = stream::programStream().portEvents.subscribe([](const stream::PortEvent &event) {
        if (event.kind == stream::PortEvent::Kind::Opened) {
            showOpenProblem(event.port, event.result);
            hintWhenNoSensor(event.result);
        }
    });
}

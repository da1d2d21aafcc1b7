// The run-time's event processing and clock for the sensor-reply harness.
// Event processing never blocks: it runs what Qt has pending, then does what
// the real loop does for the port (ScriptedLine::serviceReceiveEvent). Timer
// reads the scripted line's virtual clock, and a sleep of the program
// (nanosleep, under std::this_thread::sleep_for) lets that clock run on
// instead of waiting. The run-time starts as usual (InitCVIRTE is not stood in).
#include <QCoreApplication>
#include <QEventLoop>

#include <time.h>

#include "fuzz/line/scripted_line.h"
#include "fuzz/line/stand_in.h"
#include "runtime/runtime.h"

int ProcessEventsAndLine() VEXA_STAND_IN(_Z19ProcessSystemEventsv);
double LineClock() VEXA_STAND_IN(_Z5Timerv);

int LineSleep(const timespec *duration, timespec *left) VEXA_STAND_IN(nanosleep);

VEXA_SAME_TYPE(ProcessEventsAndLine, ProcessSystemEvents);
VEXA_SAME_TYPE(LineClock, Timer);
VEXA_SAME_TYPE(LineSleep, ::nanosleep);

int ProcessEventsAndLine() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    vexafuzz::ScriptedLine::instance().serviceReceiveEvent();
    return 0;
}

double LineClock() {
    return vexafuzz::ScriptedLine::instance().now();
}

int LineSleep(const timespec *duration, timespec *left) {
    vexafuzz::ScriptedLine::instance().sleep(static_cast<double>(duration->tv_sec) +
                                             static_cast<double>(duration->tv_nsec) / 1e9);
    if (left)
        *left = timespec{};
    return 0;
}

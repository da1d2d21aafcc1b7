// The console start, the event loop and the clock; the window's start is in
// window_start.cpp.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/application.h"
#include "runtime/runtime.h"
#include "runtime/serial_path.h"

namespace {

int g_argc = 0;
std::vector<char *> g_argv;
std::vector<std::string> g_argStorage;
std::unique_ptr<QCoreApplication> g_app; // a QApplication unless started for the console
QPointer<QEventLoop> g_mainLoop;
bool g_quitRequested = false;
rt::LoopStart g_loopStart = nullptr;
int g_quitCode = 0;
double g_wakeDeadline = 0; // Timer() value by which ProcessSystemEvents returns

QElapsedTimer &monotonicClock() {
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer;
}

} // namespace

// The application keeps references to argc and argv for its life, so they
// live here.
int &rt::keepArguments(char *argv[], int count) {
    g_argStorage.clear();
    for (int i = 0; argv && (count < 0 || i < count) && argv[i]; ++i)
        g_argStorage.emplace_back(argv[i]);
    if (g_argStorage.empty())
        g_argStorage.emplace_back("vexa-tb-scope");
    g_argv.clear();
    for (auto &s : g_argStorage)
        g_argv.push_back(s.data());
    g_argv.push_back(nullptr);
    g_argc = static_cast<int>(g_argStorage.size());
    return g_argc;
}

char **rt::keptArguments() {
    return g_argv.data();
}

bool rt::applicationMade() {
    return g_app != nullptr;
}

void rt::adoptApplication(std::unique_ptr<QCoreApplication> app) {
    g_app = std::move(app);
    monotonicClock();
    rt::serialPath(); // VEXA_SERIAL is read, and a wrong one named, at the start
}

void rt::setLoopStart(LoopStart start) {
    g_loopStart = start;
}

int InitConsoleRTE(int argc, char *argv[]) {
    if (g_app)
        return 1;
    int &kept = rt::keepArguments(argv, argc);
    rt::adoptApplication(std::make_unique<QCoreApplication>(kept, rt::keptArguments()));
    return 1;
}

void CloseCVIRTE(void) {
    g_mainLoop = nullptr;
    g_app.reset();
}

int RunUserInterface(void) {
    if (g_quitRequested) {
        g_quitRequested = false;
        return g_quitCode;
    }
    QEventLoop loop;
    g_mainLoop = &loop;
    if (g_loopStart)
        g_loopStart(loop);
    const int code = loop.exec();
    g_mainLoop = nullptr;
    g_quitRequested = false;
    return code;
}

int QuitUserInterface(int returnCode) {
    g_quitCode = returnCode;
    if (g_mainLoop)
        g_mainLoop->exit(returnCode); // takes effect when control is back in the loop
    else
        g_quitRequested = true;
    return 0;
}

void SetWakeDeadline(double timerValue) {
    g_wakeDeadline = timerValue;
}

int ProcessSystemEvents(void) {
    // WaitForMoreEvents handles everything that is pending and blocks only
    // when nothing is. A reply, a click or a timer ends the block at once;
    // otherwise the single-shot timer ends it when the caller's wait must
    // look at its clock: at its deadline, or within 2 ms without one.
    static QTimer *wake = [] {
        auto *t = new QTimer(QCoreApplication::instance());
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
        return t;
    }();
    const double now = Timer();
    const double until = g_wakeDeadline > now ? g_wakeDeadline : now + 0.0015;
    wake->start(std::max(1, static_cast<int>(std::ceil((until - now) * 1000.0))));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    wake->stop();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}

int GetProjectDir(char directory[]) {
    const QByteArray dir = QCoreApplication::applicationDirPath().toLocal8Bit();
    std::snprintf(directory, 260, "%s", dir.constData());
    return dir.size() < 260 ? 0 : -1;
}

double Timer(void) {
    return static_cast<double>(monotonicClock().nsecsElapsed()) / 1e9;
}

// Start-up, the event loop and the clock.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/runtime.h"

namespace {

int g_argc = 0;
std::vector<char *> g_argv;
std::vector<std::string> g_argStorage;
std::unique_ptr<QCoreApplication> g_app; // a QApplication unless started for the console
QPointer<QEventLoop> g_mainLoop;
bool g_quitRequested = false;
QString g_screenshotPath; // save the shown panel there, then end
int g_quitCode = 0;
double g_wakeDeadline = 0; // Timer() value by which ProcessSystemEvents returns

QElapsedTimer &monotonicClock() {
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer;
}

// A platform plugin that cannot reach its display ends the process through
// qFatal after several lines of diagnostics. While the application is being
// made, those lines are held back and a fatal one becomes a single line and
// exit code 255 (the run-time's "could not start"), not an abort.
std::vector<QString> g_heldMessages;

void holdStartMessages(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type != QtFatalMsg) {
        g_heldMessages.push_back(message);
        return;
    }
    QString reason;
    for (const QString &held : g_heldMessages)
        if (held.contains(QLatin1String("display"), Qt::CaseInsensitive)) {
            reason = held;
            break;
        }
    std::fprintf(
        stderr, "%s: cannot open a display (%s)\n",
        qPrintable(QFileInfo(QString::fromLocal8Bit(g_argv.empty() ? "" : g_argv[0])).fileName()),
        qPrintable(
            (reason.isEmpty() ? message.section(QLatin1Char('\n'), 0, 0) : reason).trimmed()));
    std::fflush(stderr);
    std::_Exit(255);
}

// The application keeps references to argc and argv for its life, so they
// live here. `count` -1: up to the null entry.
void keepArguments(char *argv[], int count) {
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
}

} // namespace

int InitCVIRTE(void *hInstance, char *argv[], void *) {
    if (g_app)
        return 1;
    if (!argv) // the instance handle carries the argument list
        argv = static_cast<char **>(hInstance);
    keepArguments(argv, -1);
    const QtMessageHandler previous = qInstallMessageHandler(holdStartMessages);
    g_app = std::make_unique<QApplication>(g_argc, g_argv.data());
    qInstallMessageHandler(previous);
    for (const QString &held : std::exchange(g_heldMessages, {}))
        std::fprintf(stderr, "%s\n", qPrintable(held));
    QApplication::setApplicationName(QStringLiteral("V-EXA-TB-Scope"));
    QApplication::setQuitOnLastWindowClosed(false);
    monotonicClock();
    return 1;
}

int InitConsoleRTE(int argc, char *argv[]) {
    if (g_app)
        return 1;
    keepArguments(argv, argc);
    g_app = std::make_unique<QCoreApplication>(g_argc, g_argv.data());
    monotonicClock();
    return 1;
}

void SetScreenshotFile(const char *fileName) {
    g_screenshotPath = QString::fromLocal8Bit(fileName);
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
    if (!g_screenshotPath.isEmpty())
        QTimer::singleShot(2000, &loop, [] {
            QWidget *window = QApplication::activeWindow();
            const auto windows = QApplication::topLevelWidgets();
            for (QWidget *w : windows)
                if (!window && w->isVisible() && w->windowType() != Qt::Tool)
                    window = w;
            const bool saved = window && window->grab().save(g_screenshotPath, "PNG");
            std::fprintf(saved ? stdout : stderr, "%s %s\n",
                         saved ? "screenshot:" : "no screenshot:", qPrintable(g_screenshotPath));
            std::fflush(stdout);
            // Closed as by the user, so that a loop the program runs ends too
            // (its callback closes the port); then the event loop ends.
            if (window)
                window->close();
            QuitUserInterface(0);
        });
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

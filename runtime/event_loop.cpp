// Start-up, the event loop and the clock.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runtime/runtime.h"

namespace {

int g_argc = 0;
std::vector<char *> g_argv;
std::vector<std::string> g_argStorage;
std::unique_ptr<QApplication> g_app;
QPointer<QEventLoop> g_mainLoop;
bool g_quitRequested = false;
QString g_screenshotPath; // --screenshot FILE: save the shown panel, then end
int g_quitCode = 0;

QElapsedTimer &monotonicClock() {
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer;
}

// Takes "--com N=DEVICE" and "--com=N=DEVICE"; returns false on a malformed one.
bool takeComOption(const std::string &value) {
    const auto eq = value.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == value.size())
        return false;
    char *end = nullptr;
    const long port = std::strtol(value.c_str(), &end, 10);
    if (end != value.c_str() + eq || port < 1 || port > 1000)
        return false;
    SetComDevice(static_cast<int>(port), value.c_str() + eq + 1);
    return true;
}

} // namespace

int InitCVIRTE(void *hInstance, char *argv[], void *) {
    if (g_app)
        return 1;
    if (!argv) // the instance handle carries the argument list
        argv = static_cast<char **>(hInstance);
    g_argStorage.clear();
    for (int i = 0; argv && argv[i]; ++i) {
        const std::string arg = argv[i];
        if (i > 0 && arg == "--com" && argv[i + 1]) {
            if (!takeComOption(argv[++i])) {
                std::fprintf(stderr, "invalid --com option '%s' (expected N=DEVICE)\n", argv[i]);
                return 0;
            }
            continue;
        }
        if (i > 0 && arg == "--screenshot" && argv[i + 1]) {
            g_screenshotPath = QString::fromLocal8Bit(argv[++i]);
            continue;
        }
        if (i > 0 && arg.rfind("--com=", 0) == 0) {
            if (!takeComOption(arg.substr(6))) {
                std::fprintf(stderr, "invalid option '%s' (expected --com N=DEVICE)\n",
                             arg.c_str());
                return 0;
            }
            continue;
        }
        g_argStorage.push_back(arg);
    }
    if (g_argStorage.empty())
        g_argStorage.emplace_back("vexa-tb-scope");
    g_argv.clear();
    for (auto &s : g_argStorage)
        g_argv.push_back(s.data());
    g_argv.push_back(nullptr);
    g_argc = static_cast<int>(g_argStorage.size());
    g_app = std::make_unique<QApplication>(g_argc, g_argv.data());
    QApplication::setApplicationName(QStringLiteral("V-EXA-TB-Scope"));
    QApplication::setQuitOnLastWindowClosed(false);
    monotonicClock();
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

int ProcessSystemEvents(void) {
    // WaitForMoreEvents handles everything that is pending and blocks only
    // when nothing is; the single-shot timer bounds that block to ~1 ms, so
    // a wait loop neither spins nor sleeps past a reply.
    static QTimer *wake = [] {
        auto *t = new QTimer(qApp);
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
        return t;
    }();
    wake->start(1);
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

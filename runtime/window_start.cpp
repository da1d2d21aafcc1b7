// The window's start: the QApplication, a display that cannot be reached,
// and the screenshot taken when RunUserInterface has run for two seconds.
#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "runtime/application.h"
#include "runtime/runtime.h"

namespace {

QString g_screenshotPath; // save the shown panel there, then end

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
    const char *program = rt::keptArguments()[0];
    std::fprintf(
        stderr, "%s: cannot open a display (%s)\n",
        qPrintable(QFileInfo(QString::fromLocal8Bit(program ? program : "")).fileName()),
        qPrintable(
            (reason.isEmpty() ? message.section(QLatin1Char('\n'), 0, 0) : reason).trimmed()));
    std::fflush(stderr);
    std::_Exit(255);
}

void takeScreenshotLater(QEventLoop &loop) {
    if (g_screenshotPath.isEmpty())
        return;
    // Two seconds show a loop running; a run that first picks another port
    // (VEXA_TEST_PICK) asks for longer.
    bool given = false;
    const int delayMs = qEnvironmentVariableIntValue("VEXA_TEST_SCREENSHOT_MS", &given);
    QTimer::singleShot(given && delayMs > 0 ? delayMs : 2000, &loop, [] {
        QWidget *window = QApplication::activeWindow();
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget *w : windows)
            if (!window && w->isVisible() && w->windowType() != Qt::Tool)
                window = w;
        const bool saved = window && window->grab().save(g_screenshotPath, "PNG");
        std::fprintf(saved ? stdout : stderr, "%s %s\n",
                     saved ? "screenshot:" : "no screenshot:", qPrintable(g_screenshotPath));
        if (saved)
            std::printf("title: %s\n", qPrintable(window->windowTitle()));
        std::fflush(stdout);
        // Closed as by the user, so that a loop the program runs ends too
        // (its callback closes the port); then the event loop ends.
        if (window)
            window->close();
        QuitUserInterface(0);
    });
}

} // namespace

int InitCVIRTE(void *hInstance, char *argv[], void *) {
    if (rt::applicationMade())
        return 1;
    if (!argv) // the instance handle carries the argument list
        argv = static_cast<char **>(hInstance);
    int &kept = rt::keepArguments(argv, -1);
    const QtMessageHandler previous = qInstallMessageHandler(holdStartMessages);
    auto app = std::make_unique<QApplication>(kept, rt::keptArguments());
    qInstallMessageHandler(previous);
    for (const QString &held : std::exchange(g_heldMessages, {}))
        std::fprintf(stderr, "%s\n", qPrintable(held));
    QApplication::setApplicationName(QStringLiteral("V-EXA-TB-Scope"));
    QApplication::setQuitOnLastWindowClosed(false);
    rt::adoptApplication(std::move(app));
    return 1;
}

void SetScreenshotFile(const char *fileName) {
    g_screenshotPath = QString::fromLocal8Bit(fileName);
    rt::setLoopStart(takeScreenshotLater);
}

#include "window/window_note.h"

#include <QLayout>
#include <QStatusBar>
#include <QString>
#include <QWidget>

#include "runtime/widget_access.h"

namespace window {

namespace {

// Long enough to be read after a glance away, short enough not to outlive
// what it is about.
constexpr int NOTE_SHOWN_MS = 15000;

QStatusBar *statusBarOf(QWidget *mainWindow) {
    if (auto *bar = mainWindow->findChild<QStatusBar *>(QStringLiteral("statusBar")))
        return bar;
    if (!mainWindow->layout())
        return nullptr;
    auto *bar = new QStatusBar(mainWindow);
    bar->setObjectName(QStringLiteral("statusBar"));
    mainWindow->layout()->addWidget(bar);
    return bar;
}

} // namespace

void showWindowNote(QWidget *mainWindow, const QString &text) {
    QStatusBar *bar = mainWindow ? statusBarOf(mainWindow) : nullptr;
    if (!bar)
        return;
    if (text.isEmpty())
        bar->clearMessage();
    else
        bar->showMessage(text, NOTE_SHOWN_MS);
}

} // namespace window

void ShowWindowNote(int panel, const char *text) {
    // Program texts are Latin-1, as everywhere on the panels.
    window::showWindowNote(rt::panelWidget(panel), QString::fromLatin1(text ? text : ""));
}

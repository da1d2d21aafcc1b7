#include "glance/window_note.h"

#include <QLayout>
#include <QStatusBar>
#include <QString>
#include <QStringDecoder>
#include <QWidget>

#include "runtime/widget_access.h"

namespace window {

namespace {

// Long enough to be read after a glance away, short enough not to outlive
// what it is about.
constexpr int NOTE_SHOWN_MS = 15000;

} // namespace

QStatusBar *windowStatusBar(QWidget *mainWindow) {
    if (auto *bar = mainWindow->findChild<QStatusBar *>(QStringLiteral("statusBar")))
        return bar;
    if (!mainWindow->layout())
        return nullptr;
    auto *bar = new QStatusBar(mainWindow);
    bar->setObjectName(QStringLiteral("statusBar"));
    mainWindow->layout()->addWidget(bar);
    return bar;
}

void showWindowNote(QWidget *mainWindow, const QString &text) {
    QStatusBar *bar = mainWindow ? windowStatusBar(mainWindow) : nullptr;
    if (!bar)
        return;
    if (text.isEmpty())
        bar->clearMessage();
    else
        bar->showMessage(text, NOTE_SHOWN_MS);
}

} // namespace window

namespace {

// Notes carry the program's texts (Latin-1) and file names and the system's
// reasons (UTF-8); a text that is valid UTF-8 is read as such.
QString noteText(const char *text) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(QByteArrayView(text));
    return utf8.hasError() ? QString::fromLatin1(text) : decoded;
}

} // namespace

void ShowWindowNote(int panel, const char *text) {
    window::showWindowNote(rt::panelWidget(panel), noteText(text ? text : ""));
}

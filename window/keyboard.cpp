#include "window/keyboard.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

#include "runtime/widget_access.h"

void AttachStopKey(int panel, CtrlCallbackPtr stop) {
    QWidget *window = rt::panelWidget(panel);
    if (!window || !stop)
        return;
    auto *key = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    key->setContext(Qt::WindowShortcut);
    key->setWhatsThis(QObject::tr("Stop the running loop"));
    // Shortcuts fire from event processing, where the callbacks of clicks run.
    QObject::connect(key, &QShortcut::activated, window,
                     [panel, stop] { stop(panel, 0, EVENT_LEFT_CLICK, nullptr, 0, 0); });
}

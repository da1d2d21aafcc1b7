// An addition's own window that a menu item opens: one per main window, made
// the first time, then shown, raised and given the focus each time.
#pragma once

#include <QString>
#include <QWidget>

namespace window {

template <typename ToolWindow> ToolWindow *showToolWindow(QWidget *mainWindow) {
    auto *shown = mainWindow->findChild<ToolWindow *>(QString(), Qt::FindDirectChildrenOnly);
    if (!shown)
        shown = new ToolWindow(mainWindow);
    shown->show();
    shown->raise();
    shown->activateWindow();
    return shown;
}

} // namespace window

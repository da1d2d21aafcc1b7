// The items come from one table: text, object name, shortcut and what they
// do. The shortcuts keep clear of the keys the Sensor menu owns (F5-F8, Esc,
// Ctrl+T, Ctrl+R, Ctrl+P).
#include "menus/file_menu.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>

#include "menus/menu_bar.h"
#include "runtime/widget_access.h"

namespace window {

namespace {

enum class Does { Load, Save, Quit };

struct FileItem {
    const char *text;
    const char *objectName;
    QKeySequence::StandardKey key;
    Does does;
    bool separatorBefore;
};

constexpr FileItem FILE_ITEMS[] = {
    {QT_TRANSLATE_NOOP("window", "&Load parameters..."), "actionLoadParameters", QKeySequence::Open,
     Does::Load, false},
    {QT_TRANSLATE_NOOP("window", "&Save parameters..."), "actionSaveParameters", QKeySequence::Save,
     Does::Save, false},
    {QT_TRANSLATE_NOOP("window", "&Quit"), "actionQuit", QKeySequence::Quit, Does::Quit, true},
};

} // namespace

void addFileMenu(QWidget *mainWindow, const FileMenuCalls &calls) {
    QMenu *file = menu(mainWindow, TopMenu::File);
    if (!file)
        return;
    for (const FileItem &item : FILE_ITEMS) {
        if (item.separatorBefore)
            file->addSeparator();
        QAction *action = file->addAction(QMenu::tr(item.text));
        action->setObjectName(QLatin1String(item.objectName));
        action->setShortcut(item.key);
        switch (item.does) {
        case Does::Load:
            if (calls.loadParameters)
                QObject::connect(action, &QAction::triggered, mainWindow, calls.loadParameters);
            break;
        case Does::Save:
            if (calls.saveParameters)
                QObject::connect(action, &QAction::triggered, mainWindow, calls.saveParameters);
            break;
        case Does::Quit:
            QObject::connect(action, &QAction::triggered, mainWindow,
                             [mainWindow] { mainWindow->close(); });
            break;
        }
    }
}

} // namespace window

void AttachFileMenu(int panel, void (*loadParameters)(void), void (*saveParameters)(void)) {
    if (QWidget *mainWindow = rt::panelWidget(panel))
        window::addFileMenu(mainWindow, {loadParameters, saveParameters});
}

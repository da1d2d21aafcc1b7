#include "compare/attach_compare.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>

#include "compare/compare_window.h"
#include "menus/menu_bar.h"
#include "runtime/widget_access.h"

void AttachCompareWindow(int panel) {
    QWidget *mainWindow = rt::panelWidget(panel);
    if (!mainWindow)
        return;
    QMenu *tools = window::menu(mainWindow, window::TopMenu::Tools);
    if (!tools)
        return;
    QAction *item = tools->addAction(QObject::tr("&Compare parameters..."));
    item->setObjectName(QStringLiteral("actionCompareParameters"));
    item->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    QObject::connect(item, &QAction::triggered, mainWindow,
                     [mainWindow] { compare::showCompareWindow(mainWindow); });
}

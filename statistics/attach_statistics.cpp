#include "statistics/attach_statistics.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "menus/menu_bar.h"
#include "runtime/widget_access.h"
#include "statistics/statistics_window.h"

void AttachStatistics(int panel) {
    QWidget *mainWindow = rt::panelWidget(panel);
    if (!mainWindow)
        return;
    QMenu *view = window::menu(mainWindow, window::TopMenu::View);
    if (!view)
        return;
    QAction *item = view->addAction(QObject::tr("Statistics"));
    item->setObjectName(QStringLiteral("actionStatistics"));
    item->setToolTip(QObject::tr("Mean, spread, Cp and Cpk of the measured value against its "
                                 "tolerance band, with a histogram"));
    QObject::connect(item, &QAction::triggered, mainWindow,
                     [mainWindow] { statistics::showStatisticsWindow(mainWindow); });
}

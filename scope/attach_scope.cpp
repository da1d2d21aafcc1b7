#include "scope/attach_scope.h"

#include <QAction>
#include <QMenu>
#include <QWidget>
#include <qcustomplot.h>

#include "menus/menu_bar.h"
#include "runtime/view_hold.h"
#include "runtime/widget_access.h"
#include "scope/freeze.h"
#include "scope/graph_view.h"
#include "scope/side_by_side.h"

void AttachScope(int panel, int edgeGraph, int trendChart, int videoGraph) {
    QWidget *mainWindow = rt::panelWidget(panel);
    if (!mainWindow)
        return;
    for (int graph : {edgeGraph, trendChart, videoGraph})
        if (auto *plot = qobject_cast<QCustomPlot *>(rt::controlWidget(panel, graph)))
            new scope::GraphView(plot);

    QWidget *trend = rt::controlWidget(panel, trendChart);
    QWidget *video = rt::controlWidget(panel, videoGraph);
    new scope::Freeze(mainWindow, trend ? trend->parentWidget() : nullptr);

    if (QMenu *view = window::menu(mainWindow, window::TopMenu::View)) {
        QAction *autoScale = view->addAction(QObject::tr("Auto-scale trend"));
        autoScale->setObjectName(QStringLiteral("actionAutoScaleTrend"));
        autoScale->setCheckable(true);
        autoScale->setToolTip(QObject::tr("The trend chart's value axis follows the values shown"));
        QObject::connect(autoScale, &QAction::toggled, view,
                         [trend](bool on) { rt::setStripChartAutoScale(trend, on); });
    }
    if (trend && video)
        new scope::SideBySide(mainWindow, trend, video);
}

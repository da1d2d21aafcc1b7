#include "exporters/attach_export.h"

#include <QWidget>

#include "exporters/export_actions.h"
#include "runtime/widget_access.h"

void AttachExport(int panel, int edgeGraph, int trendChart, int videoGraph,
                  QString (*sensorText)()) {
    QWidget *mainWindow = rt::panelWidget(panel);
    if (!mainWindow)
        return;
    // A child of the window, so it goes with it.
    auto *actions =
        new exporters::ExportActions(mainWindow, panel, edgeGraph, trendChart, videoGraph);
    if (sensorText)
        actions->setCaptionSource(sensorText);
    actions->addToFileMenu();
    actions->addGraphMenus();
}

#include "glance/glance.h"

#include <QLayout>
#include <QWidget>

#include "glance/glance_bar.h"
#include "glance/graph_keys.h"
#include "glance/line_events.h"
#include "glance/sensor_watch.h"
#include "glance/status_history.h"
#include "glance/tool_tip_key.h"
#include "glance/window_title.h"
#include "limits/supervisor.h"
#include "runtime/widget_access.h"
#include "window/screen_fit.h"

void AttachGlance(int panel, int statusLine, int edgeGraph, int trendChart) {
    QWidget *mainWindow = rt::panelWidget(panel);
    if (!mainWindow || !mainWindow->layout())
        return;
    auto *watch = new window::SensorWatch(mainWindow);
    QObject::connect(watch, &window::SensorWatch::linkChanged, mainWindow, [mainWindow, watch] {
        window::setTitlePart(mainWindow, window::TitlePart::Link, watch->titleSuffix());
    });
    auto *bar = new window::GlanceBar(watch, mainWindow);
    mainWindow->layout()->addWidget(bar);

    window::StatusHistory *history = nullptr;
    if (QWidget *status = rt::controlWidget(panel, statusLine)) {
        history = new window::StatusHistory(status);
        new window::ToolTipKey(status, [history] {
            return QObject::tr("Last status texts:") + QLatin1Char('\n') + history->text();
        });
    }
    new window::LineEvents(limits::programSupervisor().events, bar, history);
    window::addGraphKeys(rt::controlWidget(panel, edgeGraph), rt::controlWidget(panel, trendChart));
    window::fitToScreen(mainWindow);
}

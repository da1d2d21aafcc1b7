#include "readouts/attach_readouts.h"

#include <QMenu>
#include <QWidget>

#include <qcustomplot.h>

#include <vector>

#include "glance/tool_tip_key.h"
#include "menus/menu_bar.h"
#include "readouts/graph_readings.h"
#include "readouts/plot_readout.h"
#include "readouts/trend_look.h"
#include "readouts/units_choice.h"
#include "runtime/widget_access.h"
#include "stream/stream.h"

namespace {

// The indicators of positions on the line, and the frame word each shows.
struct PositionIndicator {
    const char *objectName;
    FrameWord word;
};
constexpr PositionIndicator POSITION_INDICATORS[] = {
    {"NUM_Ledge", FRAME_LEDGE},     {"NUM_Redge", FRAME_REDGE},    {"NUM_Mvalue", FRAME_MVALUE},
    {"NUM_TeachValue", FRAME_TVAL}, {"NUM_Tolerance", FRAME_TTOL},
};

QCustomPlot *plotOf(int panel, int control) {
    return qobject_cast<QCustomPlot *>(rt::controlWidget(panel, control));
}

// The graph's right-click menu is made on each click by the exporters, who
// handle the click first; the items go at its end.
void appendToGraphMenu(QCustomPlot *plot, std::vector<QAction *> items) {
    plot->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(plot, &QWidget::customContextMenuRequested, plot, [plot, items] {
        const auto menus =
            plot->findChildren<QMenu *>(QStringLiteral("graphMenu"), Qt::FindDirectChildrenOnly);
        if (menus.isEmpty())
            return;
        QMenu *menu = menus.back(); // the newest
        menu->addSeparator();
        for (QAction *item : items)
            menu->addAction(item);
    });
}

} // namespace

void AttachReadouts(int panel, int edgeGraph, int trendChart, int videoGraph,
                    const unsigned short *ccdtype, const unsigned short *ccdresolution) {
    using namespace readouts;
    QWidget *mainWindow = rt::panelWidget(panel);
    if (!mainWindow)
        return;
    auto *units = new UnitsChoice(mainWindow, ccdtype, ccdresolution);
    QMenu *view = window::menu(mainWindow, window::TopMenu::View);
    if (view)
        units->addTo(view);

    std::vector<PlotReadout *> readouts;
    if (QCustomPlot *edge = plotOf(panel, edgeGraph))
        readouts.push_back(new PlotReadout(edge, edgeReading(*units)));
    if (QCustomPlot *trend = plotOf(panel, trendChart)) {
        auto *readout = new PlotReadout(trend, trendReading(*units));
        auto *look = new TrendLook(trend);
        readouts.push_back(readout);
        appendToGraphMenu(trend, {readout->clearItem(), look->legendItem(), look->timeAxisItem()});
        if (view)
            view->addAction(look->legendItem());
    }
    if (QCustomPlot *video = plotOf(panel, videoGraph)) {
        auto *readout = new PlotReadout(video, videoReading(*units));
        readouts.push_back(readout);
        appendToGraphMenu(video, {readout->clearItem()});
    }
    QObject::connect(units, &UnitsChoice::changed, units, [readouts] {
        for (PlotReadout *readout : readouts)
            readout->refresh();
    });

    // The indicators keep their pixels; in mm their tooltip says the mm.
    for (const PositionIndicator &indicator : POSITION_INDICATORS) {
        auto *control = mainWindow->findChild<QWidget *>(QLatin1String(indicator.objectName));
        if (!control)
            continue;
        new window::ToolTipKey(control, [units, word = indicator.word] {
            const auto &frames = stream::programStream().recentFrames;
            const auto mm = units->mmPerPixel();
            if (!mm || frames.empty())
                return QString();
            const double pixels = frames.newest()[word];
            return QObject::tr("%1 pixels = %2 mm").arg(pixels).arg(pixels * *mm, 0, 'f', 3);
        });
    }
}

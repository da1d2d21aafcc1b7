#include "readouts/trend_look.h"

#include <QAction>
#include <QEvent>
#include <QTimer>

#include <qcustomplot.h>

#include <array>
#include <cmath>

#include "readouts/graph_readings.h"

namespace readouts {

namespace {

// The traces in the chart's order: upper and lower limit, teach value,
// measured value, the value the analogue mode selects.
struct TraceLook {
    const char *name;
    Qt::PenStyle style;
    double width;
};
constexpr std::array<TraceLook, TrendLook::TRACES> TRACE_LOOKS{{
    {QT_TRANSLATE_NOOP("readouts", "upper limit"), Qt::DashLine, 1},
    {QT_TRANSLATE_NOOP("readouts", "lower limit"), Qt::DashLine, 1},
    {QT_TRANSLATE_NOOP("readouts", "teach value"), Qt::DotLine, 1},
    {QT_TRANSLATE_NOOP("readouts", "measured value"), Qt::SolidLine, 3},
    {QT_TRANSLATE_NOOP("readouts", "selected value"), Qt::SolidLine, 1},
}};

constexpr int TICK_RENEWAL_MS = 500;
constexpr int MAX_TIME_TICKS = 8;

// Ticks at whole seconds before the newest point, placed at the point index
// where that time falls between two frames.
class SecondsTicker : public QCPAxisTicker {
  protected:
    QVector<double> createTickVector(double, const QCPRange &range) override {
        std::vector<std::pair<double, double>> points; // index, seconds before
        for (int k = static_cast<int>(std::ceil(range.lower)); k <= range.upper; ++k)
            if (const auto at = trendPointAt(k))
                points.emplace_back(k, at->secondsBefore);
        QVector<double> ticks;
        if (points.empty())
            return ticks;
        const double span = points.front().second;
        double step = 1;
        for (double s : {1.0, 2.0, 5.0, 10.0, 30.0, 60.0, 300.0, 600.0, 3600.0})
            if ((step = s) * MAX_TIME_TICKS >= span)
                break;
        for (std::size_t i = 0; i + 1 < points.size(); ++i) {
            const auto [k0, s0] = points[i];
            const auto [k1, s1] = points[i + 1];
            // Whole steps in (s1, s0]: older points lie further before.
            for (double s = std::floor(s0 / step) * step; s > s1 && s <= s0; s -= step)
                ticks << k0 + (s0 - s) / (s0 - s1) * (k1 - k0);
        }
        ticks << points.back().first;
        return ticks;
    }
    int getSubTickCount(double) override { return 0; }
    QString getTickLabel(double tick, const QLocale &, QChar, int) override {
        const int k = static_cast<int>(std::floor(tick));
        const auto at = trendPointAt(k), next = trendPointAt(k + 1);
        double before = at ? at->secondsBefore : 0;
        if (at && next)
            before += (tick - k) * (next->secondsBefore - at->secondsBefore);
        return QString::number(-std::lround(before));
    }
};

} // namespace

TrendLook::TrendLook(QCustomPlot *trendChart)
    : QObject(trendChart), plot_(trendChart), legend_(new QAction(tr("Legend"), this)),
      timeAxis_(new QAction(tr("Time axis (seconds)"), this)),
      indexTicker_(trendChart->xAxis->ticker()), indexLabel_(trendChart->xAxis->label()),
      tickRenewal_(new QTimer(this)) {
    setObjectName(QStringLiteral("trendLook"));
    legend_->setObjectName(QStringLiteral("actionTrendLegend"));
    legend_->setCheckable(true);
    legend_->setChecked(true);
    legend_->setToolTip(tr("Names the trend chart's five traces in the chart"));
    connect(legend_, &QAction::toggled, this, [this](bool on) {
        plot_->legend->setVisible(on);
        plot_->update();
    });
    timeAxis_->setObjectName(QStringLiteral("actionTrendTimeAxis"));
    timeAxis_->setCheckable(true);
    timeAxis_->setToolTip(tr("The trend chart's x axis in seconds before the last frame "
                             "instead of the point index"));
    connect(timeAxis_, &QAction::toggled, this, &TrendLook::showTimeAxis);
    tickRenewal_->setInterval(TICK_RENEWAL_MS);
    connect(tickRenewal_, &QTimer::timeout, plot_, qOverload<>(&QWidget::update));

    QFont small = plot_->font();
    if (small.pointSizeF() > 0)
        small.setPointSizeF(small.pointSizeF() * 0.8);
    plot_->legend->setFont(small);
    plot_->legend->setBrush(QColor(255, 255, 255, 200));
    // One row along the bottom, below the band where the values seldom go;
    // the newest points on the right and the cursors' text stay clear.
    plot_->legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    plot_->legend->setWrap(TRACES);
    plot_->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignBottom | Qt::AlignHCenter);
    plot_->legend->setVisible(true);
    // Before every drawing: a paint of the program's chart, an export's replot.
    plot_->installEventFilter(this);
    connect(plot_, &QCustomPlot::beforeReplot, this, &TrendLook::applyStyles);
    applyStyles();
}

void TrendLook::applyStyles() {
    for (int t = 0; t < plot_->graphCount() && t < TRACES; ++t) {
        QCPGraph *graph = plot_->graph(t);
        const TraceLook &look = TRACE_LOOKS[static_cast<std::size_t>(t)];
        QPen pen = graph->pen(); // its colour stays
        pen.setStyle(look.style);
        pen.setWidthF(look.width);
        graph->setPen(pen);
        if (!plot_->legend->hasItemWithPlottable(graph)) {
            graph->setName(tr(look.name));
            graph->addToLegend();
        }
    }
}

bool TrendLook::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::Paint)
        applyStyles();
    return QObject::eventFilter(watched, event);
}

void TrendLook::showTimeAxis(bool on) {
    if (on) {
        plot_->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new SecondsTicker));
        plot_->xAxis->setLabel(tr("seconds before the last frame"));
        tickRenewal_->start();
    } else {
        plot_->xAxis->setTicker(indexTicker_);
        plot_->xAxis->setLabel(indexLabel_);
        tickRenewal_->stop();
    }
    plot_->update();
}

} // namespace readouts

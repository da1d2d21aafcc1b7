// The frame listener only adds to the statistics; the figures, the table and
// the histogram are made by a timer that runs while the window is shown, so a
// frame costs the same whatever the window shows and nothing is drawn for a
// hidden window.
#include "statistics/statistics_window.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <qcustomplot.h>

#include <algorithm>
#include <array>

#include "menus/tool_window.h"
#include "stream/stream.h"
#include "ui_statistics_window.h"

namespace statistics {

namespace {

struct WindowChoice {
    const char *text;
    std::size_t frames;
};
constexpr std::array<WindowChoice, 4> WINDOW_CHOICES{{
    {QT_TRANSLATE_NOOP("statistics", "the last 100 frames"), 100},
    {QT_TRANSLATE_NOOP("statistics", "the last 1,000 frames"), 1000},
    {QT_TRANSLATE_NOOP("statistics", "the last 10,000 frames"), 10000},
    {QT_TRANSLATE_NOOP("statistics", "every frame since the reset"),
     ProcessStatistics::SINCE_RESET},
}};

constexpr std::array<const char *, STAT_VALUES> ROW_NAMES{"Mvalue", "Ledge", "Redge"};
constexpr std::array<const char *, 5> COLUMN_NAMES{
    QT_TRANSLATE_NOOP("statistics", "Count"), QT_TRANSLATE_NOOP("statistics", "Mean"),
    QT_TRANSLATE_NOOP("statistics", "Std. dev."), QT_TRANSLATE_NOOP("statistics", "Min"),
    QT_TRANSLATE_NOOP("statistics", "Max")};

// What shows where a figure has no value.
const QString NO_VALUE = QStringLiteral("\u2014");

QString tr(const char *text) {
    return QCoreApplication::translate("statistics", text);
}

template <typename T> QString shown(const std::optional<T> &value, int decimals = 2) {
    if (!value)
        return NO_VALUE;
    if constexpr (std::is_integral_v<T>)
        return QString::number(*value);
    else
        return QString::number(*value, 'f', decimals);
}

// Why Cp and Cpk show no value, or how they are worked out.
QString capabilityTip(const Figures &figures, const char *formula) {
    if (figures.count < 2)
        return tr("Needs at least two frames in the window");
    if (!figures.cp)
        return tr("Every Mvalue in the window is the same: with a standard deviation of 0 "
                  "the capability has no value");
    return tr(formula);
}

} // namespace

StatisticsWindow::StatisticsWindow(QWidget *mainWindow)
    : QWidget(mainWindow, Qt::Window), ui_(std::make_unique<Ui::StatisticsWindow>()) {
    ui_->setupUi(this);
    for (const WindowChoice &choice : WINDOW_CHOICES)
        ui_->windowChoice->addItem(tr(choice.text), QVariant::fromValue(choice.frames));
    ui_->windowChoice->setCurrentIndex(0);
    statistics_.setWindow(WINDOW_CHOICES[0].frames);

    QTableWidget *table = ui_->figuresTable;
    table->setRowCount(static_cast<int>(ROW_NAMES.size()));
    table->setColumnCount(static_cast<int>(COLUMN_NAMES.size()));
    for (std::size_t c = 0; c < COLUMN_NAMES.size(); ++c)
        table->setHorizontalHeaderItem(static_cast<int>(c),
                                       new QTableWidgetItem(tr(COLUMN_NAMES[c])));
    for (std::size_t r = 0; r < ROW_NAMES.size(); ++r) {
        table->setVerticalHeaderItem(static_cast<int>(r),
                                     new QTableWidgetItem(QLatin1String(ROW_NAMES[r])));
        for (std::size_t c = 0; c < COLUMN_NAMES.size(); ++c) {
            auto *cell = new QTableWidgetItem(NO_VALUE);
            cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(static_cast<int>(r), static_cast<int>(c), cell);
        }
    }
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

    QCustomPlot *plot = ui_->histogram;
    auto *bars = new QCPBars(plot->xAxis, plot->yAxis);
    bars->setName(QStringLiteral("Mvalue"));
    bars->setWidth(1.0);
    for (int i = 0; i < 2; ++i) {
        auto *limit = new QCPItemStraightLine(plot);
        limit->setPen(QPen(Qt::red, 1.5, Qt::DashLine));
    }
    plot->xAxis->setLabel(tr("Mvalue"));
    plot->yAxis->setLabel(tr("Frames"));

    // Every frame from now on; the history first, so the window opens with
    // what the trend chart shows.
    const auto &stream = stream::programStream();
    for (std::size_t i = 0; i < stream.recentFrames.size(); ++i)
        statistics_.add(stream.recentFrames[i]);
    frames_ = stream::programStream().frames.subscribe(
        [this](const stream::Frame &frame) { statistics_.add(frame); });

    refreshTimer_.setInterval(REFRESH_MS);
    connect(&refreshTimer_, &QTimer::timeout, this, &StatisticsWindow::refresh);
    connect(ui_->windowChoice, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int index) {
                statistics_.setWindow(ui_->windowChoice->itemData(index).value<std::size_t>());
                refresh();
            });
    connect(ui_->resetButton, &QPushButton::clicked, this, [this] {
        statistics_.reset();
        refresh();
    });
    refresh();
}

StatisticsWindow::~StatisticsWindow() = default;

void StatisticsWindow::refresh() {
    const Figures figures = statistics_.figures();
    showFigures(figures);
    showHistogram(figures);
}

void StatisticsWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    refresh();
    refreshTimer_.start();
}

void StatisticsWindow::hideEvent(QHideEvent *event) {
    refreshTimer_.stop();
    QWidget::hideEvent(event);
}

void StatisticsWindow::showFigures(const Figures &figures) {
    QTableWidget *table = ui_->figuresTable;
    for (std::size_t r = 0; r < STAT_VALUES; ++r) {
        const ValueFigures &v = figures.values[r];
        const std::optional<std::size_t> count =
            figures.count ? std::optional<std::size_t>(figures.count) : std::nullopt;
        const QString cells[] = {shown(count), shown(v.mean), shown(v.sd), shown(v.min),
                                 shown(v.max)};
        for (int c = 0; c < static_cast<int>(COLUMN_NAMES.size()); ++c)
            table->item(static_cast<int>(r), c)->setText(cells[c]);
    }
    ui_->outsideValue->setText(figures.outOfToleranceShare
                                   ? tr("%1 of %2 frames (%3 %)")
                                         .arg(figures.outOfTolerance)
                                         .arg(figures.count)
                                         .arg(*figures.outOfToleranceShare * 100.0, 0, 'f', 2)
                                   : NO_VALUE);
    ui_->bandValue->setText(
        figures.band ? tr("%1 to %2").arg(figures.band->lower).arg(figures.band->upper) : NO_VALUE);
    ui_->cpValue->setText(shown(figures.cp));
    ui_->cpValue->setToolTip(capabilityTip(
        figures, QT_TRANSLATE_NOOP("statistics", "Cp = (upper - lower) / (6 σ), σ the sample "
                                                 "standard deviation of Mvalue")));
    ui_->cpkValue->setText(shown(figures.cpk));
    ui_->cpkValue->setToolTip(capabilityTip(
        figures, QT_TRANSLATE_NOOP("statistics", "Cpk = min(upper - mean, mean - lower) / (3 σ), σ "
                                                 "the sample standard deviation of Mvalue")));
}

void StatisticsWindow::showHistogram(const Figures &figures) {
    QCustomPlot *plot = ui_->histogram;
    auto *bars = static_cast<QCPBars *>(plot->plottable(0));
    QVector<double> keys, counts;
    double highest = 0;
    for (std::size_t value = 0; value < figures.histogram.size(); ++value)
        if (figures.histogram[value]) {
            keys << static_cast<double>(value);
            counts << figures.histogram[value];
            highest = std::max(highest, counts.back());
        }
    bars->setData(keys, counts, true);

    const ValueFigures &m = figures.values[STAT_MVALUE];
    double from = 0, to = static_cast<double>(HISTOGRAM_BARS - 1);
    if (m.min && figures.band) {
        from = std::min(*m.min, figures.band->lower);
        to = std::max(*m.max, figures.band->upper);
    }
    const double margin = std::max(5.0, (to - from) * 0.05);
    plot->xAxis->setRange(from - margin, to + margin);
    plot->yAxis->setRange(0, std::max(1.0, highest * 1.1));
    for (int i = 0; i < 2; ++i) {
        auto *limit = static_cast<QCPItemStraightLine *>(plot->item(i));
        limit->setVisible(figures.band.has_value());
        const double x = figures.band ? (i == 0 ? figures.band->lower : figures.band->upper) : 0;
        limit->point1->setCoords(x, 0);
        limit->point2->setCoords(x, 1);
    }
    plot->replot(QCustomPlot::rpQueuedReplot);
}

StatisticsWindow *showStatisticsWindow(QWidget *mainWindow) {
    return window::showToolWindow<StatisticsWindow>(mainWindow);
}

} // namespace statistics

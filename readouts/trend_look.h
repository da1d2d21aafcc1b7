// The trend chart's traces told apart without touching their colours: the
// limits dashed, the teach value dotted, the measured and the selected value
// solid at two widths, a legend naming the five (it can be hidden), and a
// time axis (seconds before the last frame) in place of the point index.
// The run-time sets each trace's pen with every frame, so the line styles go
// on again before each drawing.
#pragma once

#include <QObject>
#include <QSharedPointer>

class QAction;
class QCPAxisTicker;
class QCustomPlot;
class QTimer;

namespace readouts {

class TrendLook : public QObject {
    Q_OBJECT

  public:
    static constexpr int TRACES = 5;

    explicit TrendLook(QCustomPlot *trendChart);

    // Checkable items for the chart's right-click menu and the View menu.
    QAction *legendItem() const { return legend_; }
    QAction *timeAxisItem() const { return timeAxis_; }

    // Puts the line styles and names on the traces the chart has.
    void applyStyles();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void showTimeAxis(bool on);

    QCustomPlot *plot_;
    QAction *legend_, *timeAxis_;
    QSharedPointer<QCPAxisTicker> indexTicker_;
    QString indexLabel_;
    QTimer *tickRenewal_; // the time axis' labels follow the frames
};

} // namespace readouts

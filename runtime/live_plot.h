// A panel's graph: QCustomPlot drawing itself straight into the window.
#pragma once

#include <qcustomplot.h>

#include <QPointer>

#include <array>
#include <optional>

namespace rt {

// The loops redraw the graphs on every frame. QCustomPlot's replot draws into
// transparent buffers that its paint event then blends into the window: per
// frame and graph two buffer clears, a background fill and two blends of the
// whole graph. This plot paints its layers at paint time onto an opaque
// background instead, so a redraw is one fill and the drawing itself, and the
// group box behind the graph is never painted again.
class LivePlot : public QCustomPlot {
    Q_OBJECT

  public:
    explicit LivePlot(QWidget *parent = nullptr);

    // Asks for a redraw with the window's next paint: plots, ranges and
    // cursors as they are then. Plots, rectangles and cursors stay inside the
    // axis rect, so while the axes show the ranges of the last whole paint
    // only that rect is drawn again.
    void redraw();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void updateLayout() override;

  private:
    using AxisRanges = std::array<QCPRange, 4>;

    // The plot's four axes. A graph keeps the axis rect QCustomPlot made for
    // it; looking that up walks the whole layout, and a frame asks often.
    std::array<QCPAxis *, 4> axes() const { return {xAxis, yAxis, xAxis2, yAxis2}; }
    AxisRanges axisRanges() const;
    QRect dataArea() const;
    void drawWithoutLabels(QCPPainter *painter);
    void keepMargins();

    QPointer<QCPAxisRect> rect_;
    std::optional<AxisRanges> paintedRanges_; // as the last whole paint showed them
    bool layoutKept_ = false;                 // this paint draws with the last layout
    QSize marginsSized_;                      // the size the current margins were found for
};

} // namespace rt

#include "runtime/live_plot.h"

namespace rt {

LivePlot::LivePlot(QWidget *parent) : QCustomPlot(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent); // the paint event fills every pixel
}

void LivePlot::redraw() {
    QCPAxisRect *rect = axisRect();
    if (!rect || axisRanges() != paintedRanges_) {
        update();
        return;
    }
    // A layer draws its children clipped one pixel above the rect.
    update(rect->rect().adjusted(-1, -1, 1, 1));
}

std::vector<QCPRange> LivePlot::axisRanges() const {
    std::vector<QCPRange> ranges;
    if (QCPAxisRect *rect = axisRect())
        for (const QCPAxis *axis : rect->axes())
            ranges.push_back(axis->range());
    return ranges;
}

void LivePlot::paintEvent(QPaintEvent *event) {
    QCPPainter painter(this);
    if (!painter.isActive())
        return;
    painter.fillRect(rect(), mBackgroundBrush.style() != Qt::NoBrush ? mBackgroundBrush
                                                                     : palette().window());
    draw(&painter);
    keepMargins();
    if (event->region() == QRegion(rect()))
        paintedRanges_ = axisRanges();
}

// The margins follow the tick labels, whose measuring costs most of a redraw;
// the ranges change seldom and the labels keep their size, so the margins
// found by the first redraw of a size are kept.
void LivePlot::keepMargins() {
    QCPAxisRect *rect = axisRect();
    if (!rect)
        return;
    if (size() != marginsSized_) {
        rect->setAutoMargins(QCP::msAll);
        marginsSized_ = size();
    } else if (rect->autoMargins() != QCP::msNone) {
        rect->setMargins(rect->margins());
        rect->setAutoMargins(QCP::msNone);
    }
}

} // namespace rt

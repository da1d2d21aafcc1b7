#include "runtime/live_plot.h"

namespace rt {

LivePlot::LivePlot(QWidget *parent) : QCustomPlot(parent), rect_(axisRect()) {
    setAttribute(Qt::WA_OpaquePaintEvent); // the paint event fills every pixel
}

void LivePlot::redraw() {
    if (rect_ && axisRanges() == paintedRanges_)
        update(dataArea());
    else
        update();
}

// The axis rect, and around it the pixel a layer's clip reaches above it.
QRect LivePlot::dataArea() const {
    return rect_ ? rect_->rect().adjusted(-1, -1, 1, 1) : QRect();
}

LivePlot::AxisRanges LivePlot::axisRanges() const {
    AxisRanges ranges;
    const auto all = axes();
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i])
            ranges[i] = all[i]->range();
    return ranges;
}

void LivePlot::paintEvent(QPaintEvent *event) {
    QCPPainter painter(this);
    if (!painter.isActive())
        return;
    painter.fillRect(rect(), mBackgroundBrush.style() != Qt::NoBrush ? mBackgroundBrush
                                                                     : palette().window());
    // Within the axis rect and with the ranges of the last whole paint, the
    // ticks, margins and places of the last layout still hold, and the labels
    // of the axes lie outside: they are neither measured nor drawn.
    const AxisRanges ranges = axisRanges();
    layoutKept_ = event->region().subtracted(dataArea()).isEmpty() && ranges == paintedRanges_;
    if (layoutKept_)
        drawWithoutLabels(&painter);
    else
        draw(&painter);
    layoutKept_ = false;
    keepMargins();
    if (event->region() == QRegion(rect()))
        paintedRanges_ = ranges;
}

void LivePlot::updateLayout() {
    if (!layoutKept_)
        QCustomPlot::updateLayout();
}

// Tick labels come back with the next layout, which every paint reaching
// outside the axis rect makes.
void LivePlot::drawWithoutLabels(QCPPainter *painter) {
    struct Labels {
        QCPAxis *axis;
        bool ticks;
        QString label;
    };
    std::vector<Labels> kept;
    for (QCPAxis *axis : axes()) {
        if (!axis)
            continue;
        kept.push_back({axis, axis->tickLabels(), axis->label()});
        axis->setTickLabels(false);
        axis->setLabel(QString());
    }
    draw(painter);
    for (const Labels &k : kept) {
        k.axis->setTickLabels(k.ticks);
        k.axis->setLabel(k.label);
    }
}

// The margins follow the tick labels, whose measuring costs most of a redraw;
// the ranges change seldom and the labels keep their size, so the margins
// found by the first redraw of a size are kept.
void LivePlot::keepMargins() {
    QCPAxisRect *rect = rect_;
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

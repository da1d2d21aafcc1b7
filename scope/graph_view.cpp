#include "scope/graph_view.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QRubberBand>
#include <QWheelEvent>
#include <qcustomplot.h>

#include <cmath>

#include "runtime/view_hold.h"

namespace scope {

namespace {

// One wheel step (120) zooms in to this share of the range.
constexpr double STEP_ZOOM = 0.8;
constexpr int NOTE_INSET = 4;

bool beyondSlop(const QPoint &a, const QPoint &b) {
    return (a - b).manhattanLength() > GraphView::CLICK_SLOP;
}

} // namespace

GraphView::GraphView(QCustomPlot *plot)
    : QObject(plot), plot_(plot), watched_(plot),
      note_(new QLabel(tr("zoomed \u2014 double-click to reset"), plot)),
      band_(new QRubberBand(QRubberBand::Rectangle, plot)) {
    note_->setObjectName(QStringLiteral("zoomNote"));
    note_->setStyleSheet(QStringLiteral("background: rgba(255, 255, 224, 220); padding: 1px 3px;"));
    note_->hide();
    plot->setFocusPolicy(Qt::WheelFocus); // Home reaches the graph last used
    plot->installEventFilter(this);
}

void GraphView::reset() {
    if (!zoomed_)
        return;
    zoomed_ = false;
    note_->hide();
    rt::holdGraphRange(plot_, false);
}

void GraphView::hold() {
    if (zoomed_)
        return;
    zoomed_ = true;
    rt::holdGraphRange(plot_, true);
    placeNote();
    note_->show();
    note_->raise();
}

void GraphView::placeNote() {
    note_->adjustSize();
    const QRect area = plot_->axisRect()->rect();
    note_->move(area.right() - note_->width() - NOTE_INSET, area.top() + NOTE_INSET);
}

bool GraphView::onMeasureCursor(const QPoint &at) const {
    for (int i = 0; i < plot_->itemCount(); ++i) {
        QCPAbstractItem *item = plot_->item(i);
        if (item->visible() && item->property("measureCursor").toBool()) {
            const double distance = item->selectTest(at, false);
            if (distance >= 0 && distance < CURSOR_GRIP)
                return true;
        }
    }
    return false;
}

void GraphView::zoomAbout(const QPoint &at, double factor, bool x, bool y) {
    hold();
    if (x)
        plot_->xAxis->scaleRange(factor, plot_->xAxis->pixelToCoord(at.x()));
    if (y)
        plot_->yAxis->scaleRange(factor, plot_->yAxis->pixelToCoord(at.y()));
    redraw();
}

void GraphView::panBy(const QPoint &from, const QPoint &to) {
    hold();
    QCPAxis *x = plot_->xAxis, *y = plot_->yAxis;
    x->moveRange(x->pixelToCoord(from.x()) - x->pixelToCoord(to.x()));
    y->moveRange(y->pixelToCoord(from.y()) - y->pixelToCoord(to.y()));
    redraw();
}

void GraphView::zoomInto(const QRect &band) {
    hold();
    QCPAxis *x = plot_->xAxis, *y = plot_->yAxis;
    x->setRange(x->pixelToCoord(band.left()), x->pixelToCoord(band.right()));
    y->setRange(y->pixelToCoord(band.bottom()), y->pixelToCoord(band.top()));
    redraw();
}

void GraphView::redraw() {
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

bool GraphView::eventFilter(QObject *watched, QEvent *event) {
    if (watched != watched_)
        return false;
    switch (event->type()) {
    case QEvent::Wheel: {
        auto *wheel = static_cast<QWheelEvent *>(event);
        const QPoint turn = wheel->angleDelta();
        const int delta = turn.y() != 0 ? turn.y() : turn.x();
        const QPoint at = wheel->position().toPoint();
        if (delta == 0 || !plot_->axisRect()->rect().contains(at))
            return false;
        const Qt::KeyboardModifiers keys = wheel->modifiers();
        zoomAbout(at, std::pow(STEP_ZOOM, delta / 120.0), !(keys & Qt::ControlModifier),
                  !(keys & Qt::ShiftModifier));
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto *press = static_cast<QMouseEvent *>(event);
        pressAt_ = lastAt_ = press->position().toPoint();
        const bool ctrl = press->modifiers() & Qt::ControlModifier;
        if (press->button() == Qt::RightButton || (press->button() == Qt::LeftButton && ctrl))
            drag_ = Drag::BandPending;
        else if (press->button() == Qt::LeftButton && !onMeasureCursor(pressAt_))
            drag_ = Drag::PanPending;
        else
            drag_ = Drag::None;
        menuWanted_ = bandDrawn_ = false;
        return false; // a click is also the readouts'
    }
    case QEvent::MouseMove: {
        const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
        if (drag_ == Drag::PanPending && beyondSlop(at, pressAt_))
            drag_ = Drag::Panning;
        if (drag_ == Drag::BandPending && beyondSlop(at, pressAt_)) {
            drag_ = Drag::Band;
            band_->show();
        }
        if (drag_ == Drag::Panning) {
            panBy(lastAt_, at); // from the press on: the pan follows the pointer exactly
            lastAt_ = at;
        } else if (drag_ == Drag::Band) {
            band_->setGeometry(QRect(pressAt_, at).normalized());
        }
        return drag_ == Drag::Panning || drag_ == Drag::Band;
    }
    case QEvent::MouseButtonRelease: {
        const Drag ended = drag_;
        drag_ = Drag::None;
        if (ended == Drag::Band) {
            band_->hide();
            bandDrawn_ = true;
            // A band dragged back to a line zooms nowhere.
            const QRect band =
                QRect(pressAt_, static_cast<QMouseEvent *>(event)->position().toPoint())
                    .normalized();
            if (band.width() > CLICK_SLOP && band.height() > CLICK_SLOP)
                zoomInto(band);
            return true;
        }
        if (ended == Drag::BandPending && menuWanted_) {
            // The right click without a band: the graph's menu after all.
            menuWanted_ = false;
            QContextMenuEvent menu(QContextMenuEvent::Mouse, pressAt_,
                                   plot_->mapToGlobal(pressAt_));
            QCoreApplication::sendEvent(plot_, &menu);
        }
        return ended == Drag::Panning;
    }
    case QEvent::ContextMenu:
        // Where the menu comes with the press, it waits for the release;
        // where it comes with the release, a band drawn keeps it away.
        if (drag_ == Drag::BandPending || drag_ == Drag::Band) {
            menuWanted_ = true;
            return true;
        }
        if (bandDrawn_) {
            bandDrawn_ = false;
            return true;
        }
        return false;
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
            return false;
        reset();
        return true;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->key() != Qt::Key_Home || !zoomed_)
            return false;
        reset();
        return true;
    case QEvent::Resize:
        if (zoomed_)
            placeNote();
        return false;
    default:
        return false;
    }
}

} // namespace scope

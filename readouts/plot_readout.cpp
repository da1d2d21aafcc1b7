#include "readouts/plot_readout.h"

#include <QAction>
#include <QMouseEvent>
#include <QTimer>

#include <qcustomplot.h>

#include <cmath>

namespace readouts {

namespace {

// No trace of the three graphs is drawn in it (black, red, dark green,
// green, blue, orange and grey are theirs).
const QColor CURSOR_COLOR(0xa0, 0x00, 0xc0);
constexpr int FOLLOW_MS = 250; // the texts follow new frames this often
constexpr int HOVER_OFFSET_PX = 14;

QCPItemText *textItem(QCustomPlot *plot, const QString &objectName) {
    auto *text = new QCPItemText(plot);
    text->setObjectName(objectName);
    text->setLayer(QStringLiteral("overlay"));
    text->setClipToAxisRect(false);
    text->setTextAlignment(Qt::AlignLeft);
    text->setPadding(QMargins(4, 2, 4, 2));
    text->setBrush(QColor(255, 255, 255, 230));
    text->setPen(QPen(Qt::gray));
    text->setVisible(false);
    return text;
}

} // namespace

PlotReadout::PlotReadout(QCustomPlot *plot, GraphReading reading)
    : QObject(plot), plot_(plot), reading_(std::move(reading)),
      hover_(textItem(plot, QStringLiteral("hoverReadout"))), follow_(new QTimer(this)) {
    setObjectName(QStringLiteral("plotReadout"));
    hover_->position->setType(QCPItemPosition::ptAbsolute); // the pointer's pixels
    follow_->setInterval(FOLLOW_MS);
    connect(follow_, &QTimer::timeout, this, &PlotReadout::refresh);
    if (reading_.measure) {
        measure_ = textItem(plot, QStringLiteral("cursorReadout"));
        measure_->position->setType(QCPItemPosition::ptAxisRectRatio);
        measure_->position->setCoords(0.01, 0.02);
        measure_->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
        measure_->setColor(CURSOR_COLOR);
        for (const char *name : {"cursorA", "cursorB"}) {
            auto *line = new QCPItemStraightLine(plot);
            line->setObjectName(QLatin1String(name));
            line->setProperty(CURSOR_PROPERTY, true);
            line->setLayer(QStringLiteral("overlay"));
            line->setPen(QPen(CURSOR_COLOR, 1, Qt::DashDotLine));
            line->setSelectable(false);
            line->setVisible(false);
            lines_.push_back(line);
        }
        clear_ = new QAction(tr("Clear cursors"), this);
        clear_->setObjectName(QStringLiteral("actionClearCursors"));
        connect(clear_, &QAction::triggered, this, &PlotReadout::clearCursors);
    }
    plot->setMouseTracking(true);
    plot->installEventFilter(this);
}

std::vector<double> PlotReadout::cursors() const {
    return placed_;
}

QString PlotReadout::hoverText() const {
    return hover_->visible() ? hover_->text() : QString();
}

QString PlotReadout::measureText() const {
    return measure_ && measure_->visible() ? measure_->text() : QString();
}

double PlotReadout::xAt(const QPoint &at) const {
    return plot_->xAxis->pixelToCoord(at.x());
}

void PlotReadout::redraw() {
    // The program's graphs draw their items at paint time.
    if (plot_->inherits("rt::LivePlot"))
        plot_->update();
    else
        plot_->replot(QCustomPlot::rpQueuedReplot);
    const bool shown = hover_->visible() || !placed_.empty();
    if (shown && !follow_->isActive())
        follow_->start();
    else if (!shown)
        follow_->stop();
}

void PlotReadout::refresh() {
    if (hover_->visible())
        showHover(hoverAt_);
    if (measure_) {
        measure_->setVisible(!placed_.empty());
        if (!placed_.empty())
            measure_->setText(reading_.measure(placed_));
    }
    redraw();
}

void PlotReadout::showHover(const QPoint &at) {
    hoverAt_ = at;
    const QString text =
        plot_->axisRect()->rect().contains(at) ? reading_.hover(xAt(at)) : QString();
    hover_->setVisible(!text.isEmpty());
    hover_->setText(text);
    // Beside the pointer, on the side of the graph with more room.
    const QRect area = plot_->rect();
    const bool right = at.x() > area.center().x(), below = at.y() > area.center().y();
    hover_->setPositionAlignment((right ? Qt::AlignRight : Qt::AlignLeft) |
                                 (below ? Qt::AlignBottom : Qt::AlignTop));
    hover_->position->setCoords(at.x() + (right ? -HOVER_OFFSET_PX : HOVER_OFFSET_PX),
                                at.y() + (below ? -HOVER_OFFSET_PX : HOVER_OFFSET_PX));
}

void PlotReadout::hideHover() {
    if (!hover_->visible())
        return;
    hover_->setVisible(false);
    redraw();
}

int PlotReadout::cursorNear(const QPoint &at) const {
    int nearest = -1;
    double best = GRAB_PX + 0.5;
    for (std::size_t i = 0; i < placed_.size(); ++i) {
        const double distance = std::abs(plot_->xAxis->coordToPixel(placed_[i]) - at.x());
        if (distance < best) {
            best = distance;
            nearest = static_cast<int>(i);
        }
    }
    return nearest;
}

void PlotReadout::placeCursor(int index, double x) {
    const auto i = static_cast<std::size_t>(index);
    if (i >= placed_.size())
        placed_.resize(i + 1, x);
    placed_[i] = reading_.snap ? reading_.snap(x) : x;
    lines_[i]->point1->setCoords(placed_[i], 0.0);
    lines_[i]->point2->setCoords(placed_[i], 1.0);
    lines_[i]->setVisible(true);
    refresh();
}

void PlotReadout::clearCursors() {
    placed_.clear();
    next_ = 0;
    for (QCPItemStraightLine *line : lines_)
        line->setVisible(false);
    refresh();
}

bool PlotReadout::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::MouseMove: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint at = mouse->position().toPoint();
        if (mouse->buttons() == Qt::NoButton) {
            showHover(at);
            redraw();
        } else if (dragged_ >= 0) {
            placeCursor(dragged_, xAt(at));
            return true;
        }
        break;
    }
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || (mouse->modifiers() & Qt::ControlModifier))
            break;
        pressed_ = true;
        pressedAt_ = mouse->position().toPoint();
        dragged_ = cursorNear(pressedAt_);
        if (dragged_ >= 0)
            return true; // the cursor moves, the graph does not pan
        break;
    }
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || !pressed_)
            break;
        pressed_ = false;
        if (dragged_ >= 0) {
            dragged_ = -1;
            return true;
        }
        const QPoint at = mouse->position().toPoint();
        if (measure_ && (at - pressedAt_).manhattanLength() <= CLICK_PX &&
            plot_->axisRect()->rect().contains(at)) {
            placeCursor(static_cast<int>(next_), xAt(at));
            next_ = (next_ + 1) % lines_.size();
        }
        break;
    }
    case QEvent::Leave:
        hideHover();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace readouts

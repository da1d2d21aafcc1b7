#include "glance/line_events.h"

#include <QDateTime>
#include <QLabel>
#include <QStatusBar>

#include "glance/status_history.h"
#include "limits/supervisor.h"

namespace window {

QString eventText(const limits::LimitEvent &event) {
    const QString kind = QString::fromLatin1(limits::kindText(event.kind));
    if (event.kind == limits::EventKind::OutOfTolerance && event.mvalue && event.lower &&
        event.upper)
        return QObject::tr("%1: Mvalue %2 outside %3-%4")
            .arg(kind)
            .arg(*event.mvalue)
            .arg(*event.lower)
            .arg(*event.upper);
    if (event.kind == limits::EventKind::BackInTolerance && event.durationMs && event.extreme)
        return QObject::tr("%1 after %2 s, extreme %3")
            .arg(kind)
            .arg(static_cast<double>(*event.durationMs) / 1000.0, 0, 'f', 1)
            .arg(*event.extreme);
    return kind;
}

LineEvents::LineEvents(stream::Channel<limits::LimitEvent> &events, QStatusBar *bar,
                       StatusHistory *history)
    : QObject(bar), count_(new QLabel(bar)), history_(history) {
    count_->setObjectName(QStringLiteral("statusExcursions"));
    count_->setToolTip(tr("Excursions of the measured value out of the tolerance band since "
                          "the program started; the status line's tooltip lists the events"));
    count_->hide();
    bar->addPermanentWidget(count_);
    events_ = events.subscribe([this](const limits::LimitEvent &event) { tell(event); });
}

QString LineEvents::countText() const {
    return count_->text();
}

void LineEvents::tell(const limits::LimitEvent &event) {
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(event.time.time_since_epoch())
            .count());
    if (history_)
        history_->add(eventText(event), time);
    if (event.kind != limits::EventKind::OutOfTolerance)
        return;
    ++excursions_;
    count_->setText(QString::fromStdString(limits::excursionsText(excursions_, event.time)));
    count_->show();
}

} // namespace window

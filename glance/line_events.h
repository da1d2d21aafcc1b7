// The line's events in the window: each event of the program's supervision
// (limits/) goes into the status line's history with its time, and the
// status bar counts the excursions ("3 excursions, last 12:04:31") from the
// first one on. An event is rare, so this costs the loops nothing per frame.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "limits/event.h"
#include "stream/channel.h"

class QLabel;
class QStatusBar;

namespace window {

class StatusHistory;

class LineEvents : public QObject {
    Q_OBJECT

  public:
    // Listens to `events` while it lives; `history` may be null.
    LineEvents(stream::Channel<limits::LimitEvent> &events, QStatusBar *bar,
               StatusHistory *history);

    QString countText() const; // as shown, for tests

  private:
    void tell(const limits::LimitEvent &event);

    QLabel *count_;
    QPointer<StatusHistory> history_;
    int excursions_ = 0;
    stream::Subscription events_;
};

// The history's line for an event: "out of tolerance: Mvalue 640 outside
// 412-612", "back in tolerance after 1.2 s, extreme 655", "port lost".
QString eventText(const limits::LimitEvent &event);

} // namespace window

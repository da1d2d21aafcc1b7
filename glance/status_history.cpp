#include "glance/status_history.h"

#include <QEvent>
#include <QLabel>
#include <QStringList>

#include "runtime/widget_access.h"

namespace window {

StatusHistory::StatusHistory(QWidget *statusLine) : QObject(statusLine) {
    if (auto *label = qobject_cast<QLabel *>(statusLine))
        add(label->text());
    statusLine->installEventFilter(this);
}

QString StatusHistory::text() const {
    QStringList lines;
    for (const Entry &entry : entries_)
        lines << entry.time.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ") +
                     entry.text;
    return lines.join(QLatin1Char('\n'));
}

void StatusHistory::add(const QString &text, const QDateTime &time) {
    if (text.isEmpty() || (!entries_.empty() && entries_.back().text == text))
        return;
    entries_.push_back({time, text});
    while (entries_.size() > KEPT)
        entries_.pop_front();
}

bool StatusHistory::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == rt::programValueEvent())
        if (auto *label = qobject_cast<QLabel *>(watched))
            add(label->text());
    return QObject::eventFilter(watched, event);
}

} // namespace window

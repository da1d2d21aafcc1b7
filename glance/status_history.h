// The status line's history: the last texts it showed, with the time each
// came. The status line is a control of the panel; the history follows it by
// the event the run-time sends on every write, and leaves its texts alone.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <deque>

class QWidget;

namespace window {

class StatusHistory : public QObject {
    Q_OBJECT

  public:
    static constexpr std::size_t KEPT = 20;

    struct Entry {
        QDateTime time;
        QString text;
    };

    // Follows `statusLine` from now on; its current text is the first entry.
    explicit StatusHistory(QWidget *statusLine);

    const std::deque<Entry> &entries() const { return entries_; }
    // One line per entry, oldest first: "12:04:31  Echo Check - Line Ok!".
    QString text() const;
    // A text the status line shows now; a repeat of the newest is no change.
    void add(const QString &text, const QDateTime &time = QDateTime::currentDateTime());

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    std::deque<Entry> entries_;
};

} // namespace window

// A tooltip that adds a text of the window's own (a graph's colour key, the
// status line's history) under whatever tooltip the control has, without
// replacing it: the panel file and the port selector keep setting theirs.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QWidget;

namespace window {

class ToolTipKey : public QObject {
    Q_OBJECT

  public:
    // `key` is asked each time the tooltip opens.
    ToolTipKey(QWidget *control, std::function<QString()> key);

    // What hovering `control` shows: its own tooltip, then the key.
    static QString shownText(const QWidget *control);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    std::function<QString()> key_;
};

} // namespace window

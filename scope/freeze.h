// Freeze (F9, the Sensor menu, and a toggle on the signal graphs' box): the
// graphs and the numerics keep what they show while the loops, the
// recording and the publishing go on; the title and the status bar say
// "frozen". Unfreezing shows the latest of everything at once.
#pragma once

#include <QObject>

class QAction;
class QLabel;
class QToolButton;
class QWidget;

namespace scope {

class Freeze : public QObject {
    Q_OBJECT

  public:
    // `mainWindow` gets the menu item and the status bar's word, `graphBox`
    // (the box the signal graphs share) the toggle in its top-right corner.
    Freeze(QWidget *mainWindow, QWidget *graphBox);

    QAction *action() const { return action_; }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void setFrozen(bool frozen);
    void placeButton();

    QWidget *mainWindow_;
    QAction *action_;
    QToolButton *button_ = nullptr; // a child of box_
    QObject *box_ = nullptr;
    QLabel *word_ = nullptr;
};

} // namespace scope

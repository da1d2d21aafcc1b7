// View > "Trend and video side by side": on a screen wide enough the trend
// chart and the video graph both show, next to each other in the box they
// share, and the window grows by a graph's width; each loop draws its own
// graph and the other keeps its last picture. On a narrower screen the item
// is greyed and its tooltip says why. The choice is kept in the settings.
#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class QWidget;

namespace scope {

class SideBySide : public QObject {
    Q_OBJECT

  public:
    // A screen's available width (device-independent pixels) from which
    // both graphs have room beside the panel's controls.
    static constexpr int MIN_SCREEN_WIDTH = 1600;

    SideBySide(QWidget *mainWindow, QWidget *trendChart, QWidget *videoGraph);

    QAction *action() const { return action_; }
    // Greys the item, with its reason, when the window's screen is narrow.
    void checkScreen();

  private:
    void show(bool both);

    QWidget *mainWindow_;
    QPointer<QWidget> trend_, video_;
    QAction *action_;
    int grownBy_ = 0;
};

} // namespace scope

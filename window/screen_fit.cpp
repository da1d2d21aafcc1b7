#include "window/screen_fit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QPointer>
#include <QRect>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace window {

namespace {

QScreen *screenOf(const QWidget *window) {
    if (QScreen *at = QGuiApplication::screenAt(window->geometry().center()))
        return at;
    return window->screen() ? window->screen() : QGuiApplication::primaryScreen();
}

// The frame around the window: the real one once shown, else an allowance.
QMargins frameOf(const QWidget *window) {
    if (window->isVisible() && window->frameGeometry() != window->geometry()) {
        const QRect frame = window->frameGeometry(), inner = window->geometry();
        return {inner.left() - frame.left(), inner.top() - frame.top(),
                frame.right() - inner.right(), frame.bottom() - inner.bottom()};
    }
    return {FRAME_ALLOWANCE_SIDE, FRAME_ALLOWANCE_TOP, FRAME_ALLOWANCE_SIDE, FRAME_ALLOWANCE_SIDE};
}

void fit(QWidget *window) {
    const QScreen *screen = screenOf(window);
    // A maximised window (one that comes back maximised) fills its screen already.
    if (!screen || window->isMaximized() || (window->windowState() & Qt::WindowFullScreen))
        return;
    const QRect room = screen->availableGeometry().marginsRemoved(frameOf(window));
    const QSize size = window->size()
                           .boundedTo(room.size())
                           .expandedTo(window->minimumSizeHint())
                           .expandedTo(window->minimumSize());
    QRect placed(window->geometry().topLeft(), size); // without the frame
    if (!window->isVisible())                         // first opening: in the middle of the screen
        placed.moveCenter(room.center());
    // Inside the room, the top-left corner first: the title bar must stay reachable.
    placed.moveRight(std::min(placed.right(), room.right()));
    placed.moveBottom(std::min(placed.bottom(), room.bottom()));
    placed.moveLeft(std::max(placed.left(), room.left()));
    placed.moveTop(std::max(placed.top(), room.top()));
    window->setGeometry(placed);
}

class FitOnShow : public QObject {
  public:
    explicit FitOnShow(QWidget *window) : QObject(window) { window->installEventFilter(this); }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Show) {
            // The frame is known once the window manager has placed the window.
            QPointer<QWidget> window = static_cast<QWidget *>(watched);
            QTimer::singleShot(0, window, [window] {
                if (window)
                    fit(window);
            });
            watched->removeEventFilter(this);
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void fitToScreen(QWidget *window) {
    if (!window)
        return;
    fit(window);
    new FitOnShow(window);
}

} // namespace window

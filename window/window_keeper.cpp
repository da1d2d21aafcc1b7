// The window keeper watches a window of its own: a move by the user is written
// to the settings when the window is hidden or the program ends, not on every
// step of a drag.
#include "window/window_keeper.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <optional>
#include <utility>

#include "window/ccd_placement.h"
#include "window/settings.h"

namespace window {

namespace {

// Object names of the main panel's areas in the panel file.
constexpr const char *KEEP_CLEAR[] = {"GROUP_Measurement", "GROUP_Transfer", "TEXT_Status",
                                      "statusBar"};
constexpr const char *GRAPHS[] = {"GROUP_EdgeGraph", "GROUP_Signal"};

bool isEsc(const QEvent *event) {
    const auto *key = static_cast<const QKeyEvent *>(event);
    return key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier;
}

QRect onScreen(const QWidget *w) {
    return QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
}

QRect areaOf(QWidget *mainWindow, const char *name) {
    const auto *w = mainWindow->findChild<QWidget *>(QLatin1String(name));
    return w && w->isVisible() ? onScreen(w) : QRect();
}

class WindowKeeper : public QObject {
  public:
    WindowKeeper(QWidget *mainWindow, QWidget *tool, const char *positionKey,
                 std::function<void()> hide)
        : QObject(tool), main_(mainWindow), tool_(tool), key_(positionKey), hide_(std::move(hide)),
          userPos_(savedWindowPosition(positionKey)) {
        tool->setWindowFlag(Qt::WindowCloseButtonHint, true);
        tool->installEventFilter(this);
    }
    ~WindowKeeper() override { keepUserPosition(); }

  protected:
    bool eventFilter(QObject *, QEvent *event) override {
        switch (event->type()) {
        case QEvent::Close:
            // Hidden as by its button, so that the next click shows it again.
            event->ignore();
            hide_();
            return true;
        case QEvent::ShortcutOverride:
            // Esc here is this window's, not the main window's Stop.
            if (isEsc(event)) {
                event->accept();
                return true;
            }
            break;
        case QEvent::KeyPress:
            if (isEsc(event)) {
                hide_();
                return true;
            }
            break;
        case QEvent::Show:
            if (!event->spontaneous()) {
                place();
                // Keys go here, once the window is on the screen: Esc closes
                // this window, not the main window's loop.
                QTimer::singleShot(0, tool_, [tool = tool_] {
                    if (!tool->isVisible())
                        return;
                    tool->activateWindow();
                    if (!tool->focusWidget())
                        tool->setFocus(Qt::ActiveWindowFocusReason);
                });
            }
            break;
        case QEvent::Move:
            if (tool_->isVisible() && tool_->pos() != placedAt_) {
                userPos_ = tool_->pos();
                moved_ = true;
            }
            break;
        case QEvent::Hide:
            keepUserPosition();
            break;
        default:
            break;
        }
        return false;
    }

  private:
    QSize frameSize() const {
        const QRect frame = tool_->frameGeometry();
        if (frame.size() != tool_->size() || !main_)
            return frame.size();
        // Not framed yet: guess its frame from the main window's.
        return tool_->size() + main_->frameGeometry().size() - main_->size();
    }

    void place() {
        if (!main_)
            return;
        const QSize frame = frameSize();
        QPoint at;
        if (userPos_) {
            const QScreen *screen = QGuiApplication::screenAt(QRect(*userPos_, frame).center());
            if (!screen)
                screen = main_->screen();
            at = keptOnScreen(QRect(*userPos_, frame), screen->availableGeometry()).topLeft();
        } else {
            CcdPlacement where;
            where.mainFrame = main_->frameGeometry();
            where.screen = main_->screen()->availableGeometry();
            for (const char *name : GRAPHS)
                where.graphs |= areaOf(main_, name);
            for (const char *name : KEEP_CLEAR)
                if (const QRect area = areaOf(main_, name); !area.isEmpty())
                    where.keepClear.push_back(area);
            at = placeCcdWindow(where, frame);
        }
        placedAt_ = at;
        tool_->move(at);
    }

    void keepUserPosition() {
        if (moved_ && userPos_)
            saveWindowPosition(key_, *userPos_);
        moved_ = false;
    }

    QPointer<QWidget> main_;
    QWidget *tool_;
    const char *key_;
    std::function<void()> hide_;
    std::optional<QPoint> userPos_;
    QPoint placedAt_;
    bool moved_ = false;
};

} // namespace

void keepBesideMainWindow(QWidget *mainWindow, QWidget *tool, const char *positionKey,
                          std::function<void()> hide) {
    if (mainWindow && tool && hide)
        new WindowKeeper(mainWindow, tool, positionKey, std::move(hide));
}

} // namespace window

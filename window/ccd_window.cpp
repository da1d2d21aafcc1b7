// The window keeper watches the CCD panel's window: each time it is shown it
// goes where the user last put it (kept on a screen), else beside the main
// window or over its graphs; a move by the user is written to the settings
// when the window is hidden or the program ends, not on every step of a drag.
#include "window/ccd_window.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <optional>

#include "runtime/widget_access.h"
#include "window/ccd_placement.h"
#include "window/settings.h"

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

class CcdWindowKeeper : public QObject {
  public:
    CcdWindowKeeper(QWidget *mainWindow, QWidget *ccd, PanelHideHook hide)
        : QObject(ccd), main_(mainWindow), ccd_(ccd), hide_(hide),
          userPos_(window::savedCcdWindowPosition()) {
        ccd->setWindowFlag(Qt::WindowCloseButtonHint, true);
        ccd->installEventFilter(this);
    }
    ~CcdWindowKeeper() override { keepUserPosition(); }

  protected:
    bool eventFilter(QObject *, QEvent *event) override {
        switch (event->type()) {
        case QEvent::Close:
            // Hidden as by the button, so that its next click shows it again.
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
            if (!event->spontaneous())
                place();
            break;
        case QEvent::Move:
            if (ccd_->isVisible() && ccd_->pos() != placedAt_) {
                userPos_ = ccd_->pos();
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
        const QRect frame = ccd_->frameGeometry();
        if (frame.size() != ccd_->size() || !main_)
            return frame.size();
        // Not framed yet: guess its frame from the main window's.
        return ccd_->size() + main_->frameGeometry().size() - main_->size();
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
            at = window::keptOnScreen(QRect(*userPos_, frame), screen->availableGeometry())
                     .topLeft();
        } else {
            window::CcdPlacement where;
            where.mainFrame = main_->frameGeometry();
            where.screen = main_->screen()->availableGeometry();
            for (const char *name : GRAPHS)
                where.graphs |= areaOf(main_, name);
            for (const char *name : KEEP_CLEAR)
                if (const QRect area = areaOf(main_, name); !area.isEmpty())
                    where.keepClear.push_back(area);
            at = window::placeCcdWindow(where, frame);
        }
        placedAt_ = at;
        ccd_->move(at);
    }

    void keepUserPosition() {
        if (moved_ && userPos_)
            window::saveCcdWindowPosition(*userPos_);
        moved_ = false;
    }

    QPointer<QWidget> main_;
    QWidget *ccd_;
    PanelHideHook hide_;
    std::optional<QPoint> userPos_;
    QPoint placedAt_;
    bool moved_ = false;
};

} // namespace

void AttachCCDWindow(int mainPanel, int ccdPanel, PanelHideHook hide) {
    QWidget *mainWindow = rt::panelWidget(mainPanel);
    QWidget *ccd = rt::panelWidget(ccdPanel);
    if (mainWindow && ccd && hide)
        new CcdWindowKeeper(mainWindow, ccd, hide);
}

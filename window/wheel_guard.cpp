#include "window/wheel_guard.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QPointer>
#include <QScrollBar>
#include <QWidget>

namespace window {

namespace {

// The numeric, selector or slider `widget` is or lies in (a spin box's line
// edit, say); null for anything else. A scroll bar scrolls, it holds no value.
QWidget *valueControl(QObject *object) {
    for (auto *w = qobject_cast<QWidget *>(object); w; w = w->parentWidget()) {
        if (qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QComboBox *>(w) ||
            (qobject_cast<QAbstractSlider *>(w) && !qobject_cast<QScrollBar *>(w)))
            return w;
        if (w->isWindow())
            break;
    }
    return nullptr;
}

void takeFocusByClickOrTab(QWidget *control) {
    if (control->focusPolicy() == Qt::WheelFocus)
        control->setFocusPolicy(Qt::StrongFocus);
}

class WheelGuard : public QObject {
  public:
    explicit WheelGuard(QObject *app) : QObject(app) {
        for (QWidget *w : QApplication::allWidgets())
            if (valueControl(w) == w)
                takeFocusByClickOrTab(w);
        app->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Polish) {
            if (QWidget *control = valueControl(watched); control == watched)
                takeFocusByClickOrTab(control);
        } else if (event->type() == QEvent::Wheel) {
            QWidget *control = valueControl(watched);
            if (control && !control->hasFocus()) {
                event->accept();
                return true; // eaten: neither the control nor a scroll area behind it
            }
        }
        return false;
    }
};

} // namespace

void guardWheel() {
    static QPointer<WheelGuard> guard;
    if (qApp && !guard)
        guard = new WheelGuard(qApp);
}

} // namespace window

void AttachWheelGuard(void) {
    window::guardWheel();
}

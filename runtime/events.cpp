// Turns user actions on loaded controls into the program's event codes.
//
// Every callback is queued and runs from event processing (RunUserInterface
// or ProcessSystemEvents), never from inside the Qt signal. Values written by
// the program are set with signals blocked, so they never reach a callback.
//   left click (3): the left mouse button pressed on the control
//   value changed (2): the user changed the value (typing, dragging, toggling)
//   commit (1): the user finished a change: button activation (mouse or key),
//               a selector pick, a switch toggle, a slider release or key
//               step, a numeric's arrow step or Enter / leaving after typing
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>

#include "runtime/registry.h"
#include "runtime/widget_access.h"

namespace rt {
namespace {

void postControlEvent(int panel, int control, CtrlCallbackPtr callback, int event) {
    QMetaObject::invokeMethod(
        qApp,
        [=] {
            if (Registry::instance().control(panel, control))
                callback(panel, control, event, nullptr, 0, 0);
        },
        Qt::QueuedConnection);
}

class ControlEventFilter : public QObject {
  public:
    ControlEventFilter(QWidget *control, int panel, int id, CtrlCallbackPtr callback)
        : QObject(control), panel_(panel), id_(id), callback_(callback) {}

    bool typing = false;      // the last input to a numeric was typed text
    bool typedChange = false; // a typed change waits for its commit

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (auto *w = qobject_cast<QWidget *>(watched); w && !w->isEnabled())
            return false; // a dimmed control takes no user action
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
                postControlEvent(panel_, id_, callback_, EVENT_LEFT_CLICK);
            typing = false;
            break;
        case QEvent::Wheel:
            typing = false;
            break;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
                key == Qt::Key_PageDown)
                typing = false;
            else if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Tab)
                typing = true;
            break;
        }
        default:
            break;
        }
        return false;
    }

  private:
    int panel_;
    int id_;
    CtrlCallbackPtr callback_;
};

void watchSpinBox(QSpinBox *spin, ControlEventFilter *filter, int panel, int id,
                  CtrlCallbackPtr callback) {
    QObject::connect(spin, qOverload<int>(&QSpinBox::valueChanged), filter, [=] {
        postControlEvent(panel, id, callback, EVENT_VAL_CHANGED);
        if (filter->typing)
            filter->typedChange = true;
        else
            postControlEvent(panel, id, callback, EVENT_COMMIT);
    });
    QObject::connect(spin, &QSpinBox::editingFinished, filter, [=] {
        if (!filter->typedChange)
            return;
        filter->typedChange = false;
        postControlEvent(panel, id, callback, EVENT_COMMIT);
    });
}

} // namespace

bool postUserEvent(int panel, int control, int event) {
    QWidget *widget = Registry::instance().control(panel, control);
    if (!widget || !widget->isEnabled())
        return false;
    const CallbackEntry *entry =
        Registry::instance().findCallback(widget->property("callback").toString());
    if (!entry || !entry->control)
        return false;
    postControlEvent(panel, control, entry->control, event);
    return true;
}

void connectControlEvents(int panel, int id, QWidget *widget, CtrlCallbackPtr callback) {
    auto *filter = new ControlEventFilter(widget, panel, id, callback);
    widget->installEventFilter(filter);
    for (QWidget *child : widget->findChildren<QWidget *>())
        child->installEventFilter(filter);

    auto post = [=](int event) { postControlEvent(panel, id, callback, event); };

    if (auto *spin = qobject_cast<QSpinBox *>(widget)) {
        watchSpinBox(spin, filter, panel, id, callback);
    } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
        // A pick is one commit, even when the same entry is picked again.
        QObject::connect(combo, qOverload<int>(&QComboBox::activated), filter,
                         [=] { post(EVENT_COMMIT); });
    } else if (qobject_cast<QCheckBox *>(widget) || qobject_cast<QRadioButton *>(widget)) {
        auto *button = static_cast<QAbstractButton *>(widget);
        QObject::connect(button, &QAbstractButton::toggled, filter, [=] {
            post(EVENT_VAL_CHANGED);
            post(EVENT_COMMIT);
        });
    } else if (auto *push = qobject_cast<QAbstractButton *>(widget)) {
        QObject::connect(push, &QAbstractButton::clicked, filter, [=] { post(EVENT_COMMIT); });
    } else if (auto *slider = qobject_cast<QSlider *>(widget)) {
        QObject::connect(slider, &QSlider::valueChanged, filter, [=] {
            post(EVENT_VAL_CHANGED);
            if (!slider->isSliderDown())
                post(EVENT_COMMIT);
        });
        QObject::connect(slider, &QSlider::sliderReleased, filter, [=] { post(EVENT_COMMIT); });
    }
}

namespace {

class PanelCloseFilter : public QObject {
  public:
    PanelCloseFilter(QWidget *root, int panel, PanelCallbackPtr callback)
        : QObject(root), panel_(panel), callback_(callback) {}

  protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() != QEvent::Close)
            return false;
        // The window stays; the program decides what a close means.
        event->ignore();
        const int panel = panel_;
        const PanelCallbackPtr callback = callback_;
        if (!callback)
            return true;
        QMetaObject::invokeMethod(
            qApp,
            [=] {
                if (Registry::instance().panel(panel))
                    callback(panel, EVENT_CLOSE, nullptr, 0, 0);
            },
            Qt::QueuedConnection);
        return true;
    }

  private:
    int panel_;
    PanelCallbackPtr callback_;
};

} // namespace

void connectPanelEvents(int panel, QWidget *root, PanelCallbackPtr callback) {
    root->installEventFilter(new PanelCloseFilter(root, panel, callback));
}

} // namespace rt

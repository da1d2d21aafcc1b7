// The Sensor menu, built from one table: each item names a control of the
// main panel and what the user does to it. Items post the very event a click
// posts (Send and Stop act on the left click, the others on commit), so the
// callbacks keep their own rules: the busy refusal, the held Send, and the
// Send button's refusal of a keyboard activation of itself. Esc stops a loop
// through the Stop item; the loops process events, so it works while they run.
#include "menus/sensor_menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>

#include <array>

#include "menus/menu_bar.h"
#include "runtime/runtime.h"
#include "runtime/widget_access.h"

namespace window {

namespace {

enum class Act { Commit, LeftClick, Focus };

struct SensorItem {
    const char *text;
    const char *key;
    const char *control; // object name in the panel file
    Act act;
};

constexpr std::array<SensorItem, 9> SENSOR_ITEMS{{
    {QT_TRANSLATE_NOOP("window", "&Run"), "F5", "BTNRun", Act::Commit},
    {QT_TRANSLATE_NOOP("window", "&Data"), "F6", "BTNData", Act::Commit},
    {QT_TRANSLATE_NOOP("window", "S&top"), "Esc", "BTNStop", Act::LeftClick},
    {QT_TRANSLATE_NOOP("window", "&Send"), "F7", "BTNSend", Act::LeftClick},
    {QT_TRANSLATE_NOOP("window", "&Get"), "F8", "BTNGet", Act::Commit},
    {QT_TRANSLATE_NOOP("window", "T&each"), "Ctrl+T", "ButtonTeach", Act::Commit},
    {QT_TRANSLATE_NOOP("window", "Reset &Max/Min"), "Ctrl+R", "ButtonReset", Act::Commit},
    {QT_TRANSLATE_NOOP("window", "&COM port..."), "Ctrl+P", "DropDCom", Act::Focus},
    {QT_TRANSLATE_NOOP("window", "CCD sett&ings"), "Ctrl+I", "BTN_CCDSettings", Act::Commit},
}};

// An item is enabled exactly while its control is: a dimmed button's key
// does nothing, as a click on it does nothing.
class EnabledMirror : public QObject {
  public:
    EnabledMirror(QWidget *control, QAction *item) : QObject(item), item_(item) {
        item->setEnabled(control->isEnabled());
        control->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::EnabledChange)
            item_->setEnabled(static_cast<QWidget *>(watched)->isEnabled());
        return false;
    }

  private:
    QAction *item_;
};

// The form's tooltip keeps its text; the key is added unless it already
// names it.
void addKeyToToolTip(QWidget *control, const QKeySequence &key) {
    const QString shown = QStringLiteral("(%1)").arg(key.toString(QKeySequence::NativeText));
    const QString tip = control->toolTip();
    if (tip.contains(shown))
        return;
    control->setToolTip(tip.isEmpty() ? shown : tip + QLatin1Char(' ') + shown);
}

void act(int panel, int id, QWidget *control, Act what) {
    switch (what) {
    case Act::Commit:
        rt::postUserEvent(panel, id, EVENT_COMMIT);
        break;
    case Act::LeftClick:
        rt::postUserEvent(panel, id, EVENT_LEFT_CLICK);
        break;
    case Act::Focus:
        if (control->isEnabled()) {
            control->activateWindow();
            control->setFocus(Qt::ShortcutFocusReason);
        }
        break;
    }
}

} // namespace

void addSensorMenu(int panel) {
    QWidget *mainWindow = rt::panelWidget(panel);
    QMenu *sensor = menu(mainWindow, TopMenu::Sensor);
    if (!sensor)
        return;
    for (const SensorItem &item : SENSOR_ITEMS) {
        auto *control = mainWindow->findChild<QWidget *>(QLatin1String(item.control));
        bool known = false;
        const int id = control ? control->property("controlId").toInt(&known) : 0;
        if (!known)
            continue; // a panel file without this control: no item for it
        const QKeySequence key(QLatin1String(item.key));
        QAction *action = sensor->addAction(QCoreApplication::translate("window", item.text));
        action->setObjectName(QStringLiteral("actionSensor_%1").arg(QLatin1String(item.control)));
        action->setShortcut(key);
        new EnabledMirror(control, action);
        addKeyToToolTip(control, key);
        const Act what = item.act;
        QObject::connect(action, &QAction::triggered, control,
                         [panel, id, control, what] { act(panel, id, control, what); });
    }
}

} // namespace window

void AttachSensorMenu(int panel) {
    window::addSensorMenu(panel);
}

#include "glance/tool_tip_key.h"

#include <QHelpEvent>
#include <QTextDocument>
#include <QToolTip>
#include <QWidget>

namespace window {

ToolTipKey::ToolTipKey(QWidget *control, std::function<QString()> key)
    : QObject(control), key_(std::move(key)) {
    setObjectName(QStringLiteral("toolTipKey"));
    control->installEventFilter(this);
}

QString ToolTipKey::shownText(const QWidget *control) {
    const auto *self =
        control->findChild<ToolTipKey *>(QStringLiteral("toolTipKey"), Qt::FindDirectChildrenOnly);
    const QString own = control->toolTip();
    const QString key = self ? self->key_() : QString();
    if (own.isEmpty() || key.isEmpty())
        return own + key;
    // Both as plain text lines; a rich key keeps its markup.
    if (Qt::mightBeRichText(key))
        return QStringLiteral("<p>%1</p>%2").arg(own.toHtmlEscaped(), key);
    return own + QStringLiteral("\n\n") + key;
}

bool ToolTipKey::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    auto *control = static_cast<QWidget *>(watched);
    QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), shownText(control), control);
    return true;
}

} // namespace window

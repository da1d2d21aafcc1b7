#include "ports/port_selector.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QSignalBlocker>
#include <QStyle>

#include "ports/port_catalog.h"
#include "runtime/low_latency.h"

namespace ports {

PortSelector::PortSelector(QComboBox *selector) : QObject(selector), selector_(selector) {
    selector->installEventFilter(this);
    connect(&PortCatalog::instance(), &PortCatalog::refreshed, this, &PortSelector::showLabels);
    showLabels();
}

bool PortSelector::eventFilter(QObject *watched, QEvent *event) {
    // Runs before the selector opens its list or steps to another entry.
    if (watched == selector_ &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress))
        PortCatalog::instance().refresh();
    return false;
}

void PortSelector::showLabels() {
    if (!selector_)
        return;
    // The entries keep their values (the panel's "itemValues"); only the
    // texts change, and no change of text is a pick.
    const QStringList values = selector_->property("itemValues").toString().split(QLatin1Char(','));
    const PortMap &map = PortCatalog::instance().map();
    const QSignalBlocker quiet(selector_);
    for (int i = 0; i < selector_->count(); ++i) {
        bool ok = false;
        const int number = values.value(i).trimmed().toInt(&ok);
        const int shown = ok ? number : i + 1;
        selector_->setItemText(i, map.label(shown));
        // An adapter that holds each reply longer than a few bytes' time says so.
        const QString device = map.device(shown);
        const QString note = device.isEmpty() ? QString() : rt::adapterLatencyNote(device);
        selector_->setItemData(i, note.isEmpty() ? QVariant() : QVariant(note), Qt::ToolTipRole);
    }
    // The open list shows whole entries even where the closed selector is
    // narrower than an adapter's name.
    QAbstractItemView *list = selector_->view();
    list->setMinimumWidth(list->sizeHintForColumn(0) + list->frameWidth() * 2 +
                          list->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

} // namespace ports

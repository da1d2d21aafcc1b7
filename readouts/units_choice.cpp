#include "readouts/units_choice.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include "units/mm_scale.h"

namespace readouts {

UnitsChoice::UnitsChoice(QObject *parent, const unsigned short *ccdtype,
                         const unsigned short *ccdresolution)
    : QObject(parent), ccdtype_(ccdtype), ccdresolution_(ccdresolution) {
    auto *group = new QActionGroup(this);
    pixels_ = group->addAction(tr("pixels"));
    pixels_->setObjectName(QStringLiteral("actionUnitsPixels"));
    mm_ = group->addAction(tr("mm"));
    mm_->setObjectName(QStringLiteral("actionUnitsMm"));
    for (QAction *item : group->actions())
        item->setCheckable(true);
    pixels_->setChecked(true);
    connect(group, &QActionGroup::triggered, this, &UnitsChoice::changed);
    refresh();
}

void UnitsChoice::addTo(QMenu *view) {
    QMenu *units = view->addMenu(tr("Units"));
    units->setObjectName(QStringLiteral("unitsMenu"));
    units->setToolTipsVisible(true);
    units->addAction(pixels_);
    units->addAction(mm_);
    connect(view, &QMenu::aboutToShow, this, &UnitsChoice::refresh);
    connect(units, &QMenu::aboutToShow, this, &UnitsChoice::refresh);
}

std::optional<double> UnitsChoice::factor() const {
    return units::mmPerPixel(*ccdtype_, *ccdresolution_);
}

std::optional<double> UnitsChoice::mmPerPixel() const {
    return mm_->isChecked() ? factor() : std::nullopt;
}

QString UnitsChoice::pixels(double value) const {
    const QString shown = QString::number(value, 'f', 0);
    if (const auto mm = mmPerPixel())
        return tr("%1 (%2 mm)").arg(shown).arg(value * *mm, 0, 'f', 3);
    return shown;
}

void UnitsChoice::refresh() {
    const auto mm = factor();
    mm_->setEnabled(mm.has_value());
    mm_->setToolTip(mm ? tr("Edges, measured value, band and readouts also in mm: %1 mm a pixel")
                             .arg(*mm, 0, 'g', 4)
                       : QString::fromUtf8(units::MM_UNAVAILABLE));
    if (!mm && mm_->isChecked()) {
        pixels_->setChecked(true);
        emit changed();
    }
}

} // namespace readouts

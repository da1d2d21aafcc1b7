#include "window/settings.h"

#include <QFileInfo>
#include <QSettings>
#include <QVariant>

#include <cstdlib>

#include "window/settings_keys.h"

namespace window {

namespace {

// Positions beyond this are no screen's; a damaged file may hold anything.
constexpr int FARTHEST_POSITION = 100000;

QSettings openSettings() {
    return {QSettings::IniFormat, QSettings::UserScope, QStringLiteral("vexa-tb-scope"),
            QStringLiteral("vexa-tb-scope")};
}

} // namespace

std::optional<QPoint> savedCcdWindowPosition() {
    const QVariant value = openSettings().value(QLatin1String(settings_keys::CCD_WINDOW_POS));
    if (value.typeId() != QMetaType::QPoint)
        return std::nullopt;
    const QPoint pos = value.toPoint();
    if (std::abs(pos.x()) > FARTHEST_POSITION || std::abs(pos.y()) > FARTHEST_POSITION)
        return std::nullopt;
    return pos;
}

void saveCcdWindowPosition(const QPoint &topLeft) {
    openSettings().setValue(QLatin1String(settings_keys::CCD_WINDOW_POS), topLeft);
}

QString savedFileFolder() {
    const QVariant value = openSettings().value(QLatin1String(settings_keys::LAST_FILE_FOLDER));
    if (value.typeId() != QMetaType::QString)
        return {};
    const QString folder = value.toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void saveFileFolder(const QString &folder) {
    openSettings().setValue(QLatin1String(settings_keys::LAST_FILE_FOLDER), folder);
}

} // namespace window

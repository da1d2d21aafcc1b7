#include "window/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

#include <algorithm>
#include <cstdlib>

#include "window/settings_keys.h"

namespace window {

namespace {

// Positions beyond this are no screen's; a damaged file may hold anything.
constexpr int FARTHEST_POSITION = 100000;

// QWidget::saveGeometry gives some 66 bytes; more is not its.
constexpr qsizetype LARGEST_GEOMETRY = 1024;

// The graphs Export graph... offers.
constexpr int GRAPHS_EXPORTED = 3;

// A settings file is a few hundred bytes; one beyond this is not the program's.
constexpr qint64 LARGEST_SETTINGS_FILE = 1 << 20;

QSettings openSettings() {
    return {QSettings::IniFormat, QSettings::UserScope, QStringLiteral("vexa-tb-scope"),
            QStringLiteral("vexa-tb-scope")};
}

// QSettings reads its file whole as it opens it: a FIFO there would block the program, a
// device or a huge file fill the memory. Such a file means the defaults and is left alone;
// a missing one is made on the first save.
bool settingsFileUsable() {
    const QFileInfo file(
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
            .filePath(QStringLiteral("vexa-tb-scope/vexa-tb-scope.ini")));
    if (!file.exists() && !file.isSymLink())
        return true;
    return file.isFile() && file.size() <= LARGEST_SETTINGS_FILE;
}

} // namespace

std::optional<QPoint> savedWindowPosition(const char *key) {
    if (!settingsFileUsable())
        return std::nullopt;
    const QVariant value = openSettings().value(QLatin1String(key));
    if (value.typeId() != QMetaType::QPoint)
        return std::nullopt;
    const QPoint pos = value.toPoint();
    if (std::abs(pos.x()) > FARTHEST_POSITION || std::abs(pos.y()) > FARTHEST_POSITION)
        return std::nullopt;
    return pos;
}

void saveWindowPosition(const char *key, const QPoint &topLeft) {
    if (settingsFileUsable())
        openSettings().setValue(QLatin1String(key), topLeft);
}

std::optional<QPoint> savedCcdWindowPosition() {
    return savedWindowPosition(settings_keys::CCD_WINDOW_POS);
}

void saveCcdWindowPosition(const QPoint &topLeft) {
    saveWindowPosition(settings_keys::CCD_WINDOW_POS, topLeft);
}

QByteArray savedMainWindowGeometry() {
    if (!settingsFileUsable())
        return {};
    const QVariant value = openSettings().value(QLatin1String(settings_keys::MAIN_WINDOW_GEOMETRY));
    if (value.typeId() != QMetaType::QByteArray || value.toByteArray().size() > LARGEST_GEOMETRY)
        return {};
    return value.toByteArray();
}

void saveMainWindowGeometry(const QByteArray &geometry) {
    if (settingsFileUsable())
        openSettings().setValue(QLatin1String(settings_keys::MAIN_WINDOW_GEOMETRY), geometry);
}

QString savedFileFolder() {
    if (!settingsFileUsable())
        return {};
    const QVariant value = openSettings().value(QLatin1String(settings_keys::LAST_FILE_FOLDER));
    if (value.typeId() != QMetaType::QString)
        return {};
    const QString folder = value.toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void saveFileFolder(const QString &folder) {
    if (settingsFileUsable())
        openSettings().setValue(QLatin1String(settings_keys::LAST_FILE_FOLDER), folder);
}

bool savedSideBySide() {
    return settingsFileUsable() &&
           openSettings().value(QLatin1String(settings_keys::SIDE_BY_SIDE)).toString() ==
               QLatin1String("true");
}

void saveSideBySide(bool on) {
    if (settingsFileUsable())
        openSettings().setValue(QLatin1String(settings_keys::SIDE_BY_SIDE), on);
}

ExportSettings savedExportSettings() {
    ExportSettings saved;
    if (!settingsFileUsable())
        return saved;
    const QSettings settings = openSettings();
    bool isNumber = false;
    const int graph = settings.value(QLatin1String(settings_keys::EXPORT_GRAPH)).toInt(&isNumber);
    if (isNumber && graph >= 0 && graph < GRAPHS_EXPORTED)
        saved.graph = graph;
    saved.caption = settings.value(QLatin1String(settings_keys::EXPORT_CAPTION)).toString() ==
                    QLatin1String("true");
    return saved;
}

void saveExportSettings(const ExportSettings &saved) {
    if (!settingsFileUsable())
        return;
    QSettings settings = openSettings();
    settings.setValue(QLatin1String(settings_keys::EXPORT_GRAPH), saved.graph);
    settings.setValue(QLatin1String(settings_keys::EXPORT_CAPTION),
                      saved.caption ? QStringLiteral("true") : QStringLiteral("false"));
}

BrokerSettings savedBrokerSettings() {
    BrokerSettings saved;
    if (!settingsFileUsable())
        return saved;
    const QSettings settings = openSettings();
    const auto text = [&settings](const char *key) {
        const QVariant value = settings.value(QLatin1String(key));
        return value.typeId() == QMetaType::QString ? value.toString() : QString();
    };
    saved.url = text(settings_keys::BROKER_URL);
    saved.name = text(settings_keys::BROKER_NAME);
    saved.user = text(settings_keys::BROKER_USER);
    saved.caFile = text(settings_keys::BROKER_CA_FILE);
    saved.video = text(settings_keys::BROKER_VIDEO) == QLatin1String("true");
    return saved;
}

void saveBrokerSettings(const BrokerSettings &saved) {
    if (!settingsFileUsable())
        return;
    QSettings settings = openSettings();
    settings.setValue(QLatin1String(settings_keys::BROKER_URL), saved.url);
    settings.setValue(QLatin1String(settings_keys::BROKER_NAME), saved.name);
    settings.setValue(QLatin1String(settings_keys::BROKER_USER), saved.user);
    settings.setValue(QLatin1String(settings_keys::BROKER_CA_FILE), saved.caFile);
    settings.setValue(QLatin1String(settings_keys::BROKER_VIDEO),
                      saved.video ? QStringLiteral("true") : QStringLiteral("false"));
}

QString savedTheme() {
    if (!settingsFileUsable())
        return {};
    const QVariant value = openSettings().value(QLatin1String(settings_keys::THEME));
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

void saveTheme(const QString &name) {
    if (settingsFileUsable())
        openSettings().setValue(QLatin1String(settings_keys::THEME), name);
}

QStringList savedOtherDevices() {
    if (!settingsFileUsable())
        return {};
    const QVariant value = openSettings().value(QLatin1String(settings_keys::OTHER_DEVICES));
    QStringList devices;
    // A damaged file may hold anything: only absolute paths are devices.
    for (const QString &device : value.toStringList())
        if (device.startsWith(QLatin1Char('/')) && !devices.contains(device))
            devices.append(device);
    return devices.mid(std::max<qsizetype>(0, devices.size() - OTHER_DEVICES_KEPT));
}

void saveOtherDevices(const QStringList &devices) {
    if (settingsFileUsable())
        openSettings().setValue(
            QLatin1String(settings_keys::OTHER_DEVICES),
            devices.mid(std::max<qsizetype>(0, devices.size() - OTHER_DEVICES_KEPT)));
}

} // namespace window

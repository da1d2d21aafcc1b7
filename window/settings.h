// The program's settings, read and written in one place. They live in an INI
// file in the user's configuration folder; every value read is checked, so a
// missing or damaged file gives the defaults and never stops the program.
#pragma once

#include <QByteArray>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <optional>

namespace window {

// A window's last position set by the user, if any, under its key in
// settings_keys.h.
std::optional<QPoint> savedWindowPosition(const char *key);
void saveWindowPosition(const char *key, const QPoint &topLeft);
// The CCD settings window's.
std::optional<QPoint> savedCcdWindowPosition();
void saveCcdWindowPosition(const QPoint &topLeft);

// The main window's size, position and maximised state as
// QWidget::saveGeometry gives them; empty when none is kept.
QByteArray savedMainWindowGeometry();
void saveMainWindowGeometry(const QByteArray &geometry);

// The folder of the last picked parameter file; empty when none is kept or
// it is no longer a folder.
QString savedFileFolder();
void saveFileFolder(const QString &folder);

// Whether View > "Trend and video side by side" was checked last.
bool savedSideBySide();
void saveSideBySide(bool on);

// What Export graph... offered last: the graph (0 edge graph, 1 trend
// chart, 2 video graph; -1 none kept) and whether pictures carry a caption.
struct ExportSettings {
    int graph = -1;
    bool caption = false;
};
ExportSettings savedExportSettings();
void saveExportSettings(const ExportSettings &settings);

// What File > Publish to broker... asked for last. The password is never
// kept.
struct BrokerSettings {
    QString url, name, user, caFile;
    bool video = false;
};
BrokerSettings savedBrokerSettings();
void saveBrokerSettings(const BrokerSettings &settings);

// View > Theme: "system", "light" or "dark"; empty when none is kept.
QString savedTheme();
void saveTheme(const QString &name);

// The devices picked with "Other device..." in the COM selector, oldest
// first, at most the last OTHER_DEVICES_KEPT.
constexpr int OTHER_DEVICES_KEPT = 8;
QStringList savedOtherDevices();
void saveOtherDevices(const QStringList &devices);

} // namespace window

// Settings of a test in a folder of its own, gone with the test: QSettings
// then never touches the user's real configuration.
#pragma once

#include <QSettings>
#include <QString>
#include <QTemporaryDir>

namespace window_test {

class TempSettings {
  public:
    TempSettings() { QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path()); }
    // The program's settings file inside the folder.
    QString file() const {
        return QSettings(QSettings::IniFormat, QSettings::UserScope,
                         QStringLiteral("vexa-tb-scope"), QStringLiteral("vexa-tb-scope"))
            .fileName();
    }

  private:
    QTemporaryDir dir_;
};

} // namespace window_test

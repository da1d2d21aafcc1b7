// File > Publish to broker...: the broker's address, the sensor's name, the
// user and password, the CA file for mqtts:// and whether video passes go
// too. OK is taken only when the address, the name and the CA file pass the
// broker's checks; the fault stays shown in the dialog until it is mended.
#pragma once

#include <QDialog>
#include <QString>

#include <optional>

#include "broker/target.h"
#include "window/settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace publishing {

class PublishDialog : public QDialog {
    Q_OBJECT

  public:
    // `defaultName` is the name used when the name field stays empty.
    PublishDialog(QWidget *parent, const window::BrokerSettings &saved, const QString &defaultName);

    // The fields as the settings keep them (no password).
    window::BrokerSettings settings() const;
    // The target the fields make, or std::nullopt with why in `problem`.
    std::optional<broker::Target> target(QString *problem) const;

    void accept() override;

  private:
    QLineEdit *url_, *name_, *user_, *password_, *caFile_;
    QCheckBox *video_;
    QLabel *problem_;
    QString defaultName_;
};

} // namespace publishing

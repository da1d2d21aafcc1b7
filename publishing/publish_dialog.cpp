#include "publishing/publish_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace publishing {

namespace {

QLineEdit *field(QWidget *parent, const char *objectName, const QString &text,
                 const QString &placeholder = {}) {
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(objectName));
    edit->setPlaceholderText(placeholder);
    edit->setMinimumWidth(320);
    return edit;
}

} // namespace

PublishDialog::PublishDialog(QWidget *parent, const window::BrokerSettings &saved,
                             const QString &defaultName)
    : QDialog(parent), defaultName_(defaultName) {
    setObjectName(QStringLiteral("publishDialog"));
    setWindowTitle(tr("Publish to broker"));
    url_ = field(this, "brokerUrl", saved.url, QStringLiteral("mqtt://broker.example:1883"));
    name_ = field(this, "brokerName", saved.name, defaultName);
    user_ = field(this, "brokerUser", saved.user, tr("none"));
    password_ = field(this, "brokerPassword", {});
    password_->setEchoMode(QLineEdit::Password);
    password_->setToolTip(tr("Used for this session only; never written to the settings file"));
    caFile_ = field(this, "brokerCaFile", saved.caFile, tr("the system's certificates"));
    video_ = new QCheckBox(tr("Also the video signal of each Data-loop pass"), this);
    video_->setObjectName(QStringLiteral("brokerVideo"));
    video_->setChecked(saved.video);
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("brokerProblem"));
    problem_->setStyleSheet(QStringLiteral("color: #c62828"));
    problem_->setWordWrap(true);

    auto *form = new QFormLayout;
    form->addRow(tr("Broker (mqtt:// or mqtts://):"), url_);
    form->addRow(tr("Sensor's name:"), name_);
    form->addRow(tr("User:"), user_);
    form->addRow(tr("Password:"), password_);
    form->addRow(tr("CA file (mqtts://):"), caFile_);
    form->addRow(video_);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PublishDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PublishDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
}

window::BrokerSettings PublishDialog::settings() const {
    return {url_->text().trimmed(), name_->text().trimmed(), user_->text().trimmed(),
            caFile_->text().trimmed(), video_->isChecked()};
}

std::optional<broker::Target> PublishDialog::target(QString *problem) const {
    const window::BrokerSettings fields = settings();
    broker::Target target;
    std::string why;
    if (!broker::parseUrl(fields.url.toStdString(), target.url, why)) {
        *problem = tr("Broker: %1").arg(QString::fromStdString(why));
        return std::nullopt;
    }
    target.name = (fields.name.isEmpty() ? defaultName_ : fields.name).toStdString();
    if (const std::string bad = broker::checkName(target.name); !bad.empty()) {
        *problem = tr("Sensor's name: %1").arg(QString::fromStdString(bad));
        return std::nullopt;
    }
    if (!fields.caFile.isEmpty() && !QFileInfo(fields.caFile).isFile()) {
        *problem = tr("CA file: %1 is not a file").arg(fields.caFile);
        return std::nullopt;
    }
    target.user = fields.user.toStdString();
    target.password = password_->text().toStdString();
    target.caFile = fields.caFile.toStdString();
    target.video = fields.video;
    if (const std::string bad = broker::checkTarget(target); !bad.empty()) {
        *problem = tr("Broker: %1").arg(QString::fromStdString(bad));
        return std::nullopt;
    }
    return target;
}

void PublishDialog::accept() {
    QString problem;
    if (!target(&problem)) {
        problem_->setText(problem);
        return;
    }
    QDialog::accept();
}

} // namespace publishing

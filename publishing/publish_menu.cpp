#include "publishing/publish_menu.h"

#include <QAction>
#include <QLabel>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QWidget>

#include <cstdio>

#include "menus/menu_bar.h"
#include "menus/message_box.h"
#include "publishing/publish_dialog.h"
#include "publishing/window_publisher.h"
#include "runtime/widget_access.h"
#include "window/settings.h"

namespace publishing {

namespace {

// The broker's state changes seldom; its count of dropped frames is read
// this often while publishing, never per frame.
constexpr int REFRESH_MS = 500;

QString defaultNameNow() {
    return QString::fromStdString(broker::defaultName(programPortDevice().toStdString()));
}

} // namespace

PublishMenu::PublishMenu(QWidget *mainWindow) : QObject(mainWindow), mainWindow_(mainWindow) {
    if (auto *bar = mainWindow->findChild<QStatusBar *>(QStringLiteral("statusBar"))) {
        state_ = new QLabel(bar);
        state_->setObjectName(QStringLiteral("statusBroker"));
        state_->hide();
        bar->addPermanentWidget(state_);
    }
    connect(&refresh_, &QTimer::timeout, this, &PublishMenu::showState);

    action_ = window::addFileToggle(
        mainWindow, tr("&Publish to broker..."), "actionPublishToBroker",
        tr("Publish every frame, the sensor's state and the line's events to an MQTT broker"),
        [this] { askForTarget(); }, [this] { stopPublishing(); });
}

PublishMenu::~PublishMenu() = default;

bool PublishMenu::startPublishing(broker::Target target) {
    stopPublishing();
    target.program = "vexa-tb-scope " VEXA_VERSION;
    target.port = programPortDevice().toStdString();
    auto publisher = std::make_unique<WindowPublisher>(std::move(target), nullptr);
    if (const QString problem = publisher->start(); !problem.isEmpty()) {
        showProblem(tr("Cannot publish: %1").arg(problem));
        showState();
        return false;
    }
    connect(publisher.get(), &WindowPublisher::connectionChanged, this, &PublishMenu::showState);
    connect(publisher.get(), &WindowPublisher::refused, this, [this](const QString &reason) {
        stopPublishing();
        showProblem(tr("The broker refused the credentials: %1").arg(reason));
    });
    publisher_ = std::move(publisher);
    refresh_.start(REFRESH_MS);
    showState();
    return true;
}

void PublishMenu::stopPublishing() {
    refresh_.stop();
    publisher_.reset(); // publishes "offline"
    showState();
}

QString PublishMenu::stateText() const {
    return state_ ? state_->text() : QString();
}

void PublishMenu::askForTarget() {
    auto *dialog = new PublishDialog(mainWindow_, window::savedBrokerSettings(), defaultNameNow());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        window::saveBrokerSettings(dialog->settings());
        QString problem;
        if (std::optional<broker::Target> target = dialog->target(&problem))
            startPublishing(std::move(*target));
    });
    connect(dialog, &QDialog::rejected, this, &PublishMenu::showState);
    // Non-modal: a running loop goes on while it is open.
    dialog->open();
}

void PublishMenu::showState() {
    if (action_) {
        const QSignalBlocker quiet(action_);
        action_->setChecked(publishing());
    }
    if (!state_)
        return;
    const QString text = publisher_ ? publisher_->stateText() : QString();
    if (state_->text() != text)
        state_->setText(text);
    // Why it is not connected, or was not the last time.
    const QString problem = publisher_ ? publisher_->lastProblem() : QString();
    const QString tip = problem.isEmpty() ? QString() : tr("Last problem: %1").arg(problem);
    if (state_->toolTip() != tip)
        state_->setToolTip(tip);
    state_->setVisible(!text.isEmpty());
}

void PublishMenu::showProblem(const QString &message) {
    std::fprintf(stderr, "vexa-tb-scope: %s\n", qPrintable(message));
    window::showMessage(mainWindow_, QMessageBox::Warning, tr("Publish to broker"), message,
                        QMessageBox::Close, QStringLiteral("publishMessage"));
}

} // namespace publishing

void AttachPublishing(int panel) {
    if (QWidget *mainWindow = rt::panelWidget(panel))
        new publishing::PublishMenu(mainWindow);
}

// File > "Publish to broker..." (checkable, like Record frames): checked, it
// asks for the broker in a non-modal dialog and publishes from then on;
// unchecked, it publishes "offline" and ends. While it publishes, the status
// bar shows the broker's state.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

#include "broker/target.h"

class QAction;
class QLabel;
class QWidget;

namespace publishing {

class WindowPublisher;

class PublishMenu : public QObject {
    Q_OBJECT

  public:
    explicit PublishMenu(QWidget *mainWindow);
    ~PublishMenu() override;

    // Publishes to `target` at once, as the dialog does once it is accepted;
    // false (and a message box) when the client cannot be made.
    bool startPublishing(broker::Target target);
    void stopPublishing();
    bool publishing() const { return publisher_ != nullptr; }
    QAction *action() const { return action_; }
    QString stateText() const; // as the status bar shows it

  private:
    void askForTarget();
    void showState();
    void showProblem(const QString &message);

    QWidget *mainWindow_;
    QAction *action_ = nullptr;
    QPointer<QLabel> state_;
    QTimer refresh_;
    std::unique_ptr<WindowPublisher> publisher_;
};

} // namespace publishing

// For WinMain: the "Publish to broker..." item on the main panel's window.
void AttachPublishing(int panel);

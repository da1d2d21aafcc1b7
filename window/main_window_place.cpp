#include "window/main_window_place.h"

#include <QEvent>
#include <QWidget>

#include "runtime/widget_access.h"
#include "window/settings.h"

namespace window {

namespace {

class MainWindowPlace : public QObject {
  public:
    explicit MainWindowPlace(QWidget *mainWindow) : QObject(mainWindow), main_(mainWindow) {
        mainWindow->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Close && main_->isVisible())
            saveMainWindowGeometry(main_->saveGeometry());
        return false;
    }

  private:
    QWidget *main_;
};

} // namespace

void keepMainWindowPlace(QWidget *mainWindow) {
    if (!mainWindow)
        return;
    const QByteArray saved = savedMainWindowGeometry();
    if (!saved.isEmpty())
        mainWindow->restoreGeometry(saved);
    new MainWindowPlace(mainWindow);
}

} // namespace window

void AttachMainWindowPlace(int panel) {
    window::keepMainWindowPlace(rt::panelWidget(panel));
}

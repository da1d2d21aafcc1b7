// Against a sensor that answers at once the live loop writes the indicators
// two thousand times a second, and Qt paints the window after every pass of
// event processing. Update requests that come sooner than a screen refresh
// after the last paint are held back and delivered together when it is due:
// the window still shows every value the screen can show.
#include "runtime/paint_pace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace rt {
namespace {

class PaintPace : public QObject {
  public:
    explicit PaintPace(QWidget *window) : QObject(window), window_(window) {
        held_.setSingleShot(true);
        connect(&held_, &QTimer::timeout, this, [this] {
            QCoreApplication::postEvent(window_, new QEvent(QEvent::UpdateRequest),
                                        Qt::LowEventPriority);
        });
        window->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched != window_ || event->type() != QEvent::UpdateRequest)
            return false;
        if (!painted_.isValid() || painted_.elapsed() >= SCREEN_INTERVAL_MS) {
            painted_.start();
            return false;
        }
        if (!held_.isActive())
            held_.start(int(SCREEN_INTERVAL_MS - painted_.elapsed()));
        return true;
    }

  private:
    QWidget *window_;
    QElapsedTimer painted_;
    QTimer held_;
};

} // namespace

void pacePainting(QWidget *window) {
    new PaintPace(window);
}

} // namespace rt

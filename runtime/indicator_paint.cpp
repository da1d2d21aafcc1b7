#include "runtime/indicator_paint.h"

#include <QAbstractSpinBox>
#include <QEvent>
#include <QPixmap>
#include <QWidget>

namespace rt {
namespace {

class OwnBackground : public QObject {
  public:
    explicit OwnBackground(QAbstractSpinBox *spin) : QObject(spin), spin_(spin) {
        spin->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject * /*watched*/, QEvent *event) override {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Resize:
        case QEvent::Move:
        case QEvent::StyleChange:
        case QEvent::PaletteChange:
        case QEvent::ActivationChange:
        case QEvent::EnabledChange:
            takeBackgroundSoon();
            break;
        default:
            break;
        }
        return false;
    }

  private:
    // Taken from event processing, once the change that asked for it is
    // complete: a picture taken inside a show or move would be of a
    // half-done window.
    void takeBackgroundSoon() {
        if (taking_ || pending_)
            return;
        pending_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                pending_ = false;
                if (spin_->isVisible())
                    takeBackground();
            },
            Qt::QueuedConnection);
    }

    // The brush goes under a role the spin box does not draw with, so that
    // its frame keeps the colours of the window role.
    void takeBackground() {
        QWidget *parent = spin_->parentWidget();
        if (!parent)
            return;
        taking_ = true;
        const qreal ratio = spin_->devicePixelRatioF();
        QPixmap behind(spin_->size() * ratio);
        behind.setDevicePixelRatio(ratio);
        parent->render(&behind, QPoint(), QRegion(spin_->geometry()),
                       QWidget::DrawWindowBackground);
        QPalette palette = spin_->palette();
        palette.setBrush(QPalette::AlternateBase, QBrush(behind));
        spin_->setPalette(palette);
        spin_->setBackgroundRole(QPalette::AlternateBase);
        spin_->setAutoFillBackground(true);
        taking_ = false;
    }

    QAbstractSpinBox *spin_;
    bool taking_ = false;
    bool pending_ = false;
};

} // namespace

void paintIndicatorsAlone(QWidget *panel) {
    for (auto *spin : panel->findChildren<QAbstractSpinBox *>()) {
        if (!spin->isReadOnly())
            continue;
        new OwnBackground(spin);
        QFont digits = spin->font(); // only the strategy is set: the rest follows the parent
        digits.setStyleStrategy(QFont::PreferNoShaping);
        spin->setFont(digits);
    }
}

} // namespace rt

#include "glance/range_marks.h"

#include <QLineEdit>
#include <QPalette>
#include <QSpinBox>

#include "glance/tool_tip_key.h"
#include "runtime/widget_access.h"

namespace {

const QColor OUT_OF_RANGE_BASE(0xff, 0xd6, 0xd6);
const QColor OUT_OF_RANGE_TEXT(0xb0, 0x00, 0x00);

// Follows the numeric's editor as the user types, and the run-time's event
// when the program writes a value (its writes block the numeric's signals).
class RangeMark : public QObject {
  public:
    RangeMark(QSpinBox *spin, int lower, int upper)
        : QObject(spin), spin_(spin), lower_(lower), upper_(upper), normal_(spin->palette()) {
        if (QLineEdit *edit = spin->findChild<QLineEdit *>())
            connect(edit, &QLineEdit::textChanged, this, &RangeMark::check);
        spin->installEventFilter(this);
        new window::ToolTipKey(spin, [this] { return outside_ ? note() : QString(); });
        check();
    }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == rt::programValueEvent())
            check();
        return QObject::eventFilter(watched, event);
    }

  private:
    void check() {
        bool ok = false;
        const int value = spin_->locale().toInt(spin_->cleanText(), &ok);
        const bool outside = ok && (value < lower_ || value > upper_);
        if (outside == outside_)
            return;
        outside_ = outside;
        spin_->setProperty("outOfRange", outside);
        QPalette look = normal_;
        if (outside) {
            look.setColor(QPalette::Base, OUT_OF_RANGE_BASE);
            look.setColor(QPalette::Text, OUT_OF_RANGE_TEXT);
        }
        spin_->setPalette(look);
    }

    QString note() const {
        return QObject::tr("Outside %1 to %2, the range the sensor accepts. Send sends the "
                           "value as it stands.")
            .arg(lower_)
            .arg(upper_);
    }

    QSpinBox *spin_;
    int lower_, upper_;
    QPalette normal_;
    bool outside_ = false;
};

} // namespace

void MarkOutOfRange(int panel, int control, unsigned short lower, unsigned short upper) {
    if (auto *spin = qobject_cast<QSpinBox *>(rt::controlWidget(panel, control)))
        new RangeMark(spin, lower, upper);
}

// The COM selector's entries say what stands behind each number. They are
// looked at again whenever the user reaches for the selector (a click or a
// key), so an adapter plugged in after start is listed and picked at once.
#pragma once

#include <QObject>
#include <QPointer>

class QComboBox;

namespace ports {

class PortSelector : public QObject {
  public:
    explicit PortSelector(QComboBox *selector); // owned by the selector

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void showLabels();

    QPointer<QComboBox> selector_;
};

} // namespace ports

// The COM selector's entries say what stands behind each number. They are
// looked at again whenever the user reaches for the selector (a click or a
// key), so an adapter plugged in after start is listed and picked at once.
// After the numbered ports come the devices picked before with "Other
// device...", "Simulated sensor" (the installed vexa-sim, started as a child
// on the pick and ended when another port opens) and "Other device..." (asks
// for a device path, connects to it and keeps it in the list).
#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include "ports/simulated_sensor.h"
#include "stream/stream.h"

class QAbstractItemView;
class QComboBox;
class QLabel;

namespace ports {

class PortSelector : public QObject {
  public:
    explicit PortSelector(QComboBox *selector); // owned by the selector

    // Connects to `device` as a pick of its entry would, adding the entry
    // (and keeping it in the settings) when the list has none.
    void connectToDevice(const QString &device);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void showLabels();
    void addDeviceEntry(const QString &device);
    void writeValues();
    void picked(int row);
    void askForDevice();
    void pickRow(int row);
    void portOpened(int port);
    void simulatedEnded(const QString &why);
    void showSimulatedMark(bool shown);
    int valueAt(int row) const;
    int otherRow() const { return values_.size() - 1; }

    QPointer<QComboBox> selector_;
    QPointer<QAbstractItemView> list_; // the selector's open list
    QList<int> values_;                // each entry's port number, as "itemValues" holds them
    int panelEntries_ = 0;
    QStringList otherDevices_;
    SimulatedSensor simulated_;
    int lastRow_ = 0;
    int rowBeforeSimulated_ = 0;
    QPointer<QLabel> simulatedMark_;
    stream::Subscription portEvents_;
};

} // namespace ports

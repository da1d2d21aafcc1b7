// The machine's current port map: the devices assigned to numbers in the
// run-time plus the serial ports Qt finds, looked at again on refresh().
#pragma once

#include <QObject>

#include <functional>

#include "ports/port_map.h"

namespace ports {

class PortCatalog : public QObject {
    Q_OBJECT

  public:
    using Source = std::function<QList<FoundPort>()>;

    static PortCatalog &instance();

    // Where found ports come from: QSerialPortInfo unless a test hands in
    // its own list; an empty source restores QSerialPortInfo.
    void setSource(Source source);
    void refresh();
    // The map of the last refresh (made on first use).
    const PortMap &map();

  signals:
    void refreshed();

  private:
    PortCatalog() = default;

    Source source_;
    PortMap map_;
    bool fresh_ = false;
};

// The serial ports QSerialPortInfo finds.
QList<FoundPort> systemPorts();

} // namespace ports

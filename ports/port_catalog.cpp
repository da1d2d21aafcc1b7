#include "ports/port_catalog.h"

#include <QSerialPortInfo>

#include "runtime/runtime.h"

namespace ports {

PortCatalog &PortCatalog::instance() {
    static PortCatalog catalog;
    return catalog;
}

void PortCatalog::setSource(Source source) {
    source_ = std::move(source);
    fresh_ = false;
}

void PortCatalog::refresh() {
    QMap<int, QString> assigned;
    for (int number = 1; number <= PortMap::SELECTOR_PORTS; ++number) {
        char device[260];
        if (GetComDevice(number, device))
            assigned.insert(number, QString::fromLocal8Bit(device));
    }
#ifdef Q_OS_WIN
    constexpr Platform platform = Platform::Windows;
#else
    constexpr Platform platform = Platform::Posix;
#endif
    map_ = PortMap(assigned, source_ ? source_() : systemPorts(), platform);
    fresh_ = true;
    emit refreshed();
}

const PortMap &PortCatalog::map() {
    if (!fresh_)
        refresh();
    return map_;
}

QList<FoundPort> systemPorts() {
    QList<FoundPort> found;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        found.append({info.systemLocation(), info.portName(), info.description()});
    return found;
}

} // namespace ports

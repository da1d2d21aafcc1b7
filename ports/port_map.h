// Which device stands behind each COM number of the selector, and what the
// selector's entry says about it.
#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include "ports/ports.h"

namespace ports {

// A serial port of the machine, as Qt finds it.
struct FoundPort {
    QString systemLocation; // /dev/ttyUSB0
    QString portName;       // ttyUSB0
    QString description;    // FT232R USB UART
};

enum class Platform { Posix, Windows };

// Numbers 1..count are given out in this order: the devices assigned on the
// command line; then, on the numbers from 1 that those left free, the ports
// found, ordered by system location; the rest keep the platform default. On
// Windows COM n stays COM n, and a found port only names its entry.
class PortMap {
  public:
    static constexpr int SELECTOR_PORTS = ::SELECTOR_PORTS;

    PortMap() = default;
    PortMap(const QMap<int, QString> &assigned, QList<FoundPort> found, Platform platform,
            int count = SELECTOR_PORTS);

    // The device of a number, or empty when the platform default applies.
    QString device(int number) const;
    // "COM1 - ttyUSB0 (FT232R USB UART)", "COM2 - /dev/pts/3", "COM5".
    QString label(int number) const;
    // Whether the machine has any serial port (given on the command line or not).
    bool foundAny() const { return foundAny_; }

  private:
    struct Entry {
        QString device;
        QString shown; // what the entry says after "COMn - "
    };
    QMap<int, Entry> entries_;
    bool foundAny_ = false;
};

} // namespace ports

// The order matters to the user: a number typed on the command line must
// never move, and found adapters must keep their numbers from one look to the
// next while nothing is plugged, so they are sorted by a name that does not
// depend on the order in which the system reports them.
#include "ports/port_map.h"

#include <QFileInfo>

#include <algorithm>

namespace ports {

namespace {

QString foundText(const FoundPort &port) {
    return port.description.isEmpty()
               ? port.portName
               : QStringLiteral("%1 (%2)").arg(port.portName, port.description);
}

// A device given on the command line may be a link to a found port
// (/dev/serial/by-id/...): the port then is not offered a second time.
bool isSameDevice(const FoundPort &port, const QString &device) {
    if (device == port.systemLocation || device == port.portName)
        return true;
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(port.systemLocation).canonicalFilePath();
}

} // namespace

PortMap::PortMap(const QMap<int, QString> &assigned, QList<FoundPort> found, Platform platform,
                 int count)
    : foundAny_(!found.isEmpty()) {
    for (auto it = assigned.cbegin(); it != assigned.cend(); ++it)
        entries_.insert(it.key(), {it.value(), it.value()});

    if (platform == Platform::Windows) {
        for (const FoundPort &port : found) {
            bool ok = false;
            const int number = port.portName.mid(3).toInt(&ok);
            if (port.portName.startsWith(QLatin1String("COM")) && ok && !entries_.contains(number))
                entries_.insert(number, {QString(), port.description});
        }
        return;
    }

    found.erase(std::remove_if(found.begin(), found.end(),
                               [&](const FoundPort &port) {
                                   return std::any_of(
                                       assigned.cbegin(), assigned.cend(),
                                       [&](const QString &d) { return isSameDevice(port, d); });
                               }),
                found.end());
    std::stable_sort(found.begin(), found.end(), [](const FoundPort &a, const FoundPort &b) {
        return a.systemLocation < b.systemLocation;
    });
    auto next = found.cbegin();
    for (int number = 1; number <= count && next != found.cend(); ++number)
        if (!entries_.contains(number)) {
            entries_.insert(number, {next->systemLocation, foundText(*next)});
            ++next;
        }
}

QString PortMap::device(int number) const {
    return entries_.value(number).device;
}

QString PortMap::label(int number) const {
    const QString shown = entries_.value(number).shown;
    const QString com = QStringLiteral("COM%1").arg(number);
    return shown.isEmpty() ? com : QStringLiteral("%1 - %2").arg(com, shown);
}

} // namespace ports

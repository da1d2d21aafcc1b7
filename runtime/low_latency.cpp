// The driver call goes through a test hook when one is set, so that tests see
// the request and can refuse it; sysfs is read below a root that tests give.
#include "runtime/low_latency.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

#ifdef __linux__
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

#include "runtime/test_hooks.h"

namespace {

// Above this the adapter adds more than a few bytes' time to every reply.
constexpr int kHighestQuickLatencyMs = 2;

SerialDriverHook &driverHook() {
    static SerialDriverHook hook;
    return hook;
}

#ifdef __linux__
int driverCall(int fd, unsigned long request, serial_struct *serial) {
    return driverHook() ? driverHook()(fd, request, serial) : ::ioctl(fd, request, serial);
}
#endif

// The number in a sysfs attribute, or -1.
int readNumber(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const int value = file.read(32).trimmed().toInt(&ok);
    return ok && value >= 0 ? value : -1;
}

} // namespace

void SetSerialDriverHook(SerialDriverHook hook) {
    driverHook() = std::move(hook);
}

namespace rt {

void requestLowLatency(int fd) {
#ifdef __linux__
    const int savedErrno = errno;
    serial_struct serial{};
    if (driverCall(fd, TIOCGSERIAL, &serial) == 0 && !(serial.flags & ASYNC_LOW_LATENCY)) {
        serial.flags |= ASYNC_LOW_LATENCY;
        driverCall(fd, TIOCSSERIAL, &serial); // refused: the port stays as it was
    }
    errno = savedErrno;
#else
    (void)fd;
#endif
}

QString sysfsRoot() {
    const QString root = qEnvironmentVariable("VEXA_SYSFS_ROOT");
    return root.isEmpty() ? QStringLiteral("/sys") : root;
}

int adapterLatencyMs(const QString &device, const QString &root) {
    const QString canonical = QFileInfo(device).canonicalFilePath();
    const QString name = QFileInfo(canonical.isEmpty() ? device : canonical).fileName();
    if (name.isEmpty())
        return -1;
    for (const QString &attribute : {QStringLiteral("%1/class/tty/%2/device/latency_timer"),
                                     QStringLiteral("%1/bus/usb-serial/devices/%2/latency_timer")})
        if (const int ms = readNumber(attribute.arg(root, name)); ms >= 0)
            return ms;
    return -1;
}

QString adapterLatencyNote(const QString &device, const QString &root) {
    const int ms = adapterLatencyMs(device, root);
    return ms > kHighestQuickLatencyMs
               ? QStringLiteral("adapter latency: %1 ms \u2014 see README").arg(ms)
               : QString();
}

} // namespace rt

// USB serial adapters hold the bytes they receive until their packet fills
// or a latency timer runs out: 16 ms by default on FTDI chips, longer than
// the sensor's 36-byte reply takes on the line, which never fills a packet.
// On opening a port the run-time asks the driver for low latency (FTDI and
// other usb-serial drivers then set their timer to 1 ms); and it reads the
// adapter's timer where the system shows it, so that an adapter that stays
// slow is named where the user looks.
#pragma once

#include <QString>

namespace rt {

// Asks the driver of the open port `fd` for low latency (ASYNC_LOW_LATENCY).
// A driver that refuses (a pseudo-terminal, a plain UART) leaves the port as
// it was, and nothing is said: the port works as before.
void requestLowLatency(int fd);

// Where the system shows its devices: /sys. Tests give a tree of their own
// in the environment variable VEXA_SYSFS_ROOT, read for nothing else.
QString sysfsRoot();

// The latency timer, in ms, of the USB adapter behind `device`
// (/dev/ttyUSB0, or a link to it) as sysfs under `root` shows it
// (class/tty/<name>/device/latency_timer or the usb-serial device's
// attribute); -1 where it shows none.
int adapterLatencyMs(const QString &device, const QString &root = sysfsRoot());

// "adapter latency: 16 ms — see README" for an adapter whose timer stays
// above 2 ms; empty for any other device.
QString adapterLatencyNote(const QString &device, const QString &root = sysfsRoot());

} // namespace rt

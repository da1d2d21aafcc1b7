#include "link/port_events.h"

namespace {

PortOpenedHook g_portOpened = nullptr;

} // namespace

void SetPortOpenedHook(PortOpenedHook hook) {
    g_portOpened = hook;
}

void PortOpened(int port, int result) {
    if (g_portOpened)
        g_portOpened(port, result);
}

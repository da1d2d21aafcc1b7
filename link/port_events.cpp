#include "link/port_events.h"

namespace {

constexpr int MAX_PORT_OPENED_HOOKS = 4;
PortOpenedHook g_portOpened[MAX_PORT_OPENED_HOOKS] = {};
ExchangeEndedHook g_exchangeEnded = nullptr;

} // namespace

void AddPortOpenedHook(PortOpenedHook hook) {
    for (PortOpenedHook known : g_portOpened)
        if (known == hook)
            return;
    for (PortOpenedHook &slot : g_portOpened)
        if (!slot) {
            slot = hook;
            return;
        }
}

void RemovePortOpenedHook(PortOpenedHook hook) {
    for (PortOpenedHook &slot : g_portOpened)
        if (slot == hook)
            slot = nullptr;
}

void PortOpened(int port, int result) {
    for (PortOpenedHook hook : g_portOpened)
        if (hook)
            hook(port, result);
}

void SetExchangeEndedHook(ExchangeEndedHook hook) {
    g_exchangeEnded = hook;
}

void ExchangeEnded(int port, int replied) {
    if (g_exchangeEnded)
        g_exchangeEnded(port, replied);
}

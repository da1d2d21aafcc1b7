#include "link/port_events.h"

namespace {

constexpr int MAX_HOOKS = 4;
PortOpenedHook g_portOpened[MAX_HOOKS] = {};
PortLostHook g_portLost[MAX_HOOKS] = {};
ExchangeEndedHook g_exchangeEnded = nullptr;

template <typename Hook> void AddHook(Hook (&hooks)[MAX_HOOKS], Hook hook) {
    for (Hook known : hooks)
        if (known == hook)
            return;
    for (Hook &slot : hooks)
        if (!slot) {
            slot = hook;
            return;
        }
}

template <typename Hook> void RemoveHook(Hook (&hooks)[MAX_HOOKS], Hook hook) {
    for (Hook &slot : hooks)
        if (slot == hook)
            slot = nullptr;
}

} // namespace

void AddPortOpenedHook(PortOpenedHook hook) {
    AddHook(g_portOpened, hook);
}

void RemovePortOpenedHook(PortOpenedHook hook) {
    RemoveHook(g_portOpened, hook);
}

void AddPortLostHook(PortLostHook hook) {
    AddHook(g_portLost, hook);
}

void RemovePortLostHook(PortLostHook hook) {
    RemoveHook(g_portLost, hook);
}

void PortLost(int port) {
    for (PortLostHook hook : g_portLost)
        if (hook)
            hook(port);
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

// Additions beside the panels (the port selector's texts, why a port did not
// open, the window's title) learn of each open of the sensor's port and of
// each exchange's end here; the link knows nothing of them.
#pragma once

// Up to four listeners (the port selector, the window's title), each once.
using PortOpenedHook = void (*)(int port, int result);
void AddPortOpenedHook(PortOpenedHook hook);
void RemovePortOpenedHook(PortOpenedHook hook);

// Called by the connect sequence with OpenComConfig's result.
void PortOpened(int port, int result);

// A port that closed by itself because its device went away. Up to four
// listeners, each once.
using PortLostHook = void (*)(int port);
void AddPortLostHook(PortLostHook hook);
void RemovePortLostHook(PortLostHook hook);

// Given to the run-time by the connect sequence.
void PortLost(int port);

// replied is 1 when the sensor's reply came, 0 when its wait timed out.
using ExchangeEndedHook = void (*)(int port, int replied);
void SetExchangeEndedHook(ExchangeEndedHook hook); // nullptr: nobody listens

// Called where a reply is taken in and where a wait for one times out.
void ExchangeEnded(int port, int replied);

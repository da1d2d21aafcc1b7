// Additions beside the panels (the port selector's texts, why a port did not
// open) learn of each open of the sensor's port here; the link knows nothing
// of them.
#pragma once

using PortOpenedHook = void (*)(int port, int result);
void SetPortOpenedHook(PortOpenedHook hook); // nullptr: nobody listens

// Called by the connect sequence with OpenComConfig's result.
void PortOpened(int port, int result);

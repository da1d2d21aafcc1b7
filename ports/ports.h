// What the program calls: the COM selector shows and reaches the serial
// ports of the machine, and a port that does not open says why.
#pragma once

// The COM selector's entries: COM1 to COM16.
constexpr int SELECTOR_PORTS = 16;

// Gives port numbers without an assigned device the ports found (in the
// selector's order), keeps the selector's entries current, and shows why an
// open failed in the status line's tooltip and on stderr.
void AttachPortSelector(int panel, int selector, int statusLine);

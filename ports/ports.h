// What the program calls: the COM selector shows and reaches the serial
// ports of the machine, and a port that does not open says why.
#pragma once

// The COM selector's entries: COM1 to COM16.
constexpr int SELECTOR_PORTS = 16;
// The port numbers of the entries after them: the simulated sensor, then the
// devices picked with "Other device...".
constexpr int SIMULATED_PORT = SELECTOR_PORTS + 1;
constexpr int FIRST_OTHER_PORT = SELECTOR_PORTS + 2;

// Shown as a note in the status bar when the start port did not open and the
// machine has no serial port.
constexpr char NO_SENSOR_HINT[] =
    "No sensor found \u2014 pick a port, or Simulated sensor to try the program";

// Gives port numbers without an assigned device the ports found (in the
// selector's order), keeps the selector's entries current, and shows why an
// open failed in the status line's tooltip and on stderr.
void AttachPortSelector(int panel, int selector, int statusLine);

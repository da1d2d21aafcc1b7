// One exchange with the sensor at a time. An exchange that the user starts
// (connect sequence, Get, Teach, Reset, the Run and Data loops) marks itself
// busy while it waits for the sensor; the callbacks that would start another
// reply-awaiting exchange ask RefuseIfBusy first. The transactions inside an
// exchange do not ask.
#pragma once

// What a refused start shows in the status line.
constexpr const char *BUSY_NOTE = "Busy - press Stop or wait!";

int SensorBusy(void); // 1 while an exchange runs
void BeginExchange(void);
void EndExchange(void);
// When an exchange runs: shows "Busy - press Stop or wait!" in the status
// line and returns 1; otherwise returns 0. The note goes when the last
// exchange ends (the status line shows again what it covered).
int RefuseIfBusy(void);
// Starts a user-started exchange: 1 when it may run (the caller ends it with
// EndExchange), 0 when another one runs (the busy text is shown).
int StartExchange(void);

// The connect sequence is an exchange like the others, and more: until it
// has read the sensor's set, the panels hold the panel file's start values,
// and a Send would write those into the sensor. So Send, which a loop lets
// through, is refused while it runs.
void BeginConnectSequence(void);
void EndConnectSequence(void);
// While the connect sequence runs: shows the busy note and returns 1.
int RefuseIfConnecting(void);

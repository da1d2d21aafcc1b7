// Bytes written to the sensor are never discarded: a discard while a Send
// is still being sent (36 bytes take 18.75 ms) would cut its telegram, and
// the sensor would take the rest together with the next request.
#pragma once

// Waits until everything written has left the port, at most the port's
// write time-out. Does not process events.
void DrainOutQ(void);

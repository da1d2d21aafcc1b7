// Results of the sensor link go into szStatus; most transactions put theirs
// there first and show it at their end.
#pragma once

// Copy into szStatus (at most 71 characters), not shown. nullptr, the
// outcome of an exchange that has no text of its own, leaves szStatus as it is.
void PutResult(const char *text);

// Results of the sensor link go into szStatus; most transactions put theirs
// there first and show it at their end.
#pragma once

void PutResult(const char *text); // copy into szStatus (at most 71 characters), not shown

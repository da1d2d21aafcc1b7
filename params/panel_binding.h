// Moves the sixteen parameters between the panels and the parameter variables.
#pragma once

#include "shell/globals.h"

void GetPanelValues(void);
void SetPanelValues(void);

// The set Send would send now, in block order: the fifteen controls read as
// GetPanelValues reads them, and the current para15. No variable changes.
void GetPanelValuesInto(unsigned short set[PNUM]);
// What a Get does with a set it has read: pp and the parameter variables take
// it, then SetPanelValues checks and shows it. Nothing is sent.
void SetPanelValuesFrom(const unsigned short set[PNUM]);

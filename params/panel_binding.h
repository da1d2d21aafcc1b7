// Moves the sixteen parameters between the panels and the parameter variables.
#pragma once

void GetPanelValues(void);
void SetPanelValues(void);

// Send and Get: move the parameter block between the panels and the chosen
// transfer target (sensor RAM, sensor EEPROM or a parameter file).
#pragma once

// Left click only: a keyboard activation of the button does nothing.
int CC_BTNSend(int panel, int control, int event, void *callbackData, int eventData1,
               int eventData2);
// Commit only.
int CC_BTNGet(int panel, int control, int event, void *callbackData, int eventData1,
              int eventData2);

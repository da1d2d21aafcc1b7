// Send and Get: move the parameter block between the panels and the chosen
// transfer target (sensor RAM, sensor EEPROM or a parameter file).
#pragma once

// Left click only: a keyboard activation of the button does nothing.
int CC_BTNSend(int panel, int control, int event, void *callbackData, int eventData1,
               int eventData2);
// Commit only.
int CC_BTNGet(int panel, int control, int event, void *callbackData, int eventData1,
              int eventData2);

// Told after a Send wrote its whole telegram to the sensor, with the target
// (RAM or EEPROM) and the set it carried; nullptr: nobody is told.
using SentToSensorHook = void (*)(int target, const unsigned short set[]);
void SetSentToSensorHook(SentToSensorHook hook);

// The File menu's "Load parameters..." and "Save parameters...": what Get and
// Send do with the file target, whatever target is selected. While an
// exchange runs they are refused with the busy note, as the buttons that
// start one are: their modal dialog would hold a running loop.
void LoadParameterFile(void);
void SaveParameterFile(void);

// The three radio buttons that choose where Send writes and Get reads: the
// sensor's RAM, its EEPROM or a parameter file. Exactly one of them is lit
// and `target` names it; switching the lit one off falls back to RAM.
#pragma once

int CC_RBTRam(int panel, int control, int event, void *callbackData, int eventData1,
              int eventData2);
int CC_RBTEeprom(int panel, int control, int event, void *callbackData, int eventData1,
                 int eventData2);
int CC_RBTFile(int panel, int control, int event, void *callbackData, int eventData1,
               int eventData2);

// RBTRam on, target RAM, RBTEeprom and RBTFile off: the buttons always show
// the target that Send and Get use.
void ForceTargetRam(void);

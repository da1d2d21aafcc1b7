// The live measurement loop: Run polls the sensor for measurement frames as
// fast as it answers; Stop or a missing reply ends the loop.
#pragma once

// Commit (1) only. Returns 0 once the loop has ended.
int CC_BTNRun(int panel, int control, int event, void *callbackData, int eventData1,
              int eventData2);
// Left click (3) only: ends the Run or the Data loop.
int CC_BTNStop(int panel, int control, int event, void *callbackData, int eventData1,
               int eventData2);

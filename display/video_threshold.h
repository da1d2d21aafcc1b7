// The video threshold numeric on the main panel.
#pragma once

// Commit or left click: redraws the video graph against the numeric's
// threshold; vThd is not touched.
int CC_NEDITVideoThreshold(int panel, int control, int event, void *callbackData, int eventData1,
                           int eventData2);

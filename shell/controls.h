// Resource numbers and control identifiers of the panel file
// VexaTBScope14.uir. The panel file carries the same numbers in each
// control's `controlId` property.
#pragma once

// Panels (resource numbers).
constexpr int PANEL = 1;    // main panel
constexpr int CCDPANEL = 2; // CCD settings panel, a child of the main panel

// Main panel.
constexpr int DropDCom = 2;
constexpr int CTRL_Busy3 = 3;
constexpr int RING_RS232Mode = 4;
constexpr int RBTFile = 10;
constexpr int RBTEeprom = 11;
constexpr int RBTRam = 12;
constexpr int BIN_Polarity = 13;
constexpr int CTRL_Busy2 = 14;
constexpr int CTRL_Busy1 = 16;
constexpr int RING_EdgeMode = 17;
constexpr int NUM_Mvalue = 19;
constexpr int NUM_TeachValue = 20;
constexpr int NUM_AnaMin = 21;
constexpr int NUM_AnaMax = 22;
constexpr int NUM_Tolerance = 23;
constexpr int NUM_Ledge = 24;
constexpr int NUM_Redge = 25;
constexpr int NEDITVideoThreshold = 32;
constexpr int NEDITEdgeRight = 33;
constexpr int NEDITEdgeLeft = 34;
constexpr int TEXT_Status = 35;
constexpr int GRAPH_Data = 36;
constexpr int GRAPH_Raw = 37;
constexpr int NEDITPower = 39;
constexpr int STRIP_Trend = 40;

// CCD settings panel.
constexpr int TEXTBOX_CCDInfo = 2;
constexpr int NSLIDE_PixelStart = 3;
constexpr int NUM_PixelEnd = 4;
constexpr int NEDITBVal = 6;
constexpr int BIN_Sw_EnableTol = 7;
constexpr int BIN_Switch_VGain = 8;
constexpr int RING_AnaMode = 10;
constexpr int RING_CCDMode = 11;
constexpr int NEDITTolerance = 12;
constexpr int NEDITTeach = 13;

// Pieces the Run and Data loops share: the measurement frame and the busy
// controls.
#pragma once

// Data words of a measurement frame that the loops take over: the Run loop
// keeps in0 (word 12), the Data loop stops after anaMin (word 11).
constexpr int RUN_FRAME_WORDS = 13;
constexpr int DATA_FRAME_WORDS = 12;

// Copies words 0 .. words-1 of pp, unchanged, into Ledge, Redge, Mvalue,
// tVal, tTol, pix1, edcnt, mvstart, mvend, pixdelta, anaMax, anaMin, in0,
// and tells the frame observer.
void CopyPPtoFrame(int words);

// Dims (1) or undims (0) CTRL_Busy1, CTRL_Busy2 and CTRL_Busy3, in that order.
void SetBusyControls(int dimmed);

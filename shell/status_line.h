// The status line: results go through szStatus, progress notes go straight
// to TEXT_Status and leave szStatus alone.
#pragma once

void SetStatus(const char *text); // copy a result into szStatus and show it
void ShowStatus(void);            // show szStatus again
void ShowNote(const char *text);  // progress note, szStatus unchanged

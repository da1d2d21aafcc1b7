// Whether the sensor holds a set sent to its EEPROM: after the Send's write
// telegram (order 3), which the sensor does not answer, one more exchange
// reads the EEPROM back (order 4) and the status bar says "EEPROM holds the
// panel values" or names the parameters that differ. The status line keeps
// the Send's own texts.
#pragma once

// For WinMain: every Send to the EEPROM that went out whole is read back.
void AttachEepromReadBack(void);

// The read-back of a set the Send wrote to the EEPROM (sixteen words in
// block order). Runs only when no other exchange does (a loop that lets the
// Send through keeps the line: the note says the set was not read back); pp,
// order and the status line stay as they were.
void ReadBackEeprom(const unsigned short sent[]);

// Numerics whose value lies outside what the sensor accepts are marked as the
// user types (colour and tooltip). Only the look changes: Send still sends
// the value as it stands.
#pragma once

// Marks `control` on `panel` while its value is below `lower` or above
// `upper`, the range check's bounds. Controls other than numerics are left
// alone. Plain arguments, so the program can hand its table over as it walks it.
void MarkOutOfRange(int panel, int control, unsigned short lower, unsigned short upper);

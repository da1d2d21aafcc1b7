// The fixed part of each row of the compare window, taken from the program's
// parameter table: the parameter's name, the range its check keeps, and what
// replaces a value outside it when a Get shows the set.
#pragma once

#include <QString>

namespace compare {

QString parameterName(int word);
QString rangeText(int word);       // "0-1000"; "unchecked" for the selectors taken as they are
QString replacementText(int word); // "500"; for eEnd the CCD's pixel count now
// Tooltip line for a value a Get would replace; empty when it stays.
QString replacedNote(int word, unsigned short value);

} // namespace compare

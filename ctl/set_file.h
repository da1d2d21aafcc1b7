// Parameter files as `write` takes them: read as the window reads them
// (sixteen unsigned decimals between white space, a UTF-8 byte-order mark
// allowed), but refused where the window would change what the file says: a
// number that does not fit 16 bits (the window keeps its low bits), a
// seventeenth number (the window ignores it), and, unless the caller allows
// it, a value outside the range check of the window's Load (the window
// replaces it).
#pragma once

#include <QString>
#include <QStringList>

#include "ctl/sensor_line.h"

namespace ctl {

// True with `set` filled; false with why in `problem` (the line and the
// parameter where a number is at fault, or the reason the file did not open).
bool readSetFile(const QString &path, ParameterSet *set, QString *problem);

// One text for each value the window's range check would replace: its
// parameter, its value and the range kept. Empty when the window takes the
// set as it is.
QStringList outOfRange(const ParameterSet &set);

} // namespace ctl

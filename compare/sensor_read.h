// Reads the sensor's RAM and EEPROM sets into the comparison, as one
// user-started exchange; the panels, the parameter variables and the status
// line stay as they are.
#pragma once

#include <QString>

#include <functional>

#include "compare/parameter_comparison.h"

namespace compare {

using NoteSink = std::function<void(const QString &text)>;

// Orders 2 then 4, each packed from the parameter variables as a Get packs
// them; a column that times out gets the time-out text. The progress notes and
// results go to `note`. Returns false, having sent nothing, when another
// exchange runs (a loop, a Get, ...): StartExchange has then shown the busy
// text in the status line.
bool readSensorColumns(ParameterComparison &comparison, const NoteSink &note);

} // namespace compare

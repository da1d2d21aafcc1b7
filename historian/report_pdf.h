// The shift report as a PDF a quality engineer files: a table per shift and a
// small trend per sensor (the band of least and greatest measured value, the
// mean, the tolerance limits), drawn with QPainter on QPdfWriter. Qt Gui
// without widgets: the caller makes a QGuiApplication (the "offscreen"
// platform does) before asking.
#pragma once

#include <string>

#include "historian/report.h"

namespace historian {

// "" when written, else why not.
std::string writeReportPdf(const ShiftReport &report, const std::string &path);

} // namespace historian

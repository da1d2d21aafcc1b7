// Inside the run-time: a panel's window is painted at most at the screen's
// rate, however often the program changes its controls.
#pragma once

class QWidget;

namespace rt {

// No screen shows more than one picture in this time.
constexpr int SCREEN_INTERVAL_MS = 16;

void pacePainting(QWidget *window);

} // namespace rt

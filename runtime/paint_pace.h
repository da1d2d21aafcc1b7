// Inside the run-time: a panel's window is painted at most at the screen's
// rate, however often the program changes its controls.
#pragma once

class QWidget;

namespace rt {

void pacePainting(QWidget *window);

} // namespace rt

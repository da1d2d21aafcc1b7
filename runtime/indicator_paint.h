// Inside the run-time: numeric indicators that repaint without their parents.
#pragma once

class QWidget;

namespace rt {

// A spin box is not opaque, so each new value of an indicator repaints the
// group box and the window behind it too, and a group box may draw its frame
// from a scaled pixmap on the paint threads. The loops write the indicators
// on every frame. The read-only spin boxes of `panel` therefore fill their
// background themselves with a picture of what their parent draws behind
// them, taken again whenever that can change: a new value repaints them
// alone, and the window looks the same. Each new value also lays the text out
// again; numbers need no text shaping, so their fonts skip it.
void paintIndicatorsAlone(QWidget *panel);

} // namespace rt

// What the window around the panels may hold back of the program's drawing:
// a graph's axis ranges while the user looks closer, the whole display while
// the user freezes it, a graph shown while the program hides it. The program
// keeps making the same calls; what it asks for meanwhile is kept, the latest
// only, and shown at once when the hold ends. Without a hold a call costs a
// flag test more than before.
#pragma once

class QWidget;

namespace rt {

// While held, the ranges the program sets on the graph `plot` are kept, not
// applied, and the window's view decides what the axes show. On release the
// program's latest ranges come back (those of the moment of holding when it
// set none since).
void holdGraphRange(QWidget *plot, bool held);
bool graphRangeHeld(const QWidget *plot);

// While frozen, the graphs keep what they show and the read-only numerics
// their value; the program's plots, cursors, ranges and numbers are kept,
// the latest of each, and shown when the freeze ends.
void setDisplayFrozen(bool frozen);
bool displayFrozen();

// A strip chart whose y axis follows the values it is given on every plot,
// or, when off, shows the range of the panel file again.
void setStripChartAutoScale(QWidget *plot, bool on);

// While held, `control` stays shown when the program hides it; the program
// still reads back what it set, and on release the control takes it.
void holdShown(QWidget *control, bool held);

} // namespace rt

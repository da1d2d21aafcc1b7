// The mouse wheel changes a parameter only in the control the user clicked or
// tabbed into: scrolling over the panels never changes a value by the way.
#pragma once

namespace window {

// Installs the guard on the application, once: a wheel over a numeric, a
// selector or a slider that has not the keyboard focus is eaten (it changes
// nothing and scrolls nothing); such controls take the focus by a click or
// Tab only, not by the wheel.
void guardWheel();

} // namespace window

// For WinMain.
void AttachWheelGuard(void);

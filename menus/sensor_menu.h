// The Sensor menu: every button of the panels' work from the keyboard.
#pragma once

class QWidget;

namespace window {

// Adds the Sensor menu to the main panel `panel`. Each item acts as the
// user's action on its control would (a click's event goes to the control's
// callback from event processing), is disabled while that control is dimmed,
// and its key is added to the control's tooltip.
void addSensorMenu(int panel);

} // namespace window

// For WinMain: the Sensor menu on the main panel's window.
void AttachSensorMenu(int panel);

// The main window opens whole on the screen it starts on: a laptop screen
// (1366x768, or 1920x1080 at 150 %) has less room than the window would like.
#pragma once

class QWidget;

namespace window {

// Room the window manager's frame takes around the window before the window
// is shown and its real frame is known.
constexpr int FRAME_ALLOWANCE_SIDE = 8;
constexpr int FRAME_ALLOWANCE_TOP = 36;

// Shrinks `window` to the screen's available area (frame included, never
// below the window's minimum) and moves it inside that area; once more when
// it is first shown and its real frame is known.
void fitToScreen(QWidget *window);

} // namespace window

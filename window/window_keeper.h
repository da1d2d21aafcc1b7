// A window of its own beside the main window (the CCD settings window, the
// compare window): where it opens, that it comes back where the user left it
// (across runs), that it takes the keyboard focus when shown, and that its
// close button and Esc hide it.
#pragma once

#include <functional>

class QWidget;

namespace window {

// Keeps `tool`, a window over `mainWindow`, in its place: each time it is
// shown it goes where the user last put it (the settings key `positionKey`,
// kept on a screen), else right of the main window where the screen has room,
// else over its graphs clear of the panels in use; shown, it takes the
// keyboard focus. Its close button and Esc call `hide`, and Esc there never
// reaches the main window's Stop.
void keepBesideMainWindow(QWidget *mainWindow, QWidget *tool, const char *positionKey,
                          std::function<void()> hide);

} // namespace window

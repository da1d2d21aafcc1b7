// The main window comes back with the size, position and maximised state it
// had when it was last closed.
#pragma once

class QWidget;

namespace window {

// Gives `mainWindow` the geometry kept in the settings, if any (Qt keeps it
// on a screen there is), and keeps its geometry there whenever it is closed.
void keepMainWindowPlace(QWidget *mainWindow);

} // namespace window

// For WinMain, after the window has been fitted to its screen.
void AttachMainWindowPlace(int panel);

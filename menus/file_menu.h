// The File menu: the parameter file's Load and Save, and Quit. Other
// additions put their items in before "Quit" (object name "actionQuit").
#pragma once

class QWidget;

namespace window {

// What the items call; the program's own functions, handed over at start.
struct FileMenuCalls {
    void (*loadParameters)(void) = nullptr;
    void (*saveParameters)(void) = nullptr;
};

// Adds "Load parameters...", "Save parameters..." and "Quit" to the File menu
// of `mainWindow`. Quit closes the window, which ends the program the way
// the window's own close does.
void addFileMenu(QWidget *mainWindow, const FileMenuCalls &calls);

} // namespace window

// For WinMain: the File menu on the main panel's window.
void AttachFileMenu(int panel, void (*loadParameters)(void), void (*saveParameters)(void));

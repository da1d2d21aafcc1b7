// A note for the user in the main window's status bar, beside the panel's
// own status line.
#pragma once

class QStatusBar;
class QString;
class QWidget;

namespace window {

// Shows `text` in the status bar named "statusBar" under the panel (made as
// the last widget of the window's layout when there is none yet); an empty
// text takes the note away.
void showWindowNote(QWidget *mainWindow, const QString &text);

// That status bar, for an addition's own mark in it; nullptr when the window
// has no layout to put one in.
QStatusBar *windowStatusBar(QWidget *mainWindow);

} // namespace window

// For the program's window-note hook: the note beside panel `panel`.
void ShowWindowNote(int panel, const char *text);

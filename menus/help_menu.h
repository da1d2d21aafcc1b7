// The Help menu: what the program is, and the keys it answers to.
#pragma once

class QString;
class QWidget;

namespace window {

// Adds "About" and "Keyboard" to the Help menu of `mainWindow`. The keyboard
// list is read from the menu bar when it is opened, so it names every
// shortcut the other menus gave their items.
void addHelpMenu(QWidget *mainWindow);

// The text the Keyboard item shows: one line per item that has a shortcut,
// "Shortcut<TAB>Menu > Item", plus the keys that belong to no menu item.
QString keyboardText(QWidget *mainWindow);
// The same rows as a table of two columns (rich text), for the Keyboard box.
QString keyboardTable(QWidget *mainWindow);

} // namespace window

// For WinMain: the Help menu on the main panel's window.
void AttachHelpMenu(int panel);

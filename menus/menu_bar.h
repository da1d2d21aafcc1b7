// The menu bar above the main panel's controls. The panel file stays as it
// is: the bar sits in the panel's top-level layout, and every addition puts
// its items into one of the fixed top menus.
#pragma once

#include <QString>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace window {

// The top menus, in the order they appear whichever is asked for first.
enum class TopMenu { File, View, Sensor, Tools, Help };

// The bar of the main window `mainWindow` (a panel's root widget), made on
// the first call; null when the window has no layout to hold it.
QMenuBar *menuBar(QWidget *mainWindow);
// A top menu of that bar, made and put in its place on the first call.
QMenu *menu(QWidget *mainWindow, TopMenu which);

// Puts an addition's `item` into the File menu `file`: before Quit and the
// separator that sets Quit apart, or at the end while there is no Quit.
void insertBeforeQuit(QMenu *file, QAction *item);

// A checkable item of an addition in the File menu of `mainWindow`, put
// before Quit: `on` runs when the user checks it, `off` when the user
// unchecks it. Null when the window has no menu bar.
QAction *addFileToggle(QWidget *mainWindow, const QString &text, const char *objectName,
                       const QString &toolTip, std::function<void()> on, std::function<void()> off);

// Gives every item of `menu` (a menu or the bar) that has none a mnemonic of its own in that
// menu: the first letter of a word not yet taken, else any letter not yet
// taken; items that have one keep it.
void giveMnemonics(QWidget *menu);
// Every top menu of `mainWindow` gets its mnemonics now, and again each
// time it opens (for items added later).
void keepMnemonics(QWidget *mainWindow);

} // namespace window

// For WinMain, after every addition has put its items in.
void AttachMnemonics(int panel);

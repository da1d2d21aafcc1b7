// Where the file dialogs open. The program names a default folder; an
// addition may open them elsewhere (the program's own folder may be one the
// user cannot write to) and learns which file the user picked.
#pragma once

#include <QString>

#include <functional>

namespace rt {

struct DialogFolders {
    // Given the folder the program asked for, the folder the dialog opens in.
    std::function<QString(const QString &requested)> folderFor;
    // Told the path of every file the user picked in a dialog.
    std::function<void(const QString &path)> picked;
};

// Empty members: the dialogs open where the program asks, nobody is told.
void setDialogFolders(DialogFolders folders);

} // namespace rt

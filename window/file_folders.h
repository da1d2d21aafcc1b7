// The folder the parameter file dialogs open in. The program asks for its
// own folder; an installed program's folder is not the user's to write in,
// so there the dialogs open in the user's documents folder at first and in
// the folder last picked from then on, across runs.
#pragma once

class QString;

namespace window {

// The folder a dialog opens in when the program asks for `requested`.
QString dialogFolderFor(const QString &requested);

} // namespace window

// For WinMain: the file dialogs take their folder from dialogFolderFor and
// keep the folder of every picked file.
void AttachFileFolders(void);

#include "window/file_folders.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QString>

#include "runtime/dialog_folders.h"
#include "window/settings.h"

namespace window {

QString dialogFolderFor(const QString &requested) {
    const QFileInfo asked(requested);
    if (asked.isDir() && asked.isWritable())
        return requested;
    const QString last = savedFileFolder();
    if (!last.isEmpty())
        return last;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? requested : documents;
}

} // namespace window

void AttachFileFolders(void) {
    rt::setDialogFolders({window::dialogFolderFor, [](const QString &path) {
                              window::saveFileFolder(QFileInfo(path).absolutePath());
                          }});
}

// The file dialog, or the tests' hook in its place, and the folders it opens in.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <cstring>
#include <string>

#include "runtime/dialog_folders.h"
#include "runtime/runtime.h"
#include "runtime/test_hooks.h"

namespace {

FileSelectHook &fileSelectHook() {
    static FileSelectHook hook;
    return hook;
}

rt::DialogFolders &dialogFolders() {
    static rt::DialogFolders folders;
    return folders;
}

std::string dialogFolder(const char *requested) {
    if (!dialogFolders().folderFor)
        return requested;
    return dialogFolders().folderFor(QString::fromLocal8Bit(requested)).toLocal8Bit().toStdString();
}

// The file dialog. With a restricted extension the name gets it, and an
// existing file is replaced only after the user agreed, whether the name was
// typed with the extension or got it added (in the dialog, or after it for a
// name with another extension).
QString runFileDialog(const char *directory, const char *defaultName, const char *fileTypes,
                      const char *title, int buttonLabel, bool restrictExtension) {
    const QString filter = QString::fromLatin1(fileTypes);
    const QString suffix = filter.startsWith(QLatin1String("*.")) ? filter.mid(2) : QString();
    const bool saving = buttonLabel != VAL_LOAD_BUTTON;
    QFileDialog dialog(
        QApplication::activeWindow(), QString::fromLatin1(title),
        QDir(QString::fromLocal8Bit(directory)).filePath(QString::fromLocal8Bit(defaultName)),
        filter);
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (restrictExtension)
        dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    QString path = dialog.selectedFiles().constFirst();
    if (restrictExtension && !suffix.isEmpty() &&
        !path.endsWith(QLatin1Char('.') + suffix, Qt::CaseInsensitive)) {
        path += QLatin1Char('.') + suffix;
        if (saving && QFileInfo::exists(path) &&
            QMessageBox::question(QApplication::activeWindow(), QString::fromLatin1(title),
                                  QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                      .arg(QFileInfo(path).fileName())) != QMessageBox::Yes)
            return {};
    }
    return path;
}

} // namespace

void SetFileSelectHook(FileSelectHook hook) {
    fileSelectHook() = std::move(hook);
}

void rt::setDialogFolders(DialogFolders folders) {
    dialogFolders() = std::move(folders);
}

int FileSelectPopup(const char *defaultDirectory, const char *defaultFileName,
                    const char *fileTypeList, const char *title, int buttonLabel, int,
                    int restrictExtension, int, int, char pathName[]) {
    std::string chosen;
    int result = 0;
    const std::string directory = dialogFolder(defaultDirectory);
    if (fileSelectHook()) {
        FileSelectRequest request{directory, defaultFileName, fileTypeList,
                                  title,     buttonLabel,     restrictExtension != 0};
        result = fileSelectHook()(request, chosen);
    } else {
        const QString path = runFileDialog(directory.c_str(), defaultFileName, fileTypeList, title,
                                           buttonLabel, restrictExtension != 0);
        if (!path.isEmpty()) {
            result = QFileInfo::exists(path) ? 1 : 2; // existing or new file
            chosen = path.toLocal8Bit().toStdString();
        }
    }
    if (result > 0) {
        if (chosen.size() >= 260)
            return -1;
        std::memcpy(pathName, chosen.c_str(), chosen.size() + 1);
        if (dialogFolders().picked)
            dialogFolders().picked(QString::fromLocal8Bit(chosen.c_str()));
    }
    return result;
}

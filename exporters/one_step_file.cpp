// QSaveFile writes beside the target and renames over it only when every
// byte reached the disk; a temporary folder holds what a name-only writer
// made until it has been checked.
#include "exporters/one_step_file.h"

#include <QFile>
#include <QObject>
#include <QSaveFile>
#include <QTemporaryDir>

namespace exporters {

bool writeInOneStep(const QString &path, const QByteArray &bytes, QString *error) {
    QSaveFile file(path);
    // Never into the old file itself, even where no file can be made beside
    // it: a write that fails there would leave it half overwritten.
    file.setDirectWriteFallback(false);
    // Unbuffered, so that a short write shows here: a buffered QSaveFile
    // commits a file that a full disk cut short, and reports success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            *error = file.errorString();
            file.cancelWriting();
            return false;
        }
        done += written;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool renderInOneStep(const QString &path, const QString &suffix,
                     const std::function<bool(const QString &file)> &render,
                     const std::function<bool(const QByteArray &bytes)> &complete, QString *error) {
    QTemporaryDir folder;
    if (!folder.isValid()) {
        *error = QObject::tr("No temporary folder for drawing: %1").arg(folder.errorString());
        return false;
    }
    const QString drawn = folder.filePath(QStringLiteral("export.") + suffix);
    QFile file(drawn);
    if (!render(drawn) || !file.open(QIODevice::ReadOnly)) {
        *error = QObject::tr("The graph could not be drawn into a file (is the temporary "
                             "folder full?).");
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (!complete(bytes)) {
        *error = QObject::tr("The drawn file is incomplete (is the temporary folder full?).");
        return false;
    }
    return writeInOneStep(path, bytes, error);
}

} // namespace exporters

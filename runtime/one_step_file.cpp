// QSaveFile writes beside the target and renames over it only when every
// byte reached the disk.
#include "runtime/one_step_file.h"

#include <QFileInfo>
#include <QObject>
#include <QSaveFile>

namespace rt {

bool writeWhole(QFileDevice &file, const char *bytes, qint64 size) {
    // A write that the disk cuts short returns what it took and sets no
    // error; only the next one fails and says why.
    for (qint64 done = 0; done < size;) {
        const qint64 written = file.write(bytes + done, size - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

bool writeInOneStep(const QString &path, const QByteArray &bytes, QString *error) {
    if (const QFileInfo target(path); target.exists() && !target.isFile()) {
        *error = QObject::tr("not a regular file");
        return false;
    }
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
    if (!writeWhole(file, bytes.constData(), bytes.size())) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace rt

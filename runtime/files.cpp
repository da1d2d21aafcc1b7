// Formatting, regular files and array file I/O; the file dialog is in
// file_dialog.cpp.
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "runtime/one_step_file.h"
#include "runtime/regular_file.h"
#include "runtime/runtime.h"

namespace {

std::string &fileProblem() {
    static std::string problem;
    return problem;
}

int fileFailed(const QString &why) {
    fileProblem() = why.toLocal8Bit().toStdString();
    return -2;
}

QString notRegular() {
    return QObject::tr("not a regular file");
}

} // namespace

// The open itself does not wait (O_NONBLOCK), so a FIFO put in the file's
// place after a check cannot hold the program either.
bool rt::openRegularFile(QFile &file, const char *fileName, QString *why) {
#ifdef Q_OS_WIN
    file.setFileName(QString::fromLocal8Bit(fileName));
    if (QFileInfo(file.fileName()).exists() && !QFileInfo(file.fileName()).isFile()) {
        *why = notRegular();
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.errorString();
        return false;
    }
    return true;
#else
    const int fd = ::open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *why = qt_error_string(errno);
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        *why = notRegular();
        ::close(fd);
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        *why = file.errorString();
        ::close(fd);
        return false;
    }
    return true;
#endif
}

int Fmt(char *target, const char *format, const int *values) {
    int width = 0, count = 0;
    char tail = 0;
    if (std::sscanf(format, "%%%dc<%%%di%c", &width, &count, &tail) != 2 || width < 1 || count < 0)
        return -1;
    const int n = count < width ? count : width;
    for (int i = 0; i < n; ++i)
        target[i] = static_cast<char>(values[i] & 0xFF);
    if (n < width)
        target[n] = '\0';
    return n;
}

// Text files of unsigned 32-bit integers, one per line, right-aligned in the
// field width. The file is replaced in one step, so a failed save never
// leaves a half-written parameter set behind, nor spoils the one there.
int ArrayToFile(const char *fileName, const void *array, int dataType, int numElements,
                int numGroups, int, int, int, int fieldWidth, int fileType, int) {
    if (dataType != VAL_UNSIGNED_INTEGER || fileType != VAL_ASCII || numGroups != 1 ||
        numElements < 0)
        return -1;
    fileProblem().clear();
    QByteArray text;
    const auto *values = static_cast<const unsigned int *>(array);
    for (int i = 0; i < numElements; ++i)
        text += QByteArray::number(values[i]).rightJustified(fieldWidth, ' ') + '\n';
    QString why;
    if (!rt::writeInOneStep(QString::fromLocal8Bit(fileName), text, &why))
        return fileFailed(why);
    return 0;
}

// Reads white-space separated unsigned numbers; each keeps its low 32 bits.
// The array is changed only when all numElements numbers were read.
int FileToArray(const char *fileName, void *array, int dataType, int numElements, int numGroups,
                int, int, int fileType) {
    if (dataType != VAL_UNSIGNED_INTEGER || fileType != VAL_ASCII || numGroups != 1 ||
        numElements < 0)
        return -1;
    fileProblem().clear();
    QFile file;
    QString why;
    if (!rt::openRegularFile(file, fileName, &why))
        return fileFailed(why);
    QByteArray text = file.read(1 << 20);
    if (file.error() != QFileDevice::NoError)
        return fileFailed(file.errorString());
    if (text.startsWith("\xEF\xBB\xBF")) // a UTF-8 byte-order mark, as Windows editors write
        text.remove(0, 3);
    const QList<QByteArray> tokens = text.simplified().split(' ');
    std::vector<unsigned int> values;
    for (const QByteArray &token : tokens) {
        if (token.isEmpty() || static_cast<int>(values.size()) == numElements)
            break;
        // toULongLong stops at a NUL byte and still reports success: a file
        // cut off and filled with zeros would load.
        bool ok = !token.contains('\0');
        const qulonglong v = ok ? token.toULongLong(&ok, 10) : 0;
        if (!ok)
            return -3;
        values.push_back(static_cast<unsigned int>(v & 0xFFFFFFFFu));
    }
    if (static_cast<int>(values.size()) < numElements)
        return -3;
    std::memcpy(array, values.data(), values.size() * sizeof(unsigned int));
    return 0;
}

const char *GetFileProblem(void) {
    return fileProblem().c_str();
}

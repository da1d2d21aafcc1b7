// Formatting, the file dialog and array file I/O.
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <vector>

#include "runtime/runtime.h"
#include "runtime/test_hooks.h"

namespace {

FileSelectHook &fileSelectHook() {
    static FileSelectHook hook;
    return hook;
}

} // namespace

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

void SetFileSelectHook(FileSelectHook hook) {
    fileSelectHook() = std::move(hook);
}

int FileSelectPopup(const char *defaultDirectory, const char *defaultFileName,
                    const char *fileTypeList, const char *title, int buttonLabel, int,
                    int restrictExtension, int, int, char pathName[]) {
    std::string chosen;
    int result = 0;
    if (fileSelectHook()) {
        FileSelectRequest request{defaultDirectory, defaultFileName,       fileTypeList, title,
                                  buttonLabel,      restrictExtension != 0};
        result = fileSelectHook()(request, chosen);
    } else {
        const QString start = QDir(QString::fromLocal8Bit(defaultDirectory))
                                  .filePath(QString::fromLocal8Bit(defaultFileName));
        const QString filter = QString::fromLatin1(fileTypeList);
        const QString caption = QString::fromLatin1(title);
        QString path =
            buttonLabel == VAL_LOAD_BUTTON
                ? QFileDialog::getOpenFileName(QApplication::activeWindow(), caption, start, filter)
                : QFileDialog::getSaveFileName(QApplication::activeWindow(), caption, start,
                                               filter);
        if (!path.isEmpty()) {
            const QString suffix =
                filter.startsWith(QLatin1String("*.")) ? filter.mid(1) : QString();
            if (restrictExtension && !suffix.isEmpty() &&
                !path.endsWith(suffix, Qt::CaseInsensitive))
                path += suffix;
            result = QFileInfo::exists(path) ? 1 : 2; // existing or new file
            chosen = path.toLocal8Bit().toStdString();
        }
    }
    if (result > 0) {
        if (chosen.size() >= 260)
            return -1;
        std::memcpy(pathName, chosen.c_str(), chosen.size() + 1);
    }
    return result;
}

// Text files of unsigned 32-bit integers, one per line, right-aligned in the
// field width. The file is replaced in one step, so a failed save never
// leaves a half-written parameter set behind.
int ArrayToFile(const char *fileName, const void *array, int dataType, int numElements,
                int numGroups, int, int, int, int fieldWidth, int fileType, int) {
    if (dataType != VAL_UNSIGNED_INTEGER || fileType != VAL_ASCII || numGroups != 1 ||
        numElements < 0)
        return -1;
    QByteArray text;
    const auto *values = static_cast<const unsigned int *>(array);
    for (int i = 0; i < numElements; ++i)
        text += QByteArray::number(values[i]).rightJustified(fieldWidth, ' ') + '\n';
    QSaveFile file(QString::fromLocal8Bit(fileName));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return -2;
    return file.commit() ? 0 : -2;
}

// Reads white-space separated unsigned numbers; each keeps its low 32 bits.
// The array is changed only when all numElements numbers were read.
int FileToArray(const char *fileName, void *array, int dataType, int numElements, int numGroups,
                int, int, int fileType) {
    if (dataType != VAL_UNSIGNED_INTEGER || fileType != VAL_ASCII || numGroups != 1 ||
        numElements < 0)
        return -1;
    QFile file(QString::fromLocal8Bit(fileName));
    if (!file.open(QIODevice::ReadOnly))
        return -2;
    const QList<QByteArray> tokens = file.read(1 << 20).simplified().split(' ');
    std::vector<unsigned int> values;
    for (const QByteArray &token : tokens) {
        if (token.isEmpty() || static_cast<int>(values.size()) == numElements)
            break;
        bool ok = false;
        const qulonglong v = token.toULongLong(&ok, 10);
        if (!ok)
            return -3;
        values.push_back(static_cast<unsigned int>(v & 0xFFFFFFFFu));
    }
    if (static_cast<int>(values.size()) < numElements)
        return -3;
    std::memcpy(array, values.data(), values.size() * sizeof(unsigned int));
    return 0;
}

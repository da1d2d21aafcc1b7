#include "ctl/set_file.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include "params/parameter_table.h"
#include "runtime/regular_file.h"

namespace ctl {

namespace {

constexpr qulonglong WORD_MAX = 0xFFFF;
constexpr qint64 MAX_FILE_BYTES = 1 << 20;

} // namespace

bool readSetFile(const QString &path, ParameterSet *set, QString *problem) {
    QFile file;
    if (!rt::openRegularFile(file, QFile::encodeName(path).constData(), problem))
        return false;
    // Sixteen numbers fit in far less; more is no parameter file.
    QByteArray text = file.read(MAX_FILE_BYTES + 1);
    if (text.size() > MAX_FILE_BYTES) {
        *problem = QStringLiteral("larger than %1 bytes: no parameter file").arg(MAX_FILE_BYTES);
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        *problem = file.errorString();
        return false;
    }
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);

    ParameterSet read{};
    int count = 0;
    const QList<QByteArray> lines = text.split('\n');
    for (int l = 0; l < lines.size(); l++) {
        for (const QByteArray &token : lines[l].simplified().split(' ')) {
            if (token.isEmpty())
                continue;
            if (count == PNUM) {
                *problem = QStringLiteral("line %1: more than sixteen numbers").arg(l + 1);
                return false;
            }
            const QString name = QLatin1String(parameterTable[count].name);
            // As the window reads it: a NUL byte ends a number but not the file.
            bool ok = !token.contains('\0');
            const qulonglong value = ok ? token.toULongLong(&ok, 10) : 0;
            if (!ok) {
                *problem = QStringLiteral("line %1: %2 is not an unsigned number (%3)")
                               .arg(l + 1)
                               .arg(QString::fromLatin1(token.left(20)), name);
                return false;
            }
            if (value > WORD_MAX) {
                *problem = QStringLiteral("line %1: %2 %3 does not fit 16 bits (0-65535)")
                               .arg(l + 1)
                               .arg(name)
                               .arg(value);
                return false;
            }
            read[count++] = static_cast<unsigned short>(value);
        }
    }
    if (count < PNUM) {
        *problem = QStringLiteral("not sixteen numbers, only %1").arg(count);
        return false;
    }
    *set = read;
    return true;
}

QStringList outOfRange(const ParameterSet &set) {
    QStringList found;
    for (int i = 0; i < PNUM; i++) {
        const ParameterEntry &p = parameterTable[i];
        if ((p.upper != NO_CHECK && set[i] > p.upper) || set[i] < p.lower)
            found << QStringLiteral("%1 %2 lies outside the program's range %3-%4")
                         .arg(QLatin1String(p.name))
                         .arg(set[i])
                         .arg(p.lower)
                         .arg(p.upper);
    }
    return found;
}

} // namespace ctl

// Files read from outside: a FIFO would block the open until a writer came,
// and a device could hand out data for ever, so only a regular file is
// opened.
#pragma once

#include <QFile>
#include <QString>

namespace rt {

// Opens `fileName` (local 8-bit) for reading into `file` when it is a
// regular file; otherwise false with the reason in `why` (the system's, or
// "not a regular file").
bool openRegularFile(QFile &file, const char *fileName, QString *why);

} // namespace rt

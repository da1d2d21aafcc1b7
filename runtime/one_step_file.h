// Files written so that nothing is lost unseen: a write that the disk cut
// short shows as an error with the system's reason, and a file written in
// one step appears under its name whole, or not at all, so a full disk or a
// folder without write permission never leaves half a file or spoils one
// that was there. Parameter files, exported graphs and data, and recordings
// all write through here.
#pragma once

#include <QByteArray>
#include <QString>

class QFileDevice;

namespace rt {

// Writes all `size` bytes to `file` (open and unbuffered), again after a
// short write: false as soon as a write takes nothing, with the file's
// errorString() then giving the system's reason ("No space left on device")
// rather than nothing.
bool writeWhole(QFileDevice &file, const char *bytes, qint64 size);

// Writes `bytes` to `path` in one step. Refuses a target that exists and is
// not a regular file (a FIFO, a device, a folder). On failure `error` says
// why.
bool writeInOneStep(const QString &path, const QByteArray &bytes, QString *error);

} // namespace rt

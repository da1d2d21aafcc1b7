// Files written in one step: the new content appears under its name whole, or
// not at all, so a full disk or a folder without write permission never
// leaves half a file or spoils one that was there.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace exporters {

// Writes `bytes` to `path`. On failure `error` says why.
bool writeInOneStep(const QString &path, const QByteArray &bytes, QString *error);

// For writers that only take a file name (QCustomPlot's savePng, savePdf):
// `render` writes into a file in a temporary folder, `complete` checks what
// it wrote, and only a complete file is then written to `path` in one step.
bool renderInOneStep(const QString &path, const QString &suffix,
                     const std::function<bool(const QString &file)> &render,
                     const std::function<bool(const QByteArray &bytes)> &complete, QString *error);

} // namespace exporters

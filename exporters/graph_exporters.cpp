// QCustomPlot's own savePng and savePdf draw the graph; they take only a file
// name and a PDF writer does not report a full disk, so both draw into a
// temporary folder and the file is checked before it takes the user's name.
#include "exporters/graph_exporters.h"

#include <QObject>

#include <qcustomplot.h>

#include "exporters/one_step_file.h"

namespace exporters {

namespace {

bool hasGraph(const Source &source, QString *error) {
    if (source.graph && !source.size.isEmpty())
        return true;
    *error = QObject::tr("There is no graph to export.");
    return false;
}

} // namespace

QString PngExporter::format() const {
    return QObject::tr("PNG image");
}

bool PngExporter::exportTo(const Source &source, const QString &path, QString *error) const {
    if (!hasGraph(source, error))
        return false;
    return renderInOneStep(
        path, suffix(),
        [&](const QString &file) {
            return source.graph->savePng(file, source.size.width(), source.size.height());
        },
        // A PNG ends with its IEND chunk; a cut-off one does not.
        [](const QByteArray &bytes) {
            return bytes.startsWith("\x89PNG\r\n\x1a\n") &&
                   bytes.endsWith(QByteArray("IEND\xae\x42\x60\x82", 8));
        },
        error);
}

QString PdfExporter::format() const {
    return QObject::tr("PDF document");
}

bool PdfExporter::exportTo(const Source &source, const QString &path, QString *error) const {
    if (!hasGraph(source, error))
        return false;
    return renderInOneStep(
        path, suffix(),
        [&](const QString &file) {
            return source.graph->savePdf(file, source.size.width(), source.size.height(),
                                         QCP::epAllowCosmetic, QStringLiteral("V-EXA-TB-Scope"));
        },
        // A PDF ends with its end-of-file marker; a cut-off one does not.
        [](const QByteArray &bytes) {
            return bytes.startsWith("%PDF-") && bytes.right(16).contains("%%EOF");
        },
        error);
}

} // namespace exporters

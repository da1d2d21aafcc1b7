// QCustomPlot's own savePng and savePdf draw the graph; they take only a file
// name and a PDF writer does not report a full disk, so both draw into a
// temporary folder and the file is checked before it takes the user's name.
#include "exporters/graph_exporters.h"

#include <QFile>
#include <QObject>
#include <QTemporaryDir>

#include <qcustomplot.h>

#include <functional>

#include "runtime/one_step_file.h"

namespace exporters {

namespace {

// The caption as a last row of the graph's layout while the graph is drawn
// into a file; the graph on the screen is as it was afterwards.
class CaptionRow {
  public:
    explicit CaptionRow(const Source &source) : graph_(source.graph) {
        if (source.caption.isEmpty())
            return;
        QCPLayoutGrid *layout = graph_->plotLayout();
        const int row = layout->rowCount();
        layout->insertRow(row);
        caption_ = new QCPTextElement(graph_, source.caption, graph_->font());
        layout->addElement(row, 0, caption_);
        // Laid out with the row; the file is drawn from the layout as it stands.
        graph_->replot(QCustomPlot::rpImmediateRefresh);
    }
    ~CaptionRow() {
        if (!caption_)
            return;
        graph_->plotLayout()->remove(caption_);
        graph_->plotLayout()->simplify();
        graph_->replot(QCustomPlot::rpQueuedReplot);
    }
    CaptionRow(const CaptionRow &) = delete;
    CaptionRow &operator=(const CaptionRow &) = delete;

  private:
    QCustomPlot *graph_;
    QCPTextElement *caption_ = nullptr;
};

bool hasGraph(const Source &source, QString *error) {
    if (source.graph && !source.size.isEmpty())
        return true;
    *error = QObject::tr("There is no graph to export.");
    return false;
}

// `render` writes into a file in a temporary folder, `complete` checks what
// it wrote, and only a complete file is then written to `path` in one step.
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
    return rt::writeInOneStep(path, bytes, error);
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
            const CaptionRow caption(source);
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
            const CaptionRow caption(source);
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

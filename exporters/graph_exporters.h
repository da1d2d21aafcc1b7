// A graph as a picture: QCustomPlot draws it, at the size it is shown.
#pragma once

#include "exporters/exporter.h"

namespace exporters {

class PngExporter : public Exporter {
  public:
    Kind kind() const override { return Kind::Graph; }
    QString format() const override;
    QString suffix() const override { return QStringLiteral("png"); }
    bool exportTo(const Source &source, const QString &path, QString *error) const override;
};

// A vector page the size of the graph, for reports that scale it.
class PdfExporter : public Exporter {
  public:
    Kind kind() const override { return Kind::Graph; }
    QString format() const override;
    QString suffix() const override { return QStringLiteral("pdf"); }
    bool exportTo(const Source &source, const QString &path, QString *error) const override;
};

} // namespace exporters

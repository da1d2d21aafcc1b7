// The graphs' numbers as a CSV table (layout: graph_data.h, root README).
#pragma once

#include "exporters/exporter.h"

namespace exporters {

class CsvExporter : public Exporter {
  public:
    Kind kind() const override { return Kind::Data; }
    QString format() const override;
    QString suffix() const override { return QStringLiteral("csv"); }
    bool exportTo(const Source &source, const QString &path, QString *error) const override;
};

} // namespace exporters

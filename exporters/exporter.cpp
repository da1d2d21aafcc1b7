// The list the menus are built from.
#include "exporters/exporter.h"

#include "exporters/csv_exporter.h"
#include "exporters/graph_exporters.h"

namespace exporters {

QString Exporter::nameFilter() const {
    return QStringLiteral("%1 (*.%2)").arg(format(), suffix());
}

const std::vector<std::unique_ptr<Exporter>> &registry() {
    static const std::vector<std::unique_ptr<Exporter>> all = [] {
        std::vector<std::unique_ptr<Exporter>> list;
        list.push_back(std::make_unique<PngExporter>());
        list.push_back(std::make_unique<PdfExporter>());
        list.push_back(std::make_unique<CsvExporter>());
        return list;
    }();
    return all;
}

std::vector<const Exporter *> exportersOf(Exporter::Kind kind) {
    std::vector<const Exporter *> found;
    for (const auto &exporter : registry())
        if (exporter->kind() == kind)
            found.push_back(exporter.get());
    return found;
}

const Exporter *exporterForSuffix(Exporter::Kind kind, const QString &path) {
    for (const Exporter *exporter : exportersOf(kind))
        if (path.endsWith(QLatin1Char('.') + exporter->suffix(), Qt::CaseInsensitive))
            return exporter;
    return nullptr;
}

} // namespace exporters

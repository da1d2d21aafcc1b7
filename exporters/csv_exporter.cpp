// The trend history and the video curve in one file of two sections.
#include "exporters/csv_exporter.h"

#include <QObject>

#include "exporters/graph_data.h"
#include "runtime/one_step_file.h"

namespace exporters {

QString CsvExporter::format() const {
    return QObject::tr("CSV table");
}

bool CsvExporter::exportTo(const Source &source, const QString &path, QString *error) const {
    if (!source.data) {
        *error = QObject::tr("There is no data to export.");
        return false;
    }
    return rt::writeInOneStep(path, toCsv(*source.data), error);
}

} // namespace exporters

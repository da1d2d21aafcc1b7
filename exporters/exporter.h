// One export format: what it writes (a graph or the graphs' numbers), how the
// user knows it, and the writing itself. The menus and dialogs are built from
// the list of exporters, so a new format is one more class in the list.
#pragma once

#include <QSize>
#include <QString>

#include <memory>
#include <vector>

class QCustomPlot;

namespace exporters {

struct GraphData;

// What one export is made from: a graph drawn at `size` (pixels; points for
// a page) for the graph exporters, the numbers the graphs show for the data
// exporters.
struct Source {
    QCustomPlot *graph = nullptr;
    QSize size;
    const GraphData *data = nullptr;
    QString caption; // a line under the graph; empty: none
};

class Exporter {
  public:
    enum class Kind { Graph, Data };

    virtual ~Exporter() = default;
    virtual Kind kind() const = 0;
    // The name of the format in menus and file filters ("PNG image").
    virtual QString format() const = 0;
    // The file name's extension, without the dot.
    virtual QString suffix() const = 0;
    // Writes `source` to `path` in one step. On failure returns false with
    // the reason in `error`, and a file already at `path` is as it was.
    virtual bool exportTo(const Source &source, const QString &path, QString *error) const = 0;

    // "PNG image (*.png)", for a file dialog.
    QString nameFilter() const;
};

// Every exporter, in menu order.
const std::vector<std::unique_ptr<Exporter>> &registry();
// Those of one kind, in menu order.
std::vector<const Exporter *> exportersOf(Exporter::Kind kind);
// The one of `kind` whose suffix `path` ends with (any case); null for none.
const Exporter *exporterForSuffix(Exporter::Kind kind, const QString &path);

} // namespace exporters

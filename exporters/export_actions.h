// What the user reaches of the exporters: "Export graph..." and "Export
// data..." in the File menu, and a right-click menu on each graph with the
// graph formats and "Copy image". Every dialog and box is non-modal: a
// running loop processes events from inside a callback, and a nested event
// loop would hold it until the dialog closed.
#pragma once

#include <QObject>
#include <QSize>
#include <QString>

#include <functional>
#include <vector>

class QAction;
class QCustomPlot;
class QMenu;
class QWidget;

namespace exporters {

class Exporter;

// A graph of the main panel, by the name the user knows it by.
struct PanelGraph {
    QString name;
    int control;
};

class ExportActions : public QObject {
  public:
    // The three graphs of `panel` by their control ids; the data comes from
    // the trend chart and the video graph.
    ExportActions(QWidget *mainWindow, int panel, int edgeGraph, int trendChart, int videoGraph);

    // Puts the two items into the File menu, before Quit when it is there.
    void addToFileMenu();
    // Gives each graph its right-click menu.
    void addGraphMenus();

    void openGraphDialog();
    void openDataDialog();
    // Writes one graph or the data; a failure shows a box that says why.
    bool exportGraph(std::size_t graph, const Exporter &exporter, const QString &path,
                     bool withCaption = false);
    bool exportData(const Exporter &exporter, const QString &path);
    void copyImage(std::size_t graph);

    const std::vector<PanelGraph> &graphs() const { return graphs_; }
    // What an exported picture's caption names before the time: the sensor
    // and its port ("COM1, firmware ...").
    void setCaptionSource(std::function<QString()> sensorText) {
        sensorText_ = std::move(sensorText);
    }
    // The caption of a picture exported now (with the check box ticked).
    QString caption() const;
    // The size a graph is exported at: as shown, or, for the one of the two
    // graphs that share a place and is hidden now, as the other one is shown.
    QSize exportSize(std::size_t graph) const;

  private:
    // A graph (index into graphs_) or, with NO_GRAPH, the data, in one format.
    struct Choice {
        std::size_t graph;
        const Exporter *exporter;
        bool caption = false;
    };
    static constexpr std::size_t NO_GRAPH = static_cast<std::size_t>(-1);

    QCustomPlot *plot(std::size_t graph) const;
    QMenu *graphMenu(std::size_t graph);
    void askForFile(const QString &title, const QString &objectName,
                    const std::vector<Choice> &choices, std::size_t preselected,
                    bool rememberChoice = false);
    void replaceThenExport(const QString &title, const Choice &choice, const QString &path);
    bool run(const Choice &choice, const QString &path);
    // "Exported trend.pdf" in the status bar; true.
    bool noteExported(const QString &path);
    void showError(const QString &path, const QString &reason);

    QWidget *mainWindow_;
    int panel_;
    std::vector<PanelGraph> graphs_;
    QString folder_;
    std::function<QString()> sensorText_;
    std::size_t lastGraphChoice_; // what Export graph... offers first
    bool withCaption_;
};

} // namespace exporters

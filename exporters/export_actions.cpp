// The export items, their dialogs and the graphs' right-click menus. The
// dialogs list what the exporter registry holds; the file is written when the
// user has chosen it (and agreed to replace one that is there), in the same
// event processing that delivered the choice, which takes milliseconds.
#include "exporters/export_actions.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QImage>
#include <QKeyCombination>
#include <QKeySequence>
#include <QMenu>
#include <QMessageBox>
#include <QWidget>

#include <qcustomplot.h>

#include "exporters/exporter.h"
#include "exporters/graph_data.h"
#include "glance/window_note.h"
#include "menus/menu_bar.h"
#include "menus/message_box.h"
#include "runtime/widget_access.h"
#include "window/settings.h"

namespace exporters {

namespace {

// The File menu's items: text, object name, shortcut, what they open.
struct FileItem {
    const char *text;
    const char *objectName;
    QKeyCombination shortcut;
    void (ExportActions::*open)();
};
const FileItem FILE_ITEMS[] = {
    {QT_TRANSLATE_NOOP("exporters", "Export &graph..."), "actionExportGraph", Qt::CTRL | Qt::Key_E,
     &ExportActions::openGraphDialog},
    {QT_TRANSLATE_NOOP("exporters", "Export d&ata..."), "actionExportData",
     Qt::CTRL | Qt::SHIFT | Qt::Key_E, &ExportActions::openDataDialog},
};

QString withSuffix(QString path, const QString &suffix) {
    if (!path.endsWith(QLatin1Char('.') + suffix, Qt::CaseInsensitive))
        path += QLatin1Char('.') + suffix;
    return path;
}

// A check box under the dialog's own fields (a Qt dialog, not the desktop's,
// so that it can hold one).
QCheckBox *addCheckBox(QFileDialog *dialog, const QString &text, const char *objectName) {
    auto *grid = qobject_cast<QGridLayout *>(dialog->layout());
    if (!grid)
        return nullptr;
    auto *box = new QCheckBox(text, dialog);
    box->setObjectName(QLatin1String(objectName));
    grid->addWidget(box, grid->rowCount(), 0, 1, grid->columnCount());
    return box;
}

} // namespace

ExportActions::ExportActions(QWidget *mainWindow, int panel, int edgeGraph, int trendChart,
                             int videoGraph)
    : QObject(mainWindow), mainWindow_(mainWindow),
      panel_(panel), graphs_{{tr("Edge graph"), edgeGraph},
                             {tr("Trend chart"), trendChart},
                             {tr("Video graph"), videoGraph}},
      folder_(QDir::homePath()) {
    const window::ExportSettings saved = window::savedExportSettings();
    withCaption_ = saved.caption;
    lastGraphChoice_ = saved.graph < 0 ? 0
                                       : static_cast<std::size_t>(saved.graph) *
                                             exportersOf(Exporter::Kind::Graph).size();
}

QString ExportActions::caption() const {
    const QString sensor = sensorText_ ? sensorText_() : QString();
    const QString time = QDateTime::currentDateTime().toString(Qt::ISODate);
    return sensor.isEmpty() ? time : sensor + QStringLiteral(", ") + time;
}

QCustomPlot *ExportActions::plot(std::size_t graph) const {
    return graph < graphs_.size()
               ? qobject_cast<QCustomPlot *>(rt::controlWidget(panel_, graphs_[graph].control))
               : nullptr;
}

QSize ExportActions::exportSize(std::size_t graph) const {
    QCustomPlot *shown = plot(graph);
    if (!shown)
        return {};
    if (!shown->isVisible() && shown->parentWidget()) {
        // The trend chart and the video graph take turns in one place.
        for (auto *other : shown->parentWidget()->findChildren<QCustomPlot *>(
                 QString(), Qt::FindDirectChildrenOnly))
            if (other != shown && other->isVisible())
                return other->size();
    }
    return shown->size().expandedTo(shown->minimumSize());
}

void ExportActions::addToFileMenu() {
    QMenu *file = window::menu(mainWindow_, window::TopMenu::File);
    if (!file)
        return;
    for (const FileItem &item : FILE_ITEMS) {
        auto *action = new QAction(tr(item.text), file);
        action->setObjectName(QLatin1String(item.objectName));
        action->setShortcut(QKeySequence(item.shortcut));
        connect(action, &QAction::triggered, this, [this, open = item.open] { (this->*open)(); });
        window::insertBeforeQuit(file, action);
    }
}

void ExportActions::addGraphMenus() {
    for (std::size_t g = 0; g < graphs_.size(); ++g) {
        QCustomPlot *graph = plot(g);
        if (!graph)
            continue;
        graph->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(
            graph, &QWidget::customContextMenuRequested, this,
            [this, g, graph](const QPoint &at) { graphMenu(g)->popup(graph->mapToGlobal(at)); });
    }
}

QMenu *ExportActions::graphMenu(std::size_t graph) {
    auto *menu = new QMenu(plot(graph));
    menu->setObjectName(QStringLiteral("graphMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const Exporter *exporter : exportersOf(Exporter::Kind::Graph))
        connect(menu->addAction(tr("Export as %1...").arg(exporter->format())), &QAction::triggered,
                this, [this, graph, exporter] {
                    askForFile(tr("Export %1").arg(graphs_[graph].name),
                               QStringLiteral("exportGraphDialog"), {{graph, exporter}}, 0);
                });
    menu->addSeparator();
    connect(menu->addAction(tr("Copy image")), &QAction::triggered, this,
            [this, graph] { copyImage(graph); });
    return menu;
}

void ExportActions::openGraphDialog() {
    std::vector<Choice> choices;
    for (std::size_t g = 0; g < graphs_.size(); ++g)
        for (const Exporter *exporter : exportersOf(Exporter::Kind::Graph))
            choices.push_back({g, exporter});
    askForFile(tr("Export graph"), QStringLiteral("exportGraphDialog"), choices, lastGraphChoice_,
               true);
}

void ExportActions::openDataDialog() {
    std::vector<Choice> choices;
    for (const Exporter *exporter : exportersOf(Exporter::Kind::Data))
        choices.push_back({NO_GRAPH, exporter});
    askForFile(tr("Export data"), QStringLiteral("exportDataDialog"), choices, 0);
}

void ExportActions::askForFile(const QString &title, const QString &objectName,
                               const std::vector<Choice> &choices, std::size_t preselected,
                               bool rememberChoice) {
    if (choices.empty())
        return;
    QStringList filters;
    for (const Choice &choice : choices)
        filters << (choice.graph == NO_GRAPH
                        ? choice.exporter->nameFilter()
                        : tr("%1 as %2")
                              .arg(graphs_[choice.graph].name, choice.exporter->nameFilter()));
    auto *dialog = new QFileDialog(mainWindow_, title, folder_);
    dialog->setObjectName(objectName);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::NonModal);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    // Replacing is asked afterwards, in a box that does not hold the loops.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setNameFilters(filters);
    dialog->selectNameFilter(
        filters.at(static_cast<int>(std::min(preselected, choices.size() - 1))));
    QCheckBox *captionBox = nullptr;
    if (choices.front().graph != NO_GRAPH) {
        captionBox =
            addCheckBox(dialog, tr("Add a caption: sensor, firmware and time"), "exportCaptionBox");
        if (captionBox)
            captionBox->setChecked(withCaption_);
    }
    connect(
        dialog, &QFileDialog::fileSelected, this,
        [this, dialog, title, filters, choices, captionBox, rememberChoice](const QString &file) {
            const auto index = filters.indexOf(dialog->selectedNameFilter());
            const std::size_t picked = index < 0 ? 0 : static_cast<std::size_t>(index);
            Choice choice = choices[picked];
            // A typed suffix of another format picks that format.
            if (const Exporter *typed = exporterForSuffix(choice.exporter->kind(), file))
                choice.exporter = typed;
            choice.caption = captionBox && captionBox->isChecked();
            const QString path = withSuffix(file, choice.exporter->suffix());
            folder_ = QFileInfo(path).absolutePath();
            if (captionBox)
                withCaption_ = choice.caption;
            if (rememberChoice) {
                for (std::size_t i = 0; i < choices.size(); ++i)
                    if (choices[i].graph == choice.graph && choices[i].exporter == choice.exporter)
                        lastGraphChoice_ = i;
                window::saveExportSettings({static_cast<int>(choice.graph), withCaption_});
            }
            replaceThenExport(title, choice, path);
        });
    dialog->show();
}

void ExportActions::replaceThenExport(const QString &title, const Choice &choice,
                                      const QString &path) {
    if (!QFileInfo::exists(path)) {
        run(choice, path);
        return;
    }
    QMessageBox *box = window::showMessage(
        mainWindow_, QMessageBox::Question, title,
        tr("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(path).fileName()),
        QMessageBox::Yes | QMessageBox::No, QStringLiteral("exportReplaceBox"));
    connect(box, &QMessageBox::buttonClicked, this,
            [this, box, choice, path](QAbstractButton *button) {
                if (box->standardButton(button) == QMessageBox::Yes)
                    run(choice, path);
            });
}

bool ExportActions::run(const Choice &choice, const QString &path) {
    return choice.graph == NO_GRAPH
               ? exportData(*choice.exporter, path)
               : exportGraph(choice.graph, *choice.exporter, path, choice.caption);
}

bool ExportActions::exportGraph(std::size_t graph, const Exporter &exporter, const QString &path,
                                bool withCaption) {
    QString error;
    if (exporter.exportTo(
            Source{plot(graph), exportSize(graph), nullptr, withCaption ? caption() : QString()},
            path, &error))
        return noteExported(path);
    showError(path, error);
    return false;
}

bool ExportActions::exportData(const Exporter &exporter, const QString &path) {
    const GraphData data = graphData();
    QString error;
    if (exporter.exportTo(Source{nullptr, {}, &data, {}}, path, &error))
        return noteExported(path);
    showError(path, error);
    return false;
}

void ExportActions::copyImage(std::size_t graph) {
    if (QCustomPlot *shown = plot(graph)) {
        const QSize size = exportSize(graph);
        QApplication::clipboard()->setImage(shown->toPixmap(size.width(), size.height()).toImage());
    }
}

bool ExportActions::noteExported(const QString &path) {
    window::showWindowNote(mainWindow_, tr("Exported %1").arg(QFileInfo(path).fileName()));
    return true;
}

void ExportActions::showError(const QString &path, const QString &reason) {
    window::showMessage(mainWindow_, QMessageBox::Warning, tr("Export failed"),
                        tr("Could not write %1:\n%2\n\nNothing was written; a file that was "
                           "there is as it was.")
                            .arg(QDir::toNativeSeparators(path), reason),
                        QMessageBox::Close, QStringLiteral("exportErrorBox"));
}

} // namespace exporters

// How the user reaches the exporters: the File menu's items, the question
// before a file is replaced, and the graphs' right-click menus; every dialog
// and box non-modal.
#include "export_test_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QVBoxLayout>

#include "menus/menu_bar.h"
#include "tests/window/temp_settings.h"

using namespace export_test;

namespace {

using ExportUi = WithExport<display_test::PanelTest>;

QStringList Items(QMenu *menu, bool byText = false) {
    QStringList items;
    for (QAction *action : menu->actions())
        items << (action->isSeparator() ? QStringLiteral("-")
                  : byText              ? action->text()
                                        : action->objectName());
    return items;
}

// Runs the event processing and deletes what closed itself.
void Forget() {
    display_test::Settle();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ExportUi, ItemsGoBeforeQuitAndItsSeparatorOrAtTheEnd) {
    QMenu *file = window::menu(Window(), window::TopMenu::File);
    EXPECT_EQ(Items(file), QStringList({"actionExportGraph", "actionExportData"}));
    EXPECT_EQ(file->actions().at(0)->shortcut(), QKeySequence("Ctrl+E"));
    EXPECT_EQ(file->actions().at(1)->shortcut(), QKeySequence("Ctrl+Shift+E"));

    // A File menu that already holds Load and Quit, as another addition makes it.
    QWidget other;
    other.setLayout(new QVBoxLayout);
    QMenu *withQuit = window::menu(&other, window::TopMenu::File);
    withQuit->addAction(QStringLiteral("Load"))->setObjectName(QStringLiteral("actionLoad"));
    withQuit->addSeparator();
    withQuit->addAction(QStringLiteral("Quit"))->setObjectName(QStringLiteral("actionQuit"));
    exporters::ExportActions(&other, panelHandle, GRAPH_Raw, STRIP_Trend, GRAPH_Data)
        .addToFileMenu();
    EXPECT_EQ(Items(withQuit), QStringList({"actionLoad", "actionExportGraph", "actionExportData",
                                            "-", "actionQuit"}));
}

TEST_F(ExportUi, ReplacingAFileIsAskedFirstInABoxThatDoesNotHoldTheLoops) {
    const QByteArray old = "old\n";
    for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        WriteAll(Path("data.csv"), old);
        Find<QAction>("actionExportData")->trigger();
        auto *dialog = Find<QFileDialog>("exportDataDialog");
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible() && dialog->windowModality() == Qt::NonModal);
        // The suffix comes with the format.
        ChooseInDialog(dialog, "CSV table (*.csv)", Path("data"));
        Forget();
        auto *box = Find<QMessageBox>("exportReplaceBox");
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isVisible() && box->windowModality() == Qt::NonModal);
        EXPECT_EQ(ReadAll(Path("data.csv")), old); // not before the answer
        box->button(answer)->click();
        Forget();
        EXPECT_EQ(ReadAll(Path("data.csv")).startsWith("Trend point,"), answer == QMessageBox::Yes);
    }
}

TEST_F(ExportUi, RightClickOnEachGraphOffersItsFormatsAndCopyImage) {
    DriveFrames();
    const struct {
        Graph graph;
        int control;
        const char *pdfFilter;
    } graphs[] = {{EdgeGraph, GRAPH_Raw, "Edge graph as PDF document (*.pdf)"},
                  {TrendChart, STRIP_Trend, "Trend chart as PDF document (*.pdf)"},
                  {VideoGraph, GRAPH_Data, "Video graph as PDF document (*.pdf)"}};
    for (const auto &[graph, control, pdfFilter] : graphs) {
        QWidget *plot = rt::controlWidget(panelHandle, control);
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20),
                                plot->mapToGlobal(QPoint(20, 20)));
        QApplication::sendEvent(plot, &click);
        auto *menu = plot->findChild<QMenu *>(QStringLiteral("graphMenu"));
        ASSERT_NE(menu, nullptr) << control;
        EXPECT_EQ(Items(menu, true), QStringList({"Export as PNG image...",
                                                  "Export as PDF document...", "-", "Copy image"}));
        QApplication::clipboard()->clear();
        menu->actions().at(3)->trigger();
        EXPECT_EQ(QApplication::clipboard()->image().size(), actions->exportSize(graph));

        // The PDF item asks for a file for this graph alone.
        menu->actions().at(1)->trigger();
        auto *dialog = Find<QFileDialog>("exportGraphDialog");
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowModality(), Qt::NonModal);
        EXPECT_EQ(dialog->nameFilters(), QStringList({pdfFilter}));
        dialog->close();
        menu->close();
        Forget();
    }
}

// Settings of the test's own: the graph kept for the next run stays here.
class ExportDialog : public ExportUi {
  protected:
    // File > Export graph..., after the dialogs before it have gone.
    static QFileDialog *OpenGraphDialog() {
        Forget();
        Find<QAction>("actionExportGraph")->trigger();
        return Find<QFileDialog>("exportGraphDialog");
    }

  private:
    window_test::TempSettings settings_;
};

TEST_F(ExportDialog, ATypedSuffixPicksTheFormat) {
    DriveFrames();
    const struct {
        const char *filter, *typed, *written, *magic;
    } cases[] = {
        {"Edge graph as PNG image (*.png)", "a.pdf", "a.pdf", "%PDF-"},
        {"Edge graph as PDF document (*.pdf)", "b.PNG", "b.PNG", "\x89PNG"},
        {"Trend chart as PDF document (*.pdf)", "c", "c.pdf", "%PDF-"},
        {"Trend chart as PNG image (*.png)", "d.jpg", "d.jpg.png", "\x89PNG"},
    };
    for (const auto &c : cases) {
        ChooseInDialog(OpenGraphDialog(), c.filter, Path(c.typed));
        Forget();
        EXPECT_TRUE(ReadAll(Path(c.written)).startsWith(c.magic)) << c.typed;
    }
}

TEST_F(ExportDialog, TheGraphLastChosenStaysChosenAlsoInTheNextRun) {
    DriveFrames();
    ChooseInDialog(OpenGraphDialog(), "Video graph as PDF document (*.pdf)", Path("v"));
    QFileDialog *again = OpenGraphDialog();
    EXPECT_EQ(again->selectedNameFilter(), "Video graph as PDF document (*.pdf)");
    again->close();
    Forget();
    // The next run: the graph is kept, the format is the first.
    delete actions;
    for (const char *item : {"actionExportGraph", "actionExportData"})
        delete Find<QAction>(item);
    actions =
        new exporters::ExportActions(Window(), panelHandle, GRAPH_Raw, STRIP_Trend, GRAPH_Data);
    actions->addToFileMenu();
    EXPECT_EQ(OpenGraphDialog()->selectedNameFilter(), "Video graph as PNG image (*.png)");
}

TEST_F(ExportDialog, TheCaptionCheckBoxPutsALineUnderThePicture) {
    DriveFrames();
    actions->setCaptionSource([] { return QStringLiteral("COM7, firmware V1.0"); });
    QImage pictures[2];
    for (bool caption : {false, true}) {
        QFileDialog *dialog = OpenGraphDialog();
        ASSERT_NE(dialog, nullptr);
        auto *box = dialog->findChild<QCheckBox *>(QStringLiteral("exportCaptionBox"));
        ASSERT_NE(box, nullptr);
        box->setChecked(caption);
        const char *name = caption ? "with.png" : "without.png";
        ChooseInDialog(dialog, "Edge graph as PNG image (*.png)", Path(name));
        Forget();
        pictures[caption] = QImage(Path(name));
        ASSERT_FALSE(pictures[caption].isNull()) << name;
    }
    EXPECT_EQ(pictures[0].size(), pictures[1].size());
    EXPECT_NE(pictures[0], pictures[1]);
    EXPECT_TRUE(actions->caption().startsWith("COM7, firmware V1.0, "));
}

} // namespace

// How the user reaches the exporters: the File menu's items, the question
// before a file is replaced, and the graphs' right-click menus; every dialog
// and box non-modal.
#include "export_test_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QVBoxLayout>

#include "menus/menu_bar.h"

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

} // namespace

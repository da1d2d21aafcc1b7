// How the user reaches the exporters: the File menu's items, their
// non-modal dialogs, the question before a file is replaced, and the graphs'
// right-click menus.
#include "export_test_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QImage>
#include <QMenu>
#include <QVBoxLayout>

#include "window/menu_bar.h"

using namespace export_test;

namespace {

QAction *MenuItem(QMenu *menu, const char *objectName) {
    for (QAction *action : menu->actions())
        if (action->objectName() == QLatin1String(objectName))
            return action;
    return nullptr;
}

QStringList ItemNames(QMenu *menu) {
    QStringList names;
    for (QAction *action : menu->actions())
        names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
    return names;
}

class ExportUi : public ExportTest {
  protected:
    QMenu *FileMenu() const {
        return window::menu(rt::panelWidget(panelHandle), window::TopMenu::File);
    }
    // Opens the dialog from its File menu item and checks that the call did
    // not wait for it.
    QFileDialog *OpenFromMenu(const char *item, const char *dialogName) {
        QAction *action = MenuItem(FileMenu(), item);
        if (!action)
            return nullptr;
        action->trigger();
        auto *dialog =
            rt::panelWidget(panelHandle)->findChild<QFileDialog *>(QLatin1String(dialogName));
        if (dialog) {
            EXPECT_TRUE(dialog->isVisible());
            EXPECT_EQ(dialog->windowModality(), Qt::NonModal);
        }
        return dialog;
    }
    void Choose(QFileDialog *dialog, const QString &filter, const QString &path) {
        ASSERT_TRUE(dialog->nameFilters().contains(filter))
            << dialog->nameFilters().join(QLatin1Char('|')).toStdString();
        dialog->selectNameFilter(filter);
        dialog->selectFile(path);
        static_cast<QDialog *>(dialog)->accept(); // as the Save button does
        Forget();
    }
    // Runs the event processing and deletes what closed itself.
    static void Forget() {
        display_test::Settle();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(ExportUi, FileMenuHasBothItemsWithShortcuts) {
    EXPECT_EQ(ItemNames(FileMenu()), QStringList({"actionExportGraph", "actionExportData"}));
    EXPECT_EQ(MenuItem(FileMenu(), "actionExportGraph")->shortcut(), QKeySequence("Ctrl+E"));
    EXPECT_EQ(MenuItem(FileMenu(), "actionExportData")->shortcut(), QKeySequence("Ctrl+Shift+E"));
}

TEST_F(ExportUi, ItemsGoBeforeQuitAndItsSeparator) {
    // A File menu that already holds Load and Quit, as another addition makes it.
    QWidget *other = new QWidget;
    other->setLayout(new QVBoxLayout);
    QMenu *file = window::menu(other, window::TopMenu::File);
    file->addAction(QStringLiteral("Load"))->setObjectName(QStringLiteral("actionLoad"));
    file->addSeparator();
    file->addAction(QStringLiteral("Quit"))->setObjectName(QStringLiteral("actionQuit"));
    exporters::ExportActions(other, panelHandle, GRAPH_Raw, STRIP_Trend, GRAPH_Data)
        .addToFileMenu();
    EXPECT_EQ(ItemNames(file), QStringList({"actionLoad", "actionExportGraph", "actionExportData",
                                            "-", "actionQuit"}));
    delete other;
}

TEST_F(ExportUi, ExportGraphDialogListsEveryGraphInEveryFormatAndWritesTheChosenOne) {
    DriveFrames();
    QFileDialog *dialog = OpenFromMenu("actionExportGraph", "exportGraphDialog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(
        dialog->nameFilters(),
        QStringList({"Edge graph as PNG image (*.png)", "Edge graph as PDF document (*.pdf)",
                     "Trend chart as PNG image (*.png)", "Trend chart as PDF document (*.pdf)",
                     "Video graph as PNG image (*.png)", "Video graph as PDF document (*.pdf)"}));
    // The suffix comes with the format.
    Choose(dialog, "Video graph as PNG image (*.png)", Path("video"));
    const QImage image(Path("video.png"), "PNG");
    EXPECT_EQ(image.size(), rt::controlWidget(panelHandle, GRAPH_Data)->size());
}

TEST_F(ExportUi, ExportDataDialogWritesCsv) {
    DriveFrames();
    QFileDialog *dialog = OpenFromMenu("actionExportData", "exportDataDialog");
    ASSERT_NE(dialog, nullptr);
    Choose(dialog, "CSV table (*.csv)", Path("data.csv"));
    EXPECT_TRUE(ReadAll(Path("data.csv")).startsWith("Trend point,Upper limit,"));
}

TEST_F(ExportUi, ReplacingAFileIsAskedFirstWithoutHoldingTheEventLoop) {
    const QByteArray old = "old\n";
    const struct {
        QMessageBox::StandardButton answer;
        bool replaced;
    } cases[] = {{QMessageBox::No, false}, {QMessageBox::Yes, true}};
    for (const auto &c : cases) {
        WriteAll(Path("data.csv"), old);
        Choose(OpenFromMenu("actionExportData", "exportDataDialog"), "CSV table (*.csv)",
               Path("data.csv"));
        QMessageBox *box = Box("exportReplaceBox");
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isVisible());
        EXPECT_EQ(box->windowModality(), Qt::NonModal);
        EXPECT_EQ(ReadAll(Path("data.csv")), old); // not before the answer
        box->button(c.answer)->click();
        Forget();
        EXPECT_EQ(ReadAll(Path("data.csv")) != old, c.replaced) << c.answer;
    }
}

TEST_F(ExportUi, RightClickOnEachGraphOffersItsFormatsAndCopyImage) {
    DriveFrames();
    const struct {
        Graph graph;
        int control;
    } graphs[] = {{EdgeGraph, GRAPH_Raw}, {VideoGraph, GRAPH_Data}, {TrendChart, STRIP_Trend}};
    for (const auto &g : graphs) {
        QWidget *plot = rt::controlWidget(panelHandle, g.control);
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20),
                                plot->mapToGlobal(QPoint(20, 20)));
        QApplication::sendEvent(plot, &click);
        auto *menu = plot->findChild<QMenu *>(QStringLiteral("graphMenu"));
        ASSERT_NE(menu, nullptr) << g.control;
        QStringList texts;
        for (QAction *action : menu->actions())
            texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        EXPECT_EQ(texts, QStringList({"Export as PNG image...", "Export as PDF document...", "-",
                                      "Copy image"}));

        QApplication::clipboard()->clear();
        menu->actions().last()->trigger();
        EXPECT_EQ(QApplication::clipboard()->image().size(), actions->exportSize(g.graph));

        // The PDF item asks for a file for this graph alone.
        menu->actions().at(1)->trigger();
        auto *dialog = rt::panelWidget(panelHandle)
                           ->findChild<QFileDialog *>(QStringLiteral("exportGraphDialog"));
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->nameFilters().size(), 1);
        EXPECT_TRUE(dialog->nameFilters().at(0).endsWith(QLatin1String("PDF document (*.pdf)")));
        EXPECT_EQ(dialog->windowModality(), Qt::NonModal);
        dialog->reject();
        menu->close();
        Forget();
    }
}

} // namespace

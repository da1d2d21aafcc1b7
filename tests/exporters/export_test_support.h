// Shared by the export tests: the real panels with the export items attached
// as WinMain attaches them, a folder to export into, and frames driven into
// the graphs the way the loops draw them.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>

#include "display/raw_values.h"
#include "display/trend_chart.h"
#include "display/video_view.h"
#include "exporters/export_actions.h"
#include "glance/window_note.h"
#include "tests/display/display_test_support.h"

namespace export_test {

enum Graph : std::size_t { EdgeGraph, TrendChart, VideoGraph };

inline QByteArray ReadAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteAll(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// Three frames (measured value 250, 260, 270) on the edge graph and the trend
// chart, then one video pass: sample i at pixel 4i, value 7i mod 1024.
inline void DriveFrames() {
    for (unsigned short measured : {250, 260, 270}) {
        tVal = 500, tTol = 40, Mvalue = measured, anaMax = 900, anaMin = 100, anaMode = 1;
        PlotRAWValues();
        PlotRAWGraph();
    }
    for (int i = 0; i < 256; ++i) {
        adcbuf[i] = static_cast<unsigned short>((i * 7) % 1024);
        xArray[i] = static_cast<unsigned short>(4 * i);
        thdArray[i] = 333;
    }
    PlotDATACurve(adcbuf);
    display_test::Settle();
}

// Picks `filter`, types `path` and presses Save. Typed, because selectFile
// leaves a focused name field alone.
inline void ChooseInDialog(QFileDialog *dialog, const QString &filter, const QString &path) {
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(dialog->nameFilters().contains(filter));
    dialog->selectNameFilter(filter);
    auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setText(path);
    static_cast<QDialog *>(dialog)->accept(); // what the Save button calls
}

// A panel fixture of the display tests with the export items attached.
template <class Panels> class WithExport : public Panels {
  protected:
    void SetUp() override {
        Panels::SetUp();
        if (this->HasFatalFailure())
            return;
        ASSERT_TRUE(folder.isValid());
        // The status bar stands under the panels from the start, as in the
        // program, so that an export's note does not resize the graphs.
        window::windowStatusBar(Window());
        actions =
            new exporters::ExportActions(Window(), panelHandle, GRAPH_Raw, STRIP_Trend, GRAPH_Data);
        actions->addToFileMenu();
        actions->addGraphMenus();
    }

    static QWidget *Window() { return rt::panelWidget(panelHandle); }
    template <class T> static T *Find(const char *objectName) {
        return Window()->findChild<T *>(QLatin1String(objectName));
    }
    QString Path(const char *name) const { return folder.filePath(QLatin1String(name)); }

    QTemporaryDir folder;
    exporters::ExportActions *actions = nullptr; // a child of the main window
};

} // namespace export_test

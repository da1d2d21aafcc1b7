// Shared by the export tests: the real panels with the export items attached
// as WinMain attaches them, a folder to export into, and a few frames driven
// into the graphs the way the loops draw them.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>

#include "display/raw_values.h"
#include "display/trend_chart.h"
#include "display/video_view.h"
#include "exporters/export_actions.h"
#include "tests/display/display_test_support.h"

namespace export_test {

enum Graph : std::size_t { EdgeGraph, TrendChart, VideoGraph };

inline QByteArray ReadAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteAll(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class ExportTest : public display_test::PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(folder.isValid());
        actions = new exporters::ExportActions(rt::panelWidget(panelHandle), panelHandle, GRAPH_Raw,
                                               STRIP_Trend, GRAPH_Data);
        actions->addToFileMenu();
        actions->addGraphMenus();
    }

    QString Path(const char *name) const { return folder.filePath(QLatin1String(name)); }

    // Three frames on the edge graph and the trend chart, then one video pass.
    static void DriveFrames() {
        const unsigned short measured[] = {250, 260, 270};
        for (unsigned short m : measured) {
            tVal = 500;
            tTol = 40;
            Mvalue = m;
            anaMax = 900;
            anaMin = 100;
            anaMode = 1;
            Ledge = 300;
            Redge = 700;
            edcnt = 2;
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

    QMessageBox *Box(const char *objectName) const {
        return rt::panelWidget(panelHandle)->findChild<QMessageBox *>(QLatin1String(objectName));
    }

    QTemporaryDir folder;
    exporters::ExportActions *actions = nullptr; // a child of the main window
};

} // namespace export_test

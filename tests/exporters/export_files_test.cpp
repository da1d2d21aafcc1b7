// What the exporters write: pictures of the size shown, the graphs' numbers,
// and nothing lost when the file cannot be written.
#include "export_test_support.h"

#include <QImage>
#include <QRegularExpression>

#include <optional>

#include "exporters/csv_exporter.h"
#include "exporters/graph_exporters.h"
#include "tests/support/full_disk.h"

using namespace export_test;

namespace {

using ExportFiles = WithExport<display_test::PanelTest>;

const exporters::PngExporter PNG;
const exporters::PdfExporter PDF;
const exporters::CsvExporter CSV;

TEST_F(ExportFiles, EachGraphIsAPngOrPdfOfItsShownSize) {
    DriveFrames();
    // The trend chart is hidden behind the video graph: it takes that size.
    const QSize video = rt::controlWidget(panelHandle, GRAPH_Data)->size();
    EXPECT_EQ(actions->exportSize(TrendChart), video);
    EXPECT_EQ(actions->exportSize(VideoGraph), video);
    EXPECT_EQ(actions->exportSize(EdgeGraph), rt::controlWidget(panelHandle, GRAPH_Raw)->size());
    for (Graph g : {EdgeGraph, TrendChart, VideoGraph}) {
        const QSize size = actions->exportSize(g);
        ASSERT_TRUE(actions->exportGraph(g, PNG, Path("g.png"))) << g;
        const QImage image(Path("g.png"), "PNG");
        EXPECT_EQ(image.size(), size) << g;
        int drawn = 0; // pixels of the middle row unlike the corner: axes, curves
        for (int x = 0; x < image.width(); ++x)
            drawn += image.pixel(x, image.height() / 2) != image.pixel(0, 0);
        EXPECT_GT(drawn, 0) << g;

        ASSERT_TRUE(actions->exportGraph(g, PDF, Path("g.pdf"))) << g;
        const QString pdf = QString::fromLatin1(ReadAll(Path("g.pdf")));
        EXPECT_TRUE(pdf.startsWith(QLatin1String("%PDF-1.")) && pdf.size() > 2000) << g;
        EXPECT_TRUE(pdf.trimmed().endsWith(QLatin1String("%%EOF"))) << g;
        EXPECT_TRUE(pdf.contains(
            QRegularExpression(QStringLiteral("/MediaBox \\[0 0 %1(\\.0+)? %2(\\.0+)?\\]")
                                   .arg(size.width())
                                   .arg(size.height()))))
            << g;
    }
}

TEST_F(ExportFiles, CsvHoldsTheTrendHistoryAndTheVideoCurveAsShown) {
    DriveFrames();
    ASSERT_TRUE(actions->exportData(CSV, Path("data.csv")));
    const QStringList sections = QString::fromLatin1(ReadAll(Path("data.csv"))).split("\r\n\r\n");
    ASSERT_EQ(sections.size(), 2);
    QStringList trend = sections[0].split("\r\n"), video = sections[1].split("\r\n");
    ASSERT_EQ(video.takeLast(), ""); // the last line ends too
    EXPECT_EQ(trend.takeFirst(),
              "Trend point,Upper limit,Lower limit,Teach value,Measured value,Selected value");
    EXPECT_EQ(video.takeFirst(), "Video pixel,Video signal,Video threshold");

    const auto traces = rt::stripChartTraces(panelHandle, STRIP_Trend);
    ASSERT_EQ(traces.size(), 5u);
    ASSERT_EQ(trend.size(), 100);
    for (int k = 0; k < 100; ++k) {
        QStringList row = {QString::number(k)};
        for (const auto &trace : traces)
            row << QString::number(trace.at(static_cast<std::size_t>(k)));
        EXPECT_EQ(trend[k], row.join(',')) << k;
    }
    // Oldest first: the three frames last, the start-up zeros before them.
    EXPECT_EQ(trend[96], "96,0,0,0,0,0");
    EXPECT_EQ(trend[97], "97,540,460,500,250,900");
    EXPECT_EQ(trend[99], "99,540,460,500,270,900");

    ASSERT_EQ(video.size(), 256);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(video[i], QStringLiteral("%1,%2,333").arg(4 * i).arg((i * 7) % 1024)) << i;
}

TEST_F(ExportFiles, AWriteErrorSaysWhyAndLeavesTheOldFile) {
    DriveFrames();
    const QByteArray old = "the file that was there\n";
    for (const char *name : {"old.png", "old.pdf", "old.csv", "not-a-folder"})
        WriteAll(Path(name), old);
    const struct {
        const exporters::Exporter &exporter;
        const char *path;
        bool fullDisk;
    } cases[] = {
        {PNG, "not-a-folder/g.png", false},
        {PDF, "not-a-folder/g.pdf", false},
        {CSV, "not-a-folder/d.csv", false},
        {PNG, "old.png", true},
        {PDF, "old.pdf", true},
        {CSV, "old.csv", true},
    };
    for (const auto &c : cases) {
        const QString path = Path(c.path);
        bool written = true;
        {
            std::optional<FullDisk> full;
            if (c.fullDisk)
                full.emplace(64);
            written = &c.exporter == &CSV ? actions->exportData(c.exporter, path)
                                          : actions->exportGraph(EdgeGraph, c.exporter, path);
        }
        EXPECT_FALSE(written) << c.path;
        auto *box = Find<QMessageBox>("exportErrorBox");
        ASSERT_NE(box, nullptr) << c.path;
        EXPECT_TRUE(box->isVisible() && box->windowModality() == Qt::NonModal) << c.path;
        EXPECT_TRUE(box->text().contains(path)) << box->text().toStdString();
        delete box;
    }
    // Every old file as it was, and nothing half-written beside them.
    const QStringList files = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(files.size(), 4) << files.join(' ').toStdString();
    for (const QString &file : files)
        EXPECT_EQ(ReadAll(folder.filePath(file)), old) << file.toStdString();
}

} // namespace

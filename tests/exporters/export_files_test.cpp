// What the exporters write: pictures of the size shown, the graphs' numbers,
// and nothing lost when the file cannot be written.
#include "export_test_support.h"

#include <QImage>
#include <QRegularExpression>
#include <QStringList>

#include <sys/resource.h>

#include <csignal>

#include "exporters/csv_exporter.h"
#include "exporters/graph_exporters.h"

using namespace export_test;

namespace {

const struct {
    const char *name;
    Graph graph;
    int control;
} GRAPHS[] = {
    {"edge graph", EdgeGraph, GRAPH_Raw},
    {"trend chart", TrendChart, STRIP_Trend},
    {"video graph", VideoGraph, GRAPH_Data},
};

TEST_F(ExportTest, PngIsTheGraphAtItsShownSize) {
    DriveFrames();
    for (const auto &g : GRAPHS) {
        const QString path = Path("graph.png");
        ASSERT_TRUE(actions->exportGraph(g.graph, exporters::PngExporter(), path)) << g.name;
        const QImage image(path, "PNG");
        ASSERT_FALSE(image.isNull()) << g.name;
        EXPECT_EQ(image.size(), actions->exportSize(g.graph)) << g.name;
        bool drawn = false; // not one plain colour
        for (int x = 0; x < image.width() && !drawn; ++x)
            drawn = image.pixel(x, image.height() / 2) != image.pixel(0, 0);
        EXPECT_TRUE(drawn) << g.name;
    }
    // The two graphs in one place: the hidden one takes the shown one's size.
    QWidget *video = rt::controlWidget(panelHandle, GRAPH_Data);
    ASSERT_TRUE(video->isVisible());
    EXPECT_FALSE(rt::controlWidget(panelHandle, STRIP_Trend)->isVisible());
    EXPECT_EQ(actions->exportSize(VideoGraph), video->size());
    EXPECT_EQ(actions->exportSize(TrendChart), video->size());
    EXPECT_EQ(actions->exportSize(EdgeGraph), rt::controlWidget(panelHandle, GRAPH_Raw)->size());
}

TEST_F(ExportTest, PdfIsOnePageOfTheGraphsSize) {
    DriveFrames();
    for (const auto &g : GRAPHS) {
        const QString path = Path("graph.pdf");
        ASSERT_TRUE(actions->exportGraph(g.graph, exporters::PdfExporter(), path)) << g.name;
        const QByteArray pdf = ReadAll(path);
        EXPECT_TRUE(pdf.startsWith("%PDF-1.")) << g.name;
        EXPECT_GT(pdf.size(), 2000) << g.name;
        EXPECT_TRUE(pdf.trimmed().endsWith("%%EOF")) << g.name;
        const QSize size = actions->exportSize(g.graph);
        const QRegularExpression box(QStringLiteral("/MediaBox \\[0 0 %1(\\.0+)? %2(\\.0+)?\\]")
                                         .arg(size.width())
                                         .arg(size.height()));
        const QString text = QString::fromLatin1(pdf);
        EXPECT_TRUE(text.contains(box))
            << g.name << ": "
            << text.mid(text.indexOf(QLatin1String("/MediaBox")), 40).toStdString();
    }
}

// The CSV's sections as rows of cells, without their header lines.
struct Csv {
    QStringList trendHeader, videoHeader;
    std::vector<QStringList> trend, video;
};
Csv ParseCsv(const QByteArray &bytes) {
    Csv csv;
    const QStringList sections = QString::fromLatin1(bytes).split(QStringLiteral("\r\n\r\n"));
    if (sections.size() != 2)
        return csv;
    auto rows = [](const QString &section, QStringList &header, std::vector<QStringList> &out) {
        QStringList lines = section.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        header = lines.takeFirst().split(QLatin1Char(','));
        for (const QString &line : lines)
            out.push_back(line.split(QLatin1Char(',')));
    };
    rows(sections[0], csv.trendHeader, csv.trend);
    rows(sections[1], csv.videoHeader, csv.video);
    return csv;
}

TEST_F(ExportTest, CsvHoldsTheTrendHistoryAndTheVideoCurveAsShown) {
    DriveFrames();
    const QString path = Path("data.csv");
    ASSERT_TRUE(actions->exportData(exporters::CsvExporter(), path));
    const Csv csv = ParseCsv(ReadAll(path));

    EXPECT_EQ(csv.trendHeader.join(QLatin1Char(',')),
              "Trend point,Upper limit,Lower limit,Teach value,Measured value,Selected value");
    const auto traces = rt::stripChartTraces(panelHandle, STRIP_Trend);
    ASSERT_EQ(traces.size(), 5u);
    ASSERT_EQ(csv.trend.size(), 100u);
    for (std::size_t k = 0; k < 100; ++k) {
        ASSERT_EQ(csv.trend[k].size(), 6) << k;
        EXPECT_EQ(csv.trend[k][0].toInt(), static_cast<int>(k));
        for (std::size_t t = 0; t < 5; ++t)
            EXPECT_EQ(csv.trend[k][static_cast<int>(t) + 1].toDouble(), traces[t][k]) << k;
    }
    // The three frames are the newest points, oldest first; the history
    // before them is the start-up zeros.
    EXPECT_EQ(csv.trend[97].join(QLatin1Char(',')), "97,540,460,500,250,900");
    EXPECT_EQ(csv.trend[99].join(QLatin1Char(',')), "99,540,460,500,270,900");
    EXPECT_EQ(csv.trend[96].join(QLatin1Char(',')), "96,0,0,0,0,0");

    EXPECT_EQ(csv.videoHeader.join(QLatin1Char(',')), "Video pixel,Video signal,Video threshold");
    ASSERT_EQ(csv.video.size(), 256u);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(csv.video[static_cast<std::size_t>(i)].size(), 3);
        EXPECT_EQ(csv.video[static_cast<std::size_t>(i)].join(QLatin1Char(',')),
                  QStringLiteral("%1,%2,333").arg(4 * i).arg((i * 7) % 1024))
            << i;
    }
}

// Limits the size of files this process writes, so that writing fails as on
// a full disk.
class FullDisk {
  public:
    explicit FullDisk(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old_;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FullDisk() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldSignal_);
    }

  private:
    rlimit old_{};
    void (*oldSignal_)(int) = nullptr;
};

TEST_F(ExportTest, AWriteErrorSaysWhyAndLeavesTheOldFile) {
    DriveFrames();
    const QByteArray old = "the file that was there\n";
    WriteAll(Path("old.png"), old);
    WriteAll(Path("old.pdf"), old);
    WriteAll(Path("old.csv"), old);
    WriteAll(Path("not-a-folder"), old);

    const exporters::PngExporter png;
    const exporters::PdfExporter pdf;
    const exporters::CsvExporter csv;
    const struct {
        const char *name;
        const exporters::Exporter &exporter;
        QString path;
        bool fullDisk;
    } cases[] = {
        {"PNG into a folder that is a file", png, Path("not-a-folder/graph.png"), false},
        {"PDF into a folder that is a file", pdf, Path("not-a-folder/graph.pdf"), false},
        {"CSV into a folder that is a file", csv, Path("not-a-folder/data.csv"), false},
        {"PNG over a file on a full disk", png, Path("old.png"), true},
        {"PDF over a file on a full disk", pdf, Path("old.pdf"), true},
        {"CSV over a file on a full disk", csv, Path("old.csv"), true},
    };
    for (const auto &c : cases) {
        bool written = true;
        {
            std::unique_ptr<FullDisk> full;
            if (c.fullDisk)
                full = std::make_unique<FullDisk>(64);
            written = &c.exporter == &csv ? actions->exportData(c.exporter, c.path)
                                          : actions->exportGraph(EdgeGraph, c.exporter, c.path);
        }
        EXPECT_FALSE(written) << c.name;
        QMessageBox *box = Box("exportErrorBox");
        ASSERT_NE(box, nullptr) << c.name;
        EXPECT_TRUE(box->isVisible()) << c.name;
        EXPECT_EQ(box->windowModality(), Qt::NonModal) << c.name;
        EXPECT_TRUE(box->text().contains(c.path)) << c.name;
        EXPECT_TRUE(box->text().contains(QLatin1String("Nothing was written"))) << c.name;
        delete box;
        if (c.fullDisk) {
            EXPECT_EQ(ReadAll(c.path), old) << c.name;
        } else {
            EXPECT_EQ(ReadAll(Path("not-a-folder")), old) << c.name;
        }
    }
    // Nothing half-written was left beside the files.
    const QStringList files = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(files.size(), 4) << files.join(QLatin1Char(' ')).toStdString();
}

} // namespace

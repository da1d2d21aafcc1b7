// Notes in the status bar for what has no status text of its own: a file
// saved, loaded or exported, a recording stopped; and the recording's mark
// with the frames written so far.
#include "tests/display/display_test_support.h"

#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>

#include <functional>

#include "exporters/export_actions.h"
#include "exporters/exporter.h"
#include "glance/window_note.h"
#include "params/transfer_buttons.h"
#include "record/record_menu.h"
#include "runtime/test_hooks.h"
#include "shell/window_note.h"
#include "stream/publish.h"

using namespace display_test;

namespace {

class Notes : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        window = rt::panelWidget(panelHandle);
        SetWindowNoteHook(ShowWindowNote);
        SetFileSelectHook([this](const FileSelectRequest &, std::string &chosen) {
            chosen = At("set1.dat").toStdString();
            return 1;
        });
    }
    void TearDown() override {
        SetFileSelectHook(nullptr);
        SetWindowNoteHook(nullptr);
        PanelTest::TearDown();
    }
    QString At(const char *name) const { return folder.filePath(QLatin1String(name)); }
    QString Note() const { return window::windowStatusBar(window)->currentMessage(); }
    static void Frames(int count) {
        const unsigned short words[FRAME_WORDS_SEEN] = {400, 600, 500};
        for (int i = 0; i < count; i++)
            FrameDecoded(words);
    }
    static const exporters::Exporter &ExporterOf(exporters::Exporter::Kind kind,
                                                 const char *suffix) {
        for (const exporters::Exporter *exporter : exporters::exportersOf(kind))
            if (exporter->suffix() == QLatin1String(suffix))
                return *exporter;
        throw std::logic_error(suffix);
    }

    QTemporaryDir folder;
    QWidget *window = nullptr;
};

TEST_F(Notes, EachFileActionSaysWhatItDidInPlaceOfAnEarlierNote) {
    exporters::ExportActions exports(window, panelHandle, GRAPH_Raw, STRIP_Trend, GRAPH_Data);
    record::RecordMenu recorder(window, nullptr);
    const struct {
        const char *what;
        std::function<void()> act;
        QString note;
    } cases[] = {
        {"save", SaveParameterFile, "Saved set1.dat"},
        {"load", LoadParameterFile, "Loaded set1.dat"},
        {"graph",
         [&] {
             EXPECT_TRUE(exports.exportGraph(1, ExporterOf(exporters::Exporter::Kind::Graph, "pdf"),
                                             At("trend.pdf")));
         },
         "Exported trend.pdf"},
        {"data",
         [&] {
             EXPECT_TRUE(exports.exportData(ExporterOf(exporters::Exporter::Kind::Data, "csv"),
                                            At("trend.csv")));
         },
         "Exported trend.csv"},
        {"recording",
         [&] {
             ASSERT_TRUE(recorder.startRecording(At("rec.csv")));
             Frames(3);
             recorder.stopRecording();
         },
         "Recording stopped: 3 frames in 0 s"},
    };
    for (const auto &c : cases) {
        window::showWindowNote(window, QStringLiteral("an earlier, unrelated note"));
        c.act();
        EXPECT_EQ(Note().toStdString(), c.note.toStdString()) << c.what;
    }
}

TEST_F(Notes, ARecordingsLengthIsSaidInOneForm) {
    const struct {
        quint64 frames;
        qint64 ms;
        const char *text;
    } cases[] = {
        {1, 999, "Recording stopped: 1 frame in 0 s"},
        {1234, 62'400, "Recording stopped: 1,234 frames in 1 min 02 s"},
        {1234567, 3'723'000, "Recording stopped: 1,234,567 frames in 1 h 02 min 03 s"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(record::RecordMenu::stoppedText(c.frames, c.ms).toStdString(), c.text);
}

TEST_F(Notes, WhileRecordingAMarkCountsTheFramesWritten) {
    record::RecordMenu recorder(window, nullptr);
    ASSERT_TRUE(recorder.startRecording(At("rec.csv")));
    Frames(1234);
    QTest::qWait(record::Recording::WRITE_INTERVAL_MS + 2 * record::RecordMenu::MARK_REFRESH_MS);
    auto *mark = window->findChild<QLabel *>(QStringLiteral("statusRecording"));
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(mark->text().toStdString(), "\u25cf REC 1,234 frames");
    EXPECT_FALSE(mark->isHidden());
    recorder.stopRecording();
    EXPECT_TRUE(mark->isHidden());
}

} // namespace

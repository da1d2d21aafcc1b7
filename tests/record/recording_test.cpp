// Recording against a scripted sensor: what the files hold after the Run and
// Data loops, a write error and a disk that fills, what the window shows, the
// question before files are replaced, and the File menu.
#include "../display/display_test_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <optional>

#include "display/live_loop.h"
#include "display/video_loop.h"
#include "menus/file_menu.h"
#include "menus/menu_bar.h"
#include "params/parameter_table.h"
#include "params/transfer_buttons.h"
#include "record/frame_csv.h"
#include "record/record_menu.h"
#include "runtime/test_hooks.h"
#include "stream/publish.h"
#include "tests/support/full_disk.h"

using namespace display_test;
using namespace std::chrono_literals;

namespace {

std::vector<std::string> Lines(const QString &path) {
    QFile file(path);
    std::vector<std::string> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (!line.isEmpty())
            lines.push_back(line.toStdString());
    return lines;
}

QJsonObject Json(const QString &path) {
    QFile file(path);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(
        file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << path.toStdString();
    return document.object();
}

record::FrameValues Values(const Frame &f) {
    const sim::Words w = f.words();
    record::FrameValues v{};
    std::copy(w.begin(), w.begin() + v.size(), v.begin());
    return v;
}

class Recording : public SensorTest {
  protected:
    void SetUp() override {
        SensorTest::SetUp();
        if (HasFatalFailure())
            return;
        window = rt::panelWidget(panelHandle);
        AttachFileMenu(panelHandle, LoadParameterFile, SaveParameterFile);
        AttachRecording(panelHandle, TEXT_Status);
        recorder = window->findChild<record::RecordMenu *>();
        ASSERT_NE(recorder, nullptr);
        path = dir.filePath("frames.csv");
    }
    void TearDown() override {
        SetFileSelectHook(nullptr);
        SensorTest::TearDown();
    }

    // Runs `loop` until the sensor has had `frameOrders` frame requests, then
    // clicks Stop.
    void RunUntil(std::size_t frameOrders, CtrlCallbackPtr loop,
                  const std::function<void()> &meanwhile = {}) {
        Poller stopper([&] {
            if (CountOrders(sim::order::Frame) < frameOrders)
                return false;
            if (meanwhile)
                meanwhile();
            ClickStop();
            return true;
        });
        SafetyStop safety(8000);
        loop(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0);
        EXPECT_FALSE(safety.fired());
        EXPECT_TRUE(stopper.done());
    }

    QAction *Item(const char *name) const { return window->findChild<QAction *>(name); }

    QTemporaryDir dir;
    QString path;
    QWidget *window = nullptr;
    record::RecordMenu *recorder = nullptr;
};

TEST_F(Recording, HoldsEveryFrameTheLiveLoopTookInWordOrder) {
    std::vector<Frame> sent;
    for (std::uint16_t base = 1000; base <= 5000; base += 1000) {
        sent.push_back(DistinctFrame(base));
        sensor->script(sim::order::Frame, sent.back().reply(), 0ms,
                       sim::ScriptedSensor::Repeat::Once);
    }
    sensor->script(sim::order::Frame, Frame{}.reply());
    ASSERT_TRUE(recorder->startRecording(path));

    RunUntil(8, CC_BTNRun);
    recorder->stopRecording();

    const auto lines = Lines(path);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], record::frameHeader());
    // One line per reply the loop took: each request but perhaps the last.
    const std::size_t requests = CountOrders(sim::order::Frame);
    EXPECT_GE(lines.size() - 1, requests - 1);
    EXPECT_LE(lines.size() - 1, requests);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        record::FrameRecord got;
        std::string problem;
        ASSERT_TRUE(record::parseFrameLine(lines[i], got, problem)) << lines[i] << ": " << problem;
        const Frame expected = i <= sent.size() ? sent[i - 1] : Frame{};
        EXPECT_EQ(got.values, Values(expected)) << "line " << i;
    }
}

// Beside the frame file: the sensor the window holds at the start (its
// firmware text, Windows-1252, as UTF-8), and at the stop the end and the
// frames written.
TEST_F(Recording, TheDescriptionBesideItNamesTheSensorAndAtTheStopTheEndAndTheFrames) {
    sensor->script(sim::order::Frame, Frame{}.reply());
    std::snprintf(szVersion, sizeof szVersion, "%s", "FW \"2.07\"\x01\xB5\x80");
    ccdtype = 2;
    ccdresolution = 750;
    ccdmaxpixel = 1024;
    for (int i = 0; i < PNUM; ++i)
        *parameterTable[i].var = static_cast<unsigned short>(100 + i);
    ASSERT_TRUE(recorder->startRecording(path));
    const QString json = dir.filePath("frames.json");
    const QJsonObject started = Json(json);

    const QRegularExpression time(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)");
    EXPECT_EQ(started["program"].toString(), "vexa-tb-scope");
    EXPECT_FALSE(started["version"].toString().isEmpty());
    EXPECT_EQ(started["port"].toString().toStdString(), sensor->slavePath());
    EXPECT_EQ(started["firmware"].toString(), QString::fromUtf8("FW \"2.07\"\u0001\u00B5\u20AC"));
    const QJsonObject ccd = started["ccd"].toObject();
    EXPECT_EQ(ccd["description"].toString(),
              QString::fromUtf8("CCD-SENSOR: 1024 pixel; 25\u00B5m pixel-pitch, opt.-lense, 75mm "
                                "working range"));
    EXPECT_EQ(ccd["type"].toInt(), 2);
    EXPECT_EQ(ccd["pixels"].toInt(), 1024);
    EXPECT_EQ(ccd["resolution"].toInt(), 750);
    EXPECT_DOUBLE_EQ(ccd["mmPerPixel"].toDouble(), 75.0 / 1024);
    const QJsonObject parameters = started["parameters"].toObject();
    EXPECT_EQ(parameters.size(), PNUM);
    EXPECT_EQ(parameters["power"].toInt(), 100);
    EXPECT_EQ(parameters["vThd"].toInt(), 102);
    EXPECT_EQ(parameters["para15"].toInt(), 115);
    EXPECT_TRUE(time.match(started["start"].toString()).hasMatch())
        << started["start"].toString().toStdString();
    EXPECT_TRUE(started["end"].isNull());
    EXPECT_TRUE(started["frames"].isNull());

    RunUntil(4, CC_BTNRun);
    recorder->stopRecording();
    const QJsonObject ended = Json(json);
    EXPECT_EQ(ended["start"], started["start"]);
    EXPECT_EQ(ended["parameters"], started["parameters"]);
    EXPECT_TRUE(time.match(ended["end"].toString()).hasMatch());
    EXPECT_GE(ended["end"].toString(), ended["start"].toString());
    EXPECT_EQ(ended["frames"].toInt(), static_cast<int>(Lines(path).size()) - 1);
    EXPECT_GE(ended["frames"].toInt(), 3);
}

TEST_F(Recording, TheDataLoopWritesAFrameLineAndAVideoLinePerPass) {
    for (std::uint16_t base = 1000; base <= 3000; base += 1000)
        sensor->script(sim::order::Frame, DistinctFrame(base).reply(), 0ms,
                       sim::ScriptedSensor::Repeat::Once);
    sensor->script(sim::order::Frame, Frame{}.reply());
    sensor->script(sim::order::Video, VideoBlock(500));
    ccdMode = 0; // full line: the samples lie at 0, 4, ... 1020
    ASSERT_TRUE(recorder->startRecording(path));

    RunUntil(3, CC_BTNData);
    recorder->stopRecording();

    const std::size_t passes = CountOrders(sim::order::Frame);
    const auto frames = Lines(path);
    const auto video = Lines(QString::fromStdString(record::videoPathFor(path.toStdString())));
    ASSERT_EQ(frames.size(), passes + 1);
    ASSERT_EQ(video.size(), passes + 1);
    EXPECT_EQ(video[0], record::videoHeader());
    record::FrameRecord frame;
    record::VideoRecord pass;
    std::string problem;
    ASSERT_TRUE(record::parseFrameLine(frames[2], frame, problem)) << problem;
    EXPECT_EQ(frame.values, Values(DistinctFrame(2000)));
    for (std::size_t i = 1; i <= passes; ++i) {
        ASSERT_TRUE(record::parseVideoLine(video[i], pass, problem)) << problem;
        for (std::size_t k = 0; k < record::VIDEO_SAMPLES; ++k) {
            ASSERT_EQ(pass.x[k], 4 * k) << "pass " << i << " sample " << k;
            ASSERT_EQ(pass.y[k], 500) << "pass " << i << " sample " << k;
        }
    }
}

TEST_F(Recording, AWriteErrorEndsTheRecordingWithAMessageAndTheLoopGoesOn) {
    sensor->script(sim::order::Frame, Frame{}.reply(), 5ms);
    ASSERT_TRUE(recorder->startRecording(QStringLiteral("/dev/full")));
    std::size_t requestsAtFailure = 0;
    Poller stopper([&] {
        if (recorder->recording().isActive())
            return false;
        if (requestsAtFailure == 0)
            requestsAtFailure = CountOrders(sim::order::Frame);
        if (CountOrders(sim::order::Frame) < requestsAtFailure + 3)
            return false;
        ClickStop();
        return true;
    });
    SafetyStop safety(8000);
    CC_BTNRun(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_FALSE(safety.fired());
    EXPECT_TRUE(stopper.done());
    EXPECT_NE(StatusText(), "Timeout RS232-Line!");

    auto *box = window->findChild<QMessageBox *>("recordingMessage");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_NE(box->windowModality(), Qt::ApplicationModal);
    EXPECT_TRUE(box->text().contains("/dev/full")) << box->text().toStdString();
    EXPECT_TRUE(box->text().contains("Recording stopped")) << box->text().toStdString();
    EXPECT_FALSE(Item("actionRecordFrames")->isChecked());
    EXPECT_FALSE(window->windowTitle().contains("recording"));
}

// The disk fills in the middle of a write: the message gives the system's
// reason, and the file keeps the whole lines written before.
TEST(RecordingOnAFullDisk, SaysWhyAndKeepsTheWholeLinesWrittenBefore) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("small"));
    const struct {
        const char *what;
        bool smallDisk; // else a file size limit
        const char *reason;
    } cases[] = {
        {"file size limit", false, std::strerror(EFBIG)},
        {"full tmpfs", true, std::strerror(ENOSPC)},
    };
    for (const auto &c : cases) {
        const SmallDisk disk(dir.filePath("small").toStdString(), "64k");
        if (c.smallDisk && !disk.mounted()) {
            std::printf("[ SKIPPED  ] %s: cannot mount a tmpfs here\n", c.what);
            continue;
        }
        const QString file = dir.filePath(c.smallDisk ? "small/frames.csv" : "frames.csv");
        record::Recording recording;
        QString message;
        QObject::connect(&recording, &record::Recording::failed,
                         [&](const QString &text) { message = text; });
        QString problem;
        ASSERT_TRUE(recording.start(file, problem)) << c.what << ": " << problem.toStdString();
        const record::FrameValues values{290, 435, 435, 512, 100, 1, 2, 641, 636, 145, 435, 435};
        for (int i = 0; i < 10; ++i)
            recording.addFrame(values);
        ASSERT_TRUE(recording.writeOut()) << c.what;
        const qint64 whole = QFileInfo(file).size();
        {
            std::optional<FullDisk> full;
            if (!c.smallDisk)
                full.emplace(whole + 1000); // cut in the middle of the next write
            for (int i = 0; i < 5000 && recording.isActive(); ++i)
                recording.addFrame(values);
            recording.writeOut();
        }
        EXPECT_FALSE(recording.isActive()) << c.what;
        EXPECT_TRUE(message.contains(file) && message.endsWith(c.reason))
            << c.what << ": " << message.toStdString();
        EXPECT_EQ(QFileInfo(file).size(), whole) << c.what;
    }
}

// A description the disk refuses is said and leaves nothing half written,
// and the frames go on: refused at the start, there is none (not even an
// earlier recording's); refused at the stop, the one of the start stays.
TEST(RecordingOnAFullDisk, ItsDescriptionIsWrittenWholeOrNotAtAll) {
    const record::FrameValues values{290, 435, 435, 512, 100, 1, 2, 641, 636, 145, 435, 435};
    for (const bool atStart : {true, false}) {
        QTemporaryDir dir;
        const QString file = dir.filePath("frames.csv"), json = dir.filePath("frames.json");
        QFile earlier(json);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("{}") == 2);
        earlier.close();
        record::Recording recording;
        QString message, problem;
        QObject::connect(&recording, &record::Recording::failed,
                         [&](const QString &text) { message = text; });
        ASSERT_TRUE(recording.start(file, problem));
        std::optional<FullDisk> full;
        if (atStart)
            full.emplace(300); // room for the frames, not for a description
        EXPECT_EQ(recording.describe(record::Description{}, problem), !atStart);
        full.emplace(300);
        recording.addFrame(values);
        recording.stop();
        full.reset();

        const QStringList expected =
            atStart ? QStringList{"frames.csv"} : QStringList{"frames.csv", "frames.json"};
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), expected);
        const QString said = atStart ? problem : message;
        EXPECT_TRUE(said.contains(json) && said.endsWith(std::strerror(EFBIG)))
            << said.toStdString();
        EXPECT_EQ(Lines(file).size(), 2u);
        if (!atStart) {
            EXPECT_TRUE(Json(json)["end"].isNull());
        }
    }
}

TEST_F(Recording, AFileThatCannotBeOpenedIsRefusedWithAMessage) {
    EXPECT_FALSE(recorder->startRecording(dir.filePath("gone/frames.csv")));
    auto *box = window->findChild<QMessageBox *>("recordingMessage");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().contains("gone/frames.csv"));
    EXPECT_FALSE(Item("actionRecordFrames")->isChecked());
}

TEST_F(Recording, TitleAndTooltipSayWhereItRecordsAndKeepOtherTooltips) {
    QWidget *status = rt::controlWidget(panelHandle, TEXT_Status);
    const QString title = window->windowTitle();
    ASSERT_TRUE(recorder->startRecording(path));
    EXPECT_EQ(window->windowTitle(), title + " - recording to frames.csv");
    EXPECT_TRUE(
        status->toolTip().endsWith("Recording frames to " + QDir::toNativeSeparators(path)));
    EXPECT_TRUE(Item("actionRecordFrames")->isChecked());
    const std::string statusText = StatusText();

    status->setToolTip("the port is in use"); // as a failed open shows it
    EXPECT_EQ(status->toolTip(), "the port is in use\nRecording frames to " + path);

    Item("actionRecordFrames")->trigger(); // unchecks: ends the recording
    EXPECT_FALSE(recorder->recording().isActive());
    EXPECT_EQ(window->windowTitle(), title);
    EXPECT_EQ(status->toolTip(), "the port is in use");
    EXPECT_EQ(StatusText(), statusText); // the status line's text is left alone
}

TEST_F(Recording, RecordFramesAsksWithANonModalDialogForADatedFile) {
    Item("actionRecordFrames")->trigger();
    auto *dialog = window->findChild<QFileDialog *>("recordFramesDialog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_NE(dialog->windowModality(), Qt::ApplicationModal);
    ASSERT_EQ(dialog->selectedFiles().size(), 1);
    EXPECT_TRUE(QRegularExpression("/vexa-frames-\\d{8}-\\d{6}\\.csv$")
                    .match(dialog->selectedFiles().first())
                    .hasMatch())
        << dialog->selectedFiles().first().toStdString();

    dialog->selectFile(path);
    QMetaObject::invokeMethod(dialog, "accept"); // as the Save button does
    EXPECT_TRUE(recorder->recording().isActive());
    EXPECT_EQ(recorder->recording().framesPath(), path);
}

// The video file beside the frame file is replaced as well: one question
// names whichever of the two is there, and "No" leaves both alone.
TEST_F(Recording, ReplacingTheFrameVideoEventOrDescriptionFileIsAskedInOneQuestion) {
    const QString video = QString::fromStdString(record::videoPathFor(path.toStdString()));
    const QString events = QString::fromStdString(record::eventsPathFor(path.toStdString()));
    const QString json = dir.filePath("frames.json");
    const struct {
        bool frames, video, events, description;
        const char *question; // nullptr: none, the recording starts
    } cases[] = {
        {false, false, false, false, nullptr},
        {true, false, false, false, "frames.csv already exists.\nDo you want to replace it?"},
        {false, true, false, false, "frames-video.csv already exists.\nDo you want to replace it?"},
        {false, false, true, false,
         "frames-events.csv already exists.\nDo you want to replace it?"},
        {false, false, false, true, "frames.json already exists.\nDo you want to replace it?"},
        {true, true, false, false,
         "frames.csv and frames-video.csv already exist.\nDo you want to replace them?"},
        {true, true, true, true,
         "frames.csv, frames-video.csv, frames-events.csv and frames.json already exist.\nDo "
         "you want to replace them?"},
    };
    // Record frames... with `path` picked: the replace question, if one is asked.
    const auto pickPath = [this] {
        Item("actionRecordFrames")->trigger();
        auto *dialog = window->findChild<QFileDialog *>("recordFramesDialog");
        EXPECT_NE(dialog, nullptr);
        if (dialog) {
            dialog->selectFile(path);
            QMetaObject::invokeMethod(dialog, "accept");
        }
        Settle();
        return window->findChild<QMessageBox *>("recordReplaceQuestion");
    };
    for (const auto &c : cases) {
        for (const auto &[there, file] :
             {std::pair{c.frames, path}, std::pair{c.video, video}, std::pair{c.events, events},
              std::pair{c.description, json}}) {
            QFile::remove(file);
            QFile f(file);
            if (there && f.open(QIODevice::WriteOnly))
                f.write("kept\n");
        }
        auto *box = pickPath();
        EXPECT_EQ(box != nullptr, c.question != nullptr) << c.frames << c.video << c.events;
        EXPECT_EQ(recorder->recording().isActive(), c.question == nullptr)
            << c.frames << c.video << c.events;
        if (box) {
            EXPECT_EQ(box->text().toStdString(), c.question);
            EXPECT_NE(box->windowModality(), Qt::ApplicationModal);
            box->button(QMessageBox::No)->click();
            Settle();
            EXPECT_FALSE(recorder->recording().isActive());
            for (const QString &file : {path, video, events, json})
                EXPECT_TRUE(!QFile::exists(file) || Lines(file) == std::vector<std::string>{"kept"})
                    << file.toStdString();
        }
        recorder->stopRecording();
    }

    // Answered Yes, the old video file goes as the recording starts: a replay
    // must never pair the new frames with the video of an earlier recording.
    auto *box = pickPath();
    ASSERT_NE(box, nullptr);
    box->button(QMessageBox::Yes)->click();
    Settle();
    EXPECT_TRUE(recorder->recording().isActive());
    EXPECT_FALSE(QFile::exists(video));
    recorder->stopRecording();
}

// The program's supervision's events go to <base>-events.csv while the
// recording runs, and only then.
TEST_F(Recording, TheLinesEventsGoToTheEventLogBesideTheFrameFile) {
    unsigned short words[FRAME_WORDS_SEEN] = {};
    words[FRAME_TVAL] = 512;
    words[FRAME_TTOL] = 100;
    const auto frame = [&words](unsigned short mvalue) {
        words[FRAME_MVALUE] = mvalue;
        FrameDecoded(words);
    };
    frame(500); // inside: ends what an earlier test may have left outside
    ASSERT_TRUE(recorder->startRecording(path));
    frame(700);
    frame(500);
    recorder->stopRecording();
    frame(700); // after the recording: in no file
    frame(500);

    const auto lines = Lines(QString::fromStdString(record::eventsPathFor(path.toStdString())));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "time,kind,Mvalue,lower,upper,duration_ms,extreme");
    EXPECT_NE(lines[1].find(",out of tolerance,700,412,612,,"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find(",back in tolerance,500,412,612,"), std::string::npos) << lines[2];
    EXPECT_EQ(lines[2].substr(lines[2].rfind(',')), ",700") << lines[2];
}

TEST_F(Recording, FileMenuHoldsItsItemsInOrderWithTheirShortcuts) {
    QMenu *file = window::menu(window, window::TopMenu::File);
    ASSERT_NE(file, nullptr);
    QStringList names;
    for (QAction *a : file->actions())
        if (!a->isSeparator())
            names << a->objectName();
    EXPECT_EQ(names, QStringList({"actionLoadParameters", "actionSaveParameters",
                                  "actionRecordFrames", "actionQuit"}));
    EXPECT_EQ(Item("actionLoadParameters")->shortcut(), QKeySequence(QKeySequence::Open));
    EXPECT_EQ(Item("actionSaveParameters")->shortcut(), QKeySequence(QKeySequence::Save));
    EXPECT_EQ(Item("actionQuit")->shortcut(), QKeySequence(QKeySequence::Quit));
    EXPECT_TRUE(Item("actionRecordFrames")->isCheckable());
}

struct MenuFileItem {
    const char *action;
    int buttonLabel; // of the dialog it opens when nothing runs
};

TEST_F(Recording, MenuLoadAndSaveAreRefusedLikeTheButtonsWhileALoopRuns) {
    const MenuFileItem items[] = {{"actionLoadParameters", VAL_LOAD_BUTTON},
                                  {"actionSaveParameters", VAL_OK_BUTTON}};
    for (const MenuFileItem &item : items) {
        int dialogs = 0, label = -1;
        SetFileSelectHook([&](const FileSelectRequest &request, std::string &) {
            ++dialogs;
            label = request.buttonLabel;
            return 0; // cancelled
        });
        sensor->script(sim::order::Frame, Frame{}.reply(), 5ms);
        sensor->clearRequests();
        std::string statusWhileRunning;
        RunUntil(3, CC_BTNRun, [&] {
            Item(item.action)->trigger();
            statusWhileRunning = StatusText();
        });
        EXPECT_EQ(statusWhileRunning, "Busy - press Stop or wait!") << item.action;
        EXPECT_EQ(dialogs, 0) << item.action;

        Item(item.action)->trigger(); // nothing runs now
        EXPECT_EQ(dialogs, 1) << item.action;
        EXPECT_EQ(label, item.buttonLabel) << item.action;
    }
}

} // namespace

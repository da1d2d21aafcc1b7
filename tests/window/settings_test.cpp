// The settings file, the folder the parameter file dialogs open in, and the
// notes a Send leaves in the status bar.
#include "tests/display/display_test_support.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <string>
#include <vector>

#include "glance/window_note.h"
#include "runtime/dialog_folders.h"
#include "runtime/test_hooks.h"
#include "shell/window_note.h"
#include "tests/window/temp_settings.h"
#include "window/file_folders.h"
#include "window/settings.h"

using namespace display_test;

namespace {

constexpr int BTNSend = 42; // known to the program only by its callback

TEST(Settings, WhatIsSavedIsReadBackAndAGarbageFileGivesTheDefaults) {
    window_test::TempSettings settings;
    QTemporaryDir folder;
    window::saveCcdWindowPosition(QPoint(-12, 345));
    window::saveFileFolder(folder.path());
    EXPECT_EQ(window::savedCcdWindowPosition(), QPoint(-12, 345));
    EXPECT_EQ(window::savedFileFolder(), folder.path());

    QFile file(settings.file());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[ccdSettingsWindow]\nposition=@Point(1 2 3\n[parameterFiles]\n"
               "lastFolder=@Rect(\xff\xfe\n\x00\x01garbage\n",
               90);
    file.close();
    EXPECT_FALSE(window::savedCcdWindowPosition().has_value());
    EXPECT_TRUE(window::savedFileFolder().isEmpty());
}

// Send with the File target, the file dialog answered by the test.
class SendToFile : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        AttachFileFolders();
        SetWindowNoteHook(ShowWindowNote);
        SetFileSelectHook([this](const FileSelectRequest &request, std::string &chosen) {
            asked_.push_back(request.directory);
            chosen = pick_;
            return pick_.empty() ? 0 : 2;
        });
        target = DATFILE;
    }
    void TearDown() override {
        SetFileSelectHook(nullptr);
        SetWindowNoteHook(nullptr);
        rt::setDialogFolders({});
        PanelTest::TearDown();
    }
    static void clickSend() {
        QTest::mouseClick(rt::controlWidget(panelHandle, BTNSend), Qt::LeftButton);
        Settle();
    }
    static QString note() {
        const auto *bar = rt::panelWidget(panelHandle)->findChild<QStatusBar *>();
        return bar ? bar->currentMessage() : QStringLiteral("<no status bar>");
    }

    window_test::TempSettings settings_;
    std::vector<std::string> asked_;
    std::string pick_;
};

TEST_F(SendToFile, AnUnwritableProgramFolderGivesTheDocumentsThenTheFolderLastUsed) {
    std::snprintf(proj_dir, sizeof proj_dir, "%s", "/nonexistent/vexa-install");
    QTemporaryDir chosen;
    pick_ = chosen.filePath(QStringLiteral("mine.dat")).toStdString();
    clickSend();
    pick_.clear();
    clickSend(); // cancelled
    ASSERT_EQ(asked_.size(), 2u);
    EXPECT_EQ(asked_[0],
              QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString());
    EXPECT_EQ(asked_[1], chosen.path().toStdString());
}

TEST_F(SendToFile, ACancelledSaveSaysSoAndASaveSaysItSaved) {
    QTemporaryDir program;
    std::snprintf(proj_dir, sizeof proj_dir, "%s", qPrintable(program.path()));
    clickSend();
    EXPECT_EQ(note(), QStringLiteral("Send: cancelled"));
    EXPECT_EQ(StatusText(), "Transmit...");
    EXPECT_EQ(asked_.at(0), std::string(proj_dir)); // a writable program folder stays
    QTemporaryDir folder;
    pick_ = folder.filePath(QStringLiteral("p.dat")).toStdString();
    clickSend();
    EXPECT_EQ(note(), QStringLiteral("Saved p.dat"));
}

// The note names the file as the system spells it, also beyond Latin-1.
TEST_F(SendToFile, AFailedSaveNamesTheFileInTheNoteAsItIsSpelt) {
    QTemporaryDir folder;
    const QString missing = folder.filePath(QStringLiteral("Prüfstand \u0416/p.dat"));
    pick_ = missing.toStdString();
    clickSend();
    EXPECT_EQ(StatusText(), "Cannot write parameter file!");
    EXPECT_TRUE(note().startsWith(missing)) << note().toStdString();
}

TEST_F(SendToFile, ASendOnAPortThatIsNotOpenSaysNothingWasWritten) {
    target = RAM;
    com = TEST_PORT; // never opened here
    clickSend();
    EXPECT_EQ(note(), QStringLiteral("Send: nothing written - port not open"));
    EXPECT_EQ(StatusText(), "Transmit...");
}

} // namespace

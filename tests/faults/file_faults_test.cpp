// Parameter files as users meet them: a result text that must not outlive
// its error, why a save or load failed, paths the program cannot hold, a
// file saved with a byte-order mark, and the question before a file is
// replaced.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "params/transfer_buttons.h"
#include "shell/status_line.h"
#include "shell/window_note.h"
#include "tests/params_callbacks/panel_fixture.h"
#include "tests/support/full_disk.h"

namespace {

using namespace params_test;

std::string g_note; // what the window's status bar would show

// A reader blocked in opening a FIFO would hold the test for good: after a
// few seconds a writer comes, so that such a reader shows as slow instead.
class FifoWriterLater {
  public:
    explicit FifoWriterLater(const std::string &fifo)
        : thread_([this, fifo] {
              const auto due = std::chrono::steady_clock::now() + std::chrono::seconds(3);
              while (!done_) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
                  const int fd = std::chrono::steady_clock::now() < due
                                     ? -1
                                     : ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
                  if (fd >= 0) {
                      (void)!::write(fd, "1\n", 2);
                      ::close(fd);
                  }
              }
          }) {}
    ~FifoWriterLater() {
        done_ = true;
        thread_.join();
    }

  private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

class ParameterFiles : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        target = DATFILE;
        std::snprintf(szStatus, sizeof szStatus, "%s", "V-EXA-TB FW 2.07");
        g_note.clear();
        SetWindowNoteHook([](int, const char *text) { g_note = text; });
    }
    void TearDown() override {
        SetWindowNoteHook(nullptr);
        PanelTest::TearDown();
    }
    void answerWith(const std::string &chosen, int result = 1) {
        SetFileSelectHook([=](const FileSelectRequest &, std::string &path) {
            path = chosen;
            return result;
        });
    }
    void save(const std::string &file, int result = 1) {
        answerWith(file, result);
        CC_BTNSend(panelHandle, 0, EVENT_LEFT_CLICK, nullptr, 0, 0);
        settle();
    }
    void load(const std::string &file, int result = 1) {
        answerWith(file, result);
        CC_BTNGet(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0);
        settle();
    }
    void writeFile(const std::string &file, const std::string &text) {
        std::ofstream(file, std::ios::binary) << text;
    }
    std::string goodFile() {
        const std::string file = path("good.dat");
        writeFile(file, "800\n1\n600\n70\n0\n2\n10\n900\n400\n50\n0\n0\n1\n200\n2\n1100\n");
        return file;
    }
};

TEST_F(ParameterFiles, AnErrorTextIsNotShownAgainAfterALaterSuccess) {
    const std::string missing = path("missing.dat");
    const std::string unwritable = path("no-such-folder/p.dat");
    // failed action, later successful action, what the status line must not show
    const struct {
        const char *what;
        std::function<void()> fail, succeed;
        const char *error, *done;
    } cases[] = {
        {"load after a failed load", [&] { load(missing); }, [&] { load(goodFile()); },
         "Cannot read parameter file!", "Loaded good.dat"},
        {"load after a failed save", [&] { save(unwritable); }, [&] { load(goodFile()); },
         "Cannot write parameter file!", "Loaded good.dat"},
        {"save after a failed save", [&] { save(unwritable); }, [&] { save(path("ok.dat")); },
         "Cannot write parameter file!", "Saved ok.dat"},
        {"save after a failed load", [&] { load(missing); }, [&] { save(path("ok2.dat")); },
         "Cannot read parameter file!", "Saved ok2.dat"},
    };
    for (const auto &c : cases) {
        std::snprintf(szStatus, sizeof szStatus, "%s", "V-EXA-TB FW 2.07");
        c.fail();
        EXPECT_STREQ(szStatus, c.error) << c.what;
        EXPECT_FALSE(g_note.empty()) << c.what;
        c.succeed();
        EXPECT_EQ(g_note, c.done) << c.what; // what worked, in place of the reason
        EXPECT_STRNE(szStatus, c.error) << c.what;
        EXPECT_NE(statusLine(), c.error) << c.what;
        ShowStatus(); // whatever shows the result later
        EXPECT_EQ(statusLine(), "V-EXA-TB FW 2.07") << c.what;
    }
}

// The status line keeps the program's text; the note beside it gives the
// path and the system's reason. A full disk never empties the file that was
// there, and a FIFO is refused at once, never waited for.
TEST_F(ParameterFiles, AFailedSaveOrLoadSaysWhyAndKeepsWhatWasThere) {
    const std::string kept = path("kept.dat"), fifo = path("fifo.dat");
    const std::string old = "the file that was there\n";
    const char *write = "Cannot write parameter file!", *read = "Cannot read parameter file!";
    const struct {
        const char *what;
        bool saving;
        std::string file;
        rlim_t fileSizeLimit; // 0: none
        const char *status;
        std::string reason;
    } cases[] = {
        {"save on a full disk", true, kept, 20, write, std::strerror(EFBIG)},
        {"save into a missing folder", true, path("gone/p.dat"), 0, write, std::strerror(ENOENT)},
        {"save over a FIFO", true, fifo, 0, write, "not a regular file"},
        {"load of a missing file", false, path("missing.dat"), 0, read, std::strerror(ENOENT)},
        {"load of a FIFO", false, fifo, 0, read, "not a regular file"},
        {"load of a folder", false, dir_, 0, read, "not a regular file"},
        {"load of a file without numbers", false, kept, 0, read, "not sixteen readable numbers"},
    };
    for (const auto &c : cases) {
        writeFile(kept, old);
        std::remove(fifo.c_str());
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        std::snprintf(szStatus, sizeof szStatus, "%s", "V-EXA-TB FW 2.07");
        g_note.clear();
        const FifoWriterLater writer(fifo);
        const auto start = std::chrono::steady_clock::now();
        {
            std::optional<FullDisk> full;
            if (c.fileSizeLimit)
                full.emplace(c.fileSizeLimit);
            c.saving ? save(c.file) : load(c.file);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << c.what;
        EXPECT_EQ(statusLine(), c.status) << c.what;
        EXPECT_EQ(g_note, c.file + ": " + c.reason) << c.what;
        std::ifstream in(kept);
        std::stringstream held;
        held << in.rdbuf();
        EXPECT_EQ(held.str(), old) << c.what;
        struct stat status {};
        EXPECT_TRUE(stat(fifo.c_str(), &status) == 0 && S_ISFIFO(status.st_mode)) << c.what;
        EXPECT_EQ(power, 500) << c.what; // nothing was taken over
    }
}

TEST_F(ParameterFiles, APathOf260CharactersOrMoreIsReportedLikeAnyFailure) {
    std::string longPath = dir_ + "/";
    longPath += std::string(300 - longPath.size() - 4, 'p') + ".dat";
    save(longPath);
    EXPECT_EQ(statusLine(), "Cannot write parameter file!");
    load(longPath);
    EXPECT_EQ(statusLine(), "Cannot read parameter file!");
    EXPECT_EQ(g_note, "the path has 260 characters or more");
    EXPECT_EQ(power, 500); // nothing was taken over
}

TEST_F(ParameterFiles, AFileWithAByteOrderMarkIsRead) {
    const std::string file = path("windows.dat");
    writeFile(file, "\xEF\xBB\xBF"
                    "800\r\n1\r\n600\r\n70\r\n0\r\n2\r\n10\r\n900\r\n400\r\n50\r\n0\r\n0\r\n1\r\n"
                    "200\r\n2\r\n1100\r\n");
    load(file);
    EXPECT_EQ(power, 800);
    EXPECT_EQ(para15, 1100);
    EXPECT_EQ(intValue(panelHandle, NEDITPower), 800);
}

// A save cut off and filled with zeros leaves NUL bytes behind a number.
TEST_F(ParameterFiles, ANumberWithANulByteInItMakesTheFileUnreadable) {
    const std::string file = path("cut.dat");
    writeFile(file, std::string(
                        "800\0\n1\n600\n70\n0\n2\n10\n900\n400\n50\n0\n0\n1\n200\n2\n1100\n", 49));
    load(file);
    EXPECT_EQ(statusLine(), "Cannot read parameter file!");
    EXPECT_EQ(power, 500);
}

// The real dialog: the name typed without ".dat" gets it, and the file of
// that name exists, so replacing it must be asked, as when ".dat" is typed.
TEST_F(ParameterFiles, ReplacingAFileIsAskedWhetherOrNotDatWasTyped) {
    SetFileSelectHook(nullptr);
    writeFile(path("VEXApara.dat"), "1\n");
    writeFile(path("other.txt.dat"), "1\n");
    for (const char *typed : {"VEXApara.dat", "VEXApara", "other.txt"}) {
        bool asked = false;
        QTimer driver;
        QObject::connect(&driver, &QTimer::timeout, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                asked = true;
                box->reject(); // keep the file
            } else if (auto *dialog =
                           qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                if (asked) {
                    dialog->reject(); // "No" leaves the dialog open: give up here
                } else if (name) {
                    name->setText(QString::fromLatin1(typed));
                    QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
                }
            }
        });
        driver.start(50);
        CC_BTNSend(panelHandle, 0, EVENT_LEFT_CLICK, nullptr, 0, 0);
        driver.stop();
        EXPECT_TRUE(asked) << typed;
    }
}

} // namespace

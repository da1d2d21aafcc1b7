// Parameter files as users meet them: a result text that must not outlive
// its error, paths the program cannot hold, a file saved with a byte-order
// mark, and the question before a file is replaced.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <fstream>

#include "params/transfer_buttons.h"
#include "shell/status_line.h"
#include "tests/params_callbacks/panel_fixture.h"

namespace {

using namespace params_test;

class ParameterFiles : public PanelTest {
  protected:
    void SetUp() override {
        PanelTest::SetUp();
        target = DATFILE;
        std::snprintf(szStatus, sizeof szStatus, "%s", "V-EXA-TB FW 2.07");
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
        const char *error;
    } cases[] = {
        {"load after a failed load", [&] { load(missing); }, [&] { load(goodFile()); },
         "Cannot read parameter file!"},
        {"load after a failed save", [&] { save(unwritable); }, [&] { load(goodFile()); },
         "Cannot write parameter file!"},
        {"save after a failed save", [&] { save(unwritable); }, [&] { save(path("ok.dat")); },
         "Cannot write parameter file!"},
        {"save after a failed load", [&] { load(missing); }, [&] { save(path("ok2.dat")); },
         "Cannot read parameter file!"},
    };
    for (const auto &c : cases) {
        std::snprintf(szStatus, sizeof szStatus, "%s", "V-EXA-TB FW 2.07");
        c.fail();
        EXPECT_STREQ(szStatus, c.error) << c.what;
        c.succeed();
        EXPECT_STRNE(szStatus, c.error) << c.what;
        EXPECT_NE(statusLine(), c.error) << c.what;
        ShowStatus(); // whatever shows the result later
        EXPECT_EQ(statusLine(), "V-EXA-TB FW 2.07") << c.what;
    }
}

TEST_F(ParameterFiles, APathOf260CharactersOrMoreIsReportedLikeAnyFailure) {
    std::string longPath = dir_ + "/";
    longPath += std::string(300 - longPath.size() - 4, 'p') + ".dat";
    save(longPath);
    EXPECT_EQ(statusLine(), "Cannot write parameter file!");
    load(longPath);
    EXPECT_EQ(statusLine(), "Cannot read parameter file!");
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

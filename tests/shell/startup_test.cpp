// Start-up: exit codes without a usable panel file, the program-wide values
// right after InitVars, the info texts and the edge graph's first drawing.
#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>

#include <string>

#include "app/program.h"
#include "params/parameter_table.h"
#include "runtime/runtime.h"
#include "runtime/widget_access.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/startup.h"

namespace {

struct ProgramRun {
    int exitCode;
    QString output;
};

// Runs a copy of the program from `dir`, so it looks for its panel file there.
ProgramRun runProgramFrom(const QString &dir, const QStringList &args = {}) {
    const QString copy = dir + QStringLiteral("/vexa-tb-scope");
    QFile::remove(copy);
    EXPECT_TRUE(QFile::copy(QStringLiteral(VEXA_PROGRAM), copy));
    QFile::setPermissions(copy, QFile::permissions(copy) | QFileDevice::ExeUser);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(copy, args);
    EXPECT_TRUE(process.waitForFinished(20000));
    return {process.exitCode(), QString::fromLocal8Bit(process.readAll())};
}

TEST(ProgramExit, WithoutThePanelFileTheProgramEndsWithMinusOne) {
    QTemporaryDir dir;
    const ProgramRun run =
        runProgramFrom(dir.path(), {QStringLiteral("--com"), QStringLiteral("1=/nonexistent")});
    EXPECT_EQ(run.exitCode, 255);
}

TEST(ProgramExit, APanelFileWithoutPanelTwoEndsWithMinusOne) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(QStringLiteral(VEXA_VARIANTS_DIR "/only_main/VexaTBScope14.uir"),
                            dir.filePath(QStringLiteral("VexaTBScope14.uir"))));
    const ProgramRun run =
        runProgramFrom(dir.path(), {QStringLiteral("--com"), QStringLiteral("1=/nonexistent")});
    EXPECT_EQ(run.exitCode, 255);
}

class StartUp : public testing::Test {
  protected:
    void load(const char *panelFile) {
        RegisterProgramCallbacks();
        panelHandle = LoadPanel(0, panelFile, PANEL);
        ASSERT_GT(panelHandle, 0);
        panelPopUp = LoadPanel(panelHandle, panelFile, CCDPANEL);
        ASSERT_GT(panelPopUp, 0);
    }
    void TearDown() override {
        DiscardPanel(panelPopUp);
        DiscardPanel(panelHandle);
    }
    std::vector<QLabel *> infoTexts() const {
        std::vector<QLabel *> out;
        for (QLabel *l : rt::panelWidget(panelHandle)->findChildren<QLabel *>())
            if (l->property("runTimeText").toBool())
                out.push_back(l);
        return out;
    }
};

TEST_F(StartUp, InitVarsSetsTheDefaultsAndTakesTheSwitchFromThePanel) {
    load(VEXA_PANEL_FILE_PATH);
    para15 = 0;
    ePoti = 0;
    com = 4;
    stop_flag = 0;
    ccdmaxpixel = 512;
    SetCtrlVal(panelPopUp, BIN_Sw_EnableTol, 0);
    SetCtrlVal(panelHandle, NEDITVideoThreshold, 333);
    InitVars();
    EXPECT_STREQ(szStatus, "InitVars");
    char shown[260];
    GetCtrlVal(panelHandle, TEXT_Status, shown);
    EXPECT_STREQ(shown, "InitVars");
    EXPECT_EQ(para15, 1000);
    EXPECT_EQ(ePoti, 1);
    EXPECT_EQ(vThd, 333); // taken from the panel
    EXPECT_EQ(com, 1);
    EXPECT_EQ(stop_flag, 1);
    EXPECT_EQ(sync, 0x55);
    EXPECT_EQ(target, RAM);
    EXPECT_EQ(ccdmaxpixel, 1024);
    EXPECT_EQ(pixB, 1);
    EXPECT_EQ(pixE, 1024);
    EXPECT_EQ(xArray[0], 0);
    EXPECT_EQ(xArray[1], 4);
    EXPECT_EQ(xArray[255], 1020);
    for (unsigned short t : thdArray)
        ASSERT_EQ(t, 333);
}

TEST(StartValues, SetDefaultValuesGivesEveryParameterTheStartValueOfTheTable) {
    for (const ParameterEntry &p : parameterTable)
        *p.var = 0xEEEE;
    SetDefaultValues();
    for (const ParameterEntry &p : parameterTable)
        EXPECT_EQ(*p.var, p.start) << p.name;
}

TEST_F(StartUp, EdgeGraphShowsCursorsAndTheToleranceBand) {
    load(VEXA_PANEL_FILE_PATH);
    InitVars();
    double x = 0, y = 0;
    GetGraphCursor(panelHandle, GRAPH_Raw, 1, &x, &y);
    EXPECT_EQ(x, 512.0);
    EXPECT_EQ(y, 1.0);
    GetGraphCursor(panelHandle, GRAPH_Raw, 2, &x, &y);
    EXPECT_EQ(x, 1.0);
    GetGraphCursor(panelHandle, GRAPH_Raw, 3, &x, &y);
    EXPECT_EQ(x, 1024.0);
    const auto rects = rt::graphRectangles(panelHandle, GRAPH_Raw);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0].x1, 412.0);
    EXPECT_EQ(rects[0].x2, 612.0);
    EXPECT_EQ(rects[0].y1, 0.0);
    EXPECT_EQ(rects[0].y2, 0.25);
    EXPECT_EQ(rects[0].frameColor, 0x00FF00);
    EXPECT_EQ(rects[0].fillColor, 0x00FF00);
}

TEST_F(StartUp, ToleranceBandMayStartLeftOfZero) {
    load(VEXA_VARIANTS_DIR "/teach50/VexaTBScope14.uir");
    InitVars();
    EXPECT_EQ(tVal, 50);
    EXPECT_EQ(tTol, 100);
    const auto rects = rt::graphRectangles(panelHandle, GRAPH_Raw);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0].x1, -50.0);
    EXPECT_EQ(rects[0].x2, 150.0);
}

TEST_F(StartUp, InfoTextsAreWhiteOnBlueAtTheirPlaces) {
    load(VEXA_PANEL_FILE_PATH);
    InitVars();
    const auto texts = infoTexts();
    ASSERT_EQ(texts.size(), 5u);
    const struct {
        const char *text;
        int left, top, size;
    } expected[] = {{"PC-SOFTWARE: V-EXA Series", 15, 8, 11},
                    {"Halvorn GmbH", 15, 21, 11},
                    {nullptr, 15, 36, 11},
                    {"V-EXA-TB-Scope", 175, 30, 18},
                    {"V1.41", 320, 36, 11}};
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        QLabel *l = texts[i];
        if (expected[i].text)
            EXPECT_EQ(l->text().toStdString(), expected[i].text);
        else
            EXPECT_FALSE(l->text().isEmpty());
        EXPECT_EQ(l->pos(), QPoint(expected[i].left, expected[i].top));
        EXPECT_EQ(l->font().pixelSize(), expected[i].size);
        EXPECT_EQ(l->palette().color(QPalette::WindowText), QColor(0xFF, 0xFF, 0xFF));
        EXPECT_EQ(l->palette().color(QPalette::Window), QColor(0x00, 0x80, 0xFF));
        EXPECT_TRUE(l->autoFillBackground());
    }
    EXPECT_GT(texts[3]->sizeHint().height(), texts[0]->sizeHint().height());
}

} // namespace

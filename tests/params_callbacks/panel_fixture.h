// Both panels of the real panel file, loaded fresh for every test and brought
// to the state the program starts with (InitVars), plus helpers to act on
// them as a user would.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QPoint>
#include <QTest>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/program.h"
#include "runtime/runtime.h"
#include "runtime/test_hooks.h"
#include "runtime/widget_access.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/startup.h"

namespace params_test {

// A port number no test opens unless it connects a sensor.
constexpr int kTestPort = 7;

class PanelTest : public testing::Test {
  protected:
    void SetUp() override {
        RegisterProgramCallbacks();
        panelHandle = LoadPanel(0, VEXA_PANEL_FILE_PATH, PANEL);
        ASSERT_GT(panelHandle, 0);
        panelPopUp = LoadPanel(panelHandle, VEXA_PANEL_FILE_PATH, CCDPANEL);
        ASSERT_GT(panelPopUp, 0);
        hidePopUp = 1;

        char pattern[] = "/tmp/vexa-params-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        std::snprintf(proj_dir, sizeof proj_dir, "%s", dir_.c_str());
        file_name[0] = '\0';

        InitVars();
        com = kTestPort;
        SetCtrlVal(panelHandle, RBTRam, 1);
        SetCtrlVal(panelHandle, RBTEeprom, 0);
        SetCtrlVal(panelHandle, RBTFile, 0);
        DisplayPanel(panelHandle);
        settle();
    }

    void TearDown() override {
        SetFileSelectHook(nullptr);
        CloseCom(kTestPort);
        DiscardPanel(panelPopUp);
        DiscardPanel(panelHandle);
        settle();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    static void settle() {
        for (int i = 0; i < 20; ++i)
            ProcessSystemEvents();
    }

    static QWidget *byName(int panel, const char *name) {
        QWidget *root = rt::panelWidget(panel);
        return root ? root->findChild<QWidget *>(QString::fromLatin1(name)) : nullptr;
    }

    // A click at the left end of a button, where a radio button or a switch
    // has its indicator.
    static void clickIndicator(QWidget *w) {
        QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(8, w->height() / 2));
        settle();
    }

    static void typeAndCommit(int panel, int control, const char *text) {
        typeOnly(panel, control, text);
        QTest::keyClick(rt::controlWidget(panel, control), Qt::Key_Return);
        settle();
    }

    static void typeOnly(int panel, int control, const char *text) {
        QWidget *w = rt::controlWidget(panel, control);
        w->setFocus();
        if (auto *spin = qobject_cast<QAbstractSpinBox *>(w))
            spin->selectAll();
        QTest::keyClicks(w, text);
        settle();
    }

    static int intValue(int panel, int control) {
        int v = -1;
        GetCtrlVal(panel, control, &v);
        return v;
    }

    static int dimmed(int panel, int control) {
        int v = -1;
        GetCtrlAttribute(panel, control, ATTR_DIMMED, &v);
        return v;
    }

    static std::string statusLine() {
        char text[260] = {};
        GetCtrlVal(panelHandle, TEXT_Status, text);
        return text;
    }

    std::string path(const char *name) const { return dir_ + "/" + name; }

    std::string dir_;
};

} // namespace params_test

// The panels and scripted sensor of the Get tests, with the compare window of
// the main panel open and helpers to read its table.
#pragma once

#include <QLabel>
#include <QTableWidget>
#include <QTableWidgetItem>

#include <fstream>
#include <string>
#include <vector>

#include "compare/compare_window.h"
#include "params/parameter_table.h"
#include "tests/params_callbacks/sensor_fixture.h"
#include "tests/window/temp_settings.h"

namespace compare_test {

using compare::Column;

// The panels after start-up, in block order: the program's start values.
inline const sim::Words kStart = [] {
    sim::Words words{};
    for (int i = 0; i < PNUM; i++)
        words[static_cast<std::size_t>(i)] = parameterTable[i].start;
    return words;
}();

class CompareTest : public params_test::SensorTest {
  protected:
    void SetUp() override {
        SensorTest::SetUp();
        window_ = compare::showCompareWindow(rt::panelWidget(panelHandle));
        settle();
    }

    QTableWidget *table() const { return window_->findChild<QTableWidget *>("table"); }
    QTableWidgetItem *cell(int word, Column column) const {
        return table()->item(word, compare::tableColumn(column));
    }
    bool highlighted(int word, Column column) const {
        const QBrush background = cell(word, column)->background();
        return background.style() != Qt::NoBrush &&
               background.color() == compare::differenceColour();
    }
    std::string note() const {
        return window_->findChild<QLabel *>("noteLabel")->text().toStdString();
    }

    std::string writeFile(const char *name, const std::string &text) const {
        const std::string file = path(name);
        std::ofstream(file) << text;
        return file;
    }
    std::string writeFile(const char *name, const sim::Words &words) const {
        std::string text;
        for (unsigned short w : words)
            text += std::to_string(w) + "\n";
        return writeFile(name, text);
    }

    void scriptSensor(const sim::Words &ram, const sim::Words &eeprom) {
        sensor_.script(sim::order::ReadRam, sim::makeReply(sim::order::ReadRam, ram));
        sensor_.script(sim::order::ReadEeprom, sim::makeReply(sim::order::ReadEeprom, eeprom));
    }

    // The parameter variables, pp and every control SetPanelValues writes.
    static std::vector<int> programState() {
        std::vector<int> state;
        for (const ParameterEntry &p : parameterTable)
            state.push_back(*p.var);
        for (unsigned short w : pp)
            state.push_back(w);
        for (const PanelWrite &w : panelWriteOrder)
            state.push_back(intValue(*w.panel, w.control));
        state.push_back(dimmed(panelPopUp, NEDITTolerance));
        return state;
    }

    window_test::TempSettings settings_; // where the window was put stays in the test
    compare::CompareWindow *window_ = nullptr;
};

} // namespace compare_test

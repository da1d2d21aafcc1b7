// A Send to the EEPROM is read back (order 4) and the note beside the status
// line says whether the sensor holds the set; the status line, pp and the
// Send's telegram stay as they were.
#include "tests/params_callbacks/sensor_fixture.h"

#include <algorithm>
#include <optional>
#include <string>

#include "link/telegram.h"
#include "params/panel_binding.h"
#include "params/transfer_buttons.h"
#include "readback/eeprom_read_back.h"
#include "shell/window_note.h"

namespace {

std::string g_note;
void KeepNote(int, const char *text) {
    g_note = text;
}

sim::Words held(const unsigned short set[PNUM]) {
    sim::Words words{};
    std::copy(set, set + PNUM, words.begin());
    return words;
}

class EepromReadBack : public params_test::SensorTest {
  protected:
    void SetUp() override {
        SensorTest::SetUp();
        SetWindowNoteHook(KeepNote);
        AttachEepromReadBack();
    }
    void TearDown() override {
        SetSentToSensorHook(nullptr);
        SetWindowNoteHook(nullptr);
        SensorTest::TearDown();
    }
};

TEST_F(EepromReadBack, SaysWhetherTheSensorHoldsTheSetItWasSent) {
    connectSensor();
    SetCtrlVal(panelHandle, NEDITPower, 777); // para15 stays 1000, it has no control
    GetPanelValues();                         // the set as the Send takes it
    CopyVarsToPP();
    const sim::Words sent = held(pp);
    ASSERT_EQ(sent[sim::param::power], 777);
    ASSERT_EQ(sent[sim::param::para15], 1000);
    sim::Words lost = sent; // the sensor kept its old power and dropped para15
    lost[sim::param::power] = 500;
    lost[sim::param::para15] = 0;
    const struct {
        const char *what;
        int target;
        std::optional<sim::Words> eeprom; // nullopt: the sensor does not answer order 4
        std::vector<std::uint16_t> orders;
        const char *note;
    } cases[] = {
        {"kept", EEPROM, sent, {3, 4}, "EEPROM holds the panel values"},
        {"changed",
         EEPROM,
         lost,
         {3, 4},
         "EEPROM differs (EEPROM \u2260 panel): power 500 \u2260 777, para15 0 \u2260 1000"},
        {"no answer",
         EEPROM,
         std::nullopt,
         {3, 4},
         "EEPROM read-back failed: no answer from the sensor"},
        {"RAM", RAM, sent, {1}, ""},
    };
    for (const auto &c : cases) {
        sensor_.clearScript();
        sensor_.clearRequests();
        if (c.eeprom)
            sensor_.script(sim::order::ReadEeprom, sim::makeReply(4, *c.eeprom));
        target = c.target;
        g_note.clear();
        CC_BTNSend(panelHandle, 0, EVENT_LEFT_CLICK, nullptr, 0, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // room for more requests
        const std::vector<sim::Telegram> requests = sensor_.requests();
        EXPECT_EQ(sensor_.orders(), c.orders) << c.what;
        ASSERT_FALSE(requests.empty()) << c.what;
        EXPECT_EQ(sim::dataWords(requests.front()), sent) << c.what; // the Send's set, whole
        EXPECT_EQ(g_note, c.note) << c.what;
        EXPECT_EQ(statusLine(), "Line Ok!") << c.what;
        EXPECT_EQ(held(pp), sent) << c.what; // pp as the Send left it
        EXPECT_EQ(order, c.target == EEPROM ? 3 : 1) << c.what;
    }
}

} // namespace

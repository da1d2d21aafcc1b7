// The exchanges on their own: a parameter read fills the caller's array and
// leaves the parameter variables, szStatus and the status line as they were.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "link/exchanges.h"
#include "link/transactions.h"
#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/status_line.h"
#include "tests/link/link_fixture.h"

namespace {

using namespace linktest;

const sim::Words kSensorParams{800, 1, 600, 70, 0, 2, 10, 900, 400, 50, 0, 0, 1, 200, 2, 1100};

class Exchanges : public LinkTest {
  protected:
    void SetUp() override {
        LinkTest::SetUp();
        OpenLine();
        SetExchangeNoteHook(nullptr);
        SetCtrlVal(panelHandle, TEXT_Status, "untouched");
    }
    void TearDown() override {
        SetExchangeNoteHook(ShowNote);
        LinkTest::TearDown();
    }
};

struct ReadCase {
    unsigned short order;
};

class ParameterRead : public Exchanges, public testing::WithParamInterface<ReadCase> {};

TEST_P(ParameterRead, FillsTheCallersArrayOnlyWithTheSensorsWordsAsTheyAre) {
    const unsigned short orderCode = GetParam().order;
    sim::Words held = kSensorParams;
    held[0] = 9999; // out of range: no check applies
    sensor.script(orderCode, Reply(orderCode, held));
    const sim::Words before = ParameterWords();

    unsigned short set[PNUM] = {};
    const ExchangeOutcome outcome = ParameterExchange(orderCode, set);

    EXPECT_EQ(outcome.result, 1);
    EXPECT_STREQ(outcome.text, "Parameter-frame received! - Line Ok!");
    EXPECT_EQ(std::memcmp(set, held.data(), sizeof set), 0);
    EXPECT_EQ(ParameterWords(), before);
    EXPECT_STREQ(szStatus, "InitVars");
    EXPECT_EQ(CtrlText(panelHandle, TEXT_Status), "untouched");
    const auto requests = RequestsAfter(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], Request(orderCode, before));
}

INSTANTIATE_TEST_SUITE_P(RamAndEeprom, ParameterRead,
                         testing::Values(ReadCase{ORDER_READ_RAM}, ReadCase{ORDER_READ_EEPROM}));

TEST_F(Exchanges, ParameterReadWithoutReplyKeepsTheArrayAndSaysTimeout) {
    unsigned short set[PNUM] = {7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
    const ExchangeOutcome outcome = ParameterExchange(ORDER_READ_RAM, set);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_STREQ(outcome.text, "Timeout-RS-232...");
    EXPECT_EQ(set[15], 7);
    EXPECT_EQ(CtrlText(panelHandle, TEXT_Status), "untouched");
}

} // namespace

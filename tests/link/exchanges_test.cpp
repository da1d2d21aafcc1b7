// The exchanges on their own: a parameter read fills the caller's array and
// leaves the parameter variables, szStatus and the status line as they were;
// every exchange tells the port's watchers (the window's title) how it ended.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "link/connection.h"
#include "link/exchanges.h"
#include "link/transactions.h"
#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/status_line.h"
#include "shell/window_note.h"
#include "stream/stream.h"
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

struct EndCase {
    const char *what;
    std::uint16_t scriptedOrder; // 0: the sensor stays silent
    std::function<void()> exchange;
    int replied; // what the watchers must hear last
};

TEST_F(Exchanges, EachExchangeTellsTheWatchersWhetherTheSensorAnswered) {
    unsigned short words[64] = {};
    char version[STATUS_LEN] = {};
    const EndCase cases[] = {
        {"echo check, silent", 0, [] { EchoExchange(com); }, 0},
        {"parameter read, silent", 0, [&] { ParameterExchange(ORDER_READ_RAM, words); }, 0},
        {"teach, silent", 0, [] { TeachExchange(); }, 0},
        {"frame, silent", 0, [&] { FrameExchange(1, words); }, 0},
        {"firmware, silent", 0, [&] { FirmwareExchange(version); }, 0},
        {"firmware, answered", sim::order::Firmware, [&] { FirmwareExchange(version); }, 1},
        {"video block, silent", 0,
         [&] {
             ReceiveCallbackOff();
             VideoBlockExchange(0, 0, words);
             ReceiveCallbackOn();
         },
         0},
        {"video block, answered", sim::order::Video,
         [&] {
             ReceiveCallbackOff();
             VideoBlockExchange(0, 0, words);
             ReceiveCallbackOn();
         },
         1},
    };
    struct {
        int port = -1, replied = -1, calls = 0;
    } end;
    const stream::Subscription listening =
        stream::programStream().portEvents.subscribe([&](const stream::PortEvent &e) {
            end = {e.port, e.kind == stream::PortEvent::Kind::Answered ? 1 : 0, end.calls + 1};
        });
    for (const EndCase &c : cases) {
        if (c.scriptedOrder != 0)
            sensor.script(c.scriptedOrder,
                          FirmwareReply(std::vector<std::uint16_t>(
                              c.scriptedOrder == sim::order::Firmware ? 36 : 64, 0x4141)));
        end = {};
        c.exchange();
        EXPECT_GE(end.calls, 1) << c.what;
        EXPECT_EQ(end.port, com) << c.what;
        EXPECT_EQ(end.replied, c.replied) << c.what;
    }
}

} // namespace

std::string g_note;
void RecordNote(int, const char *text) {
    g_note = text;
}

// The window takes a reply's words whatever its header; the status bar says
// when the header was wrong, and the next right header takes that away
// again, but never another note.
TEST_F(Exchanges, AReplyWithAWrongHeaderIsNotedInTheStatusBarUntilARightOne) {
    const char *wrong = "reply without the 0xAA header: values may be wrong";
    const struct {
        std::uint16_t header;
        const char *noteBefore, *noteAfter;
    } cases[] = {
        {0x00AB, "", wrong},
        {0x00AA, wrong, ""},
        {0x0000, "", wrong},
        {0x0000, wrong, wrong},
        {0x00AA, "Send: cancelled", "Send: cancelled"},
    };
    SetWindowNoteHook(RecordNote);
    unsigned short words[PNUM] = {};
    for (const auto &c : cases) {
        WindowNote(c.noteBefore);
        sensor.script(ORDER_READ_RAM, sim::makeReply(ORDER_READ_RAM, kSensorParams, c.header));
        EXPECT_EQ(ParameterExchange(ORDER_READ_RAM, words).result, 1) << c.header;
        EXPECT_EQ(g_note, c.noteAfter) << c.header << " after '" << c.noteBefore << "'";
        EXPECT_EQ(words[0], kSensorParams[0]); // the words are taken all the same
    }
    SetWindowNoteHook(nullptr);
}

// The transactions on the wire: what each sends, how long it waits, what it
// takes from the reply and what the status line shows.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "link/connection.h"
#include "link/exchange_guard.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "runtime/runtime.h"
#include "runtime/widget_access.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "tests/link/link_fixture.h"

namespace {

using namespace linktest;
using Repeat = sim::ScriptedSensor::Repeat;

constexpr double kSlack = 0.3; // how far past its limit a wait may end

std::string Status() {
    return CtrlText(panelHandle, TEXT_Status);
}

const sim::Words kSensorParams{800, 1, 600, 70, 0, 2, 10, 900, 400, 50, 0, 0, 1, 200, 2, 1100};

class Transactions : public LinkTest {
  protected:
    void SetUp() override {
        LinkTest::SetUp();
        OpenLine();
    }
};

// ---- echo check ----------------------------------------------------------------

TEST_F(Transactions, EchoCheckSendsOrder5WithThePackedParameters) {
    power = 500;
    eEnd = 1000;
    std::memset(pp, 0, sizeof pp);
    sensor.script(sim::order::Echo, Reply(5));
    EXPECT_EQ(CheckComLine(kPort), 1);
    const auto requests = RequestsAfter(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], Request(5, ParameterWords()));
    EXPECT_EQ(order, 5);
}

TEST_F(Transactions, EchoReplyBeginning00AAIsLineOk) {
    sensor.script(sim::order::Echo, Reply(5));
    EXPECT_EQ(CheckComLine(kPort), 1);
    EXPECT_STREQ(szStatus, "Echo Check - Line Ok!");
    EXPECT_EQ(Status(), "Echo Check - Line Ok!");
    EXPECT_EQ(pp[0], 0x00AAu); // the header word is kept in pp[0]
}

TEST_F(Transactions, EchoReplyBeginning0055IsAReadError) {
    sensor.script(sim::order::Echo, Reply(5, {}, 0x0055));
    EXPECT_EQ(CheckComLine(kPort), 0);
    EXPECT_EQ(Status(), "read error - not sync byte 0xAA!");
    EXPECT_EQ(pp[0], 0x0055u);
}

TEST_F(Transactions, SilentSensorFailsTheEchoCheckJustAfterOnePointFiveSeconds) {
    const double t0 = Timer();
    EXPECT_EQ(CheckComLine(kPort), 0);
    const double elapsed = Timer() - t0;
    EXPECT_GT(elapsed, 1.5);
    EXPECT_LT(elapsed, 1.5 + kSlack);
    EXPECT_EQ(Status(), "Timeout-RS-232...");
}

TEST_F(Transactions, EchoReplyShortlyBeforeTheLimitIsStillTaken) {
    sensor.script(sim::order::Echo, Reply(5), milliseconds(1300));
    EXPECT_EQ(CheckComLine(kPort), 1);
    EXPECT_EQ(Status(), "Echo Check - Line Ok!");
}

// A reply delivered in the very pass in which the time runs out: the event
// handler delivers it and then lets the limit pass.
void DeliverReplyAndOverrunLimit(const Bytes &reply) {
    AtTime(1450, [reply] {
        std::memcpy(szReadBuf, reply.data(), reply.size());
        GetRxBuf(PNUM);
        rx_flag = 1;
        const double until = Timer() + 0.1;
        while (Timer() < until) {
        }
    });
}

TEST_F(Transactions, EchoReplyArrivingInTheLastPassDecidesTheResult) {
    DeliverReplyAndOverrunLimit(Reply(5));
    EXPECT_EQ(CheckComLine(kPort), 1);
    EXPECT_GT(tdiff, TIMEOUT);
    EXPECT_EQ(Status(), "Echo Check - Line Ok!");
}

// ---- parameter read ------------------------------------------------------------

TEST_F(Transactions, ReadFromRamSendsOrder2WithPackedParametersAndTakesTheReply) {
    power = 700;
    const sim::Words sent = ParameterWords();
    sensor.script(sim::order::ReadRam, Reply(2, kSensorParams));
    PushGET(RAM);
    const auto requests = RequestsAfter(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], Request(2, sent));
    EXPECT_EQ(ParameterWords(), kSensorParams);
    EXPECT_EQ(Status(), "Parameter-frame received! - Line Ok!");
    EXPECT_EQ(CtrlInt(panelHandle, NEDITPower), 800);
    EXPECT_EQ(CtrlInt(panelPopUp, NSLIDE_PixelStart), 200);
}

TEST_F(Transactions, ReadFromEepromSendsOrder4) {
    sensor.script(sim::order::ReadEeprom, Reply(4, kSensorParams));
    PushGET(EEPROM);
    const auto requests = RequestsAfter(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(sim::requestOrder(requests[0]), 4);
    EXPECT_EQ(order, 4);
    EXPECT_EQ(ParameterWords(), kSensorParams);
}

TEST_F(Transactions, AParameterFrameWithWrongHeaderAndEchoIsTakenAllTheSame) {
    sensor.script(sim::order::ReadRam, Reply(9, kSensorParams, 0x1234));
    PushGET(RAM);
    EXPECT_EQ(ParameterWords(), kSensorParams);
    EXPECT_EQ(Status(), "Parameter-frame received! - Line Ok!");
}

TEST_F(Transactions, ReadWithoutReplyKeepsTheVariablesAndStillRefreshesThePanels) {
    power = 2000; // out of range: the refresh replaces it
    tVal = 300;
    SetCtrlVal(panelPopUp, NEDITTeach, 1);
    const double t0 = Timer();
    PushGET(RAM);
    const double elapsed = Timer() - t0;
    EXPECT_GT(elapsed, 1.5);
    EXPECT_LT(elapsed, 1.5 + kSlack);
    EXPECT_EQ(Status(), "Timeout-RS-232...");
    EXPECT_EQ(tVal, 300u);
    EXPECT_EQ(power, 500u);
    EXPECT_EQ(CtrlInt(panelPopUp, NEDITTeach), 300);
    EXPECT_EQ(CtrlInt(panelHandle, NEDITPower), 500);
}

TEST_F(Transactions, ParameterFrameShortlyBeforeTheLimitIsTaken) {
    sensor.script(sim::order::ReadRam, Reply(2, kSensorParams), milliseconds(1300));
    PushGET(RAM);
    EXPECT_EQ(ParameterWords(), kSensorParams);
}

TEST_F(Transactions, FileTargetSendsNothingAndShowsTheLastResultAgain) {
    std::strcpy(szStatus, "Echo Check - Line Ok!");
    SetCtrlVal(panelHandle, TEXT_Status, "something else");
    tTol = 77;
    PushGET(DATFILE);
    EXPECT_FALSE(sensor.waitForRequests(1, milliseconds(200)));
    EXPECT_EQ(Status(), "Echo Check - Line Ok!");
    EXPECT_EQ(CtrlInt(panelPopUp, NEDITTolerance), 77);
    EXPECT_EQ(CtrlInt(panelHandle, NUM_Tolerance), 77);
}

TEST_F(Transactions, WaitingNoteShowsWhileTheParameterFrameIsAwaited) {
    std::string seen;
    AtTime(300, [&seen] { seen = Status(); });
    PushGET(RAM);
    EXPECT_EQ(seen, "Waiting for parameter-frame ...");
}

TEST_F(Transactions, OnAClosedPortTheWaitingNoteIsNotShownAndTheReadTimesOut) {
    CloseCom(kPort);
    SetCtrlVal(panelHandle, TEXT_Status, "before");
    std::string seen;
    AtTime(300, [&seen] { seen = Status(); });
    PushGET(RAM);
    EXPECT_EQ(seen, "before");
    EXPECT_EQ(Status(), "Timeout-RS-232...");
}

// ---- firmware info ---------------------------------------------------------------

std::vector<std::uint16_t> FirmwareWords(std::vector<std::uint16_t> head, std::uint16_t fill) {
    head.resize(36, fill);
    return head;
}

TEST_F(Transactions, FirmwareTextIsTheLowBytesUpToTheFirstZero) {
    sensor.script(sim::order::Firmware,
                  FirmwareReply(FirmwareWords({0x7F41, 0x0042, 0x0000}, 0x4343)));
    EXPECT_EQ(GetVERSIONInfo(), 72);
    EXPECT_STREQ(szVersion, "AB");
    EXPECT_EQ(Status(), "AB");
    EXPECT_EQ(nBytesR, 72);
}

TEST_F(Transactions, FirmwareTextWithoutZeroHas36Characters) {
    std::vector<std::uint16_t> words;
    for (int i = 0; i < 36; i++)
        words.push_back(static_cast<std::uint16_t>(0x0100 + 'a' + i % 26));
    sensor.script(sim::order::Firmware, FirmwareReply(words));
    EXPECT_EQ(GetVERSIONInfo(), 72);
    EXPECT_EQ(std::strlen(szVersion), 36u);
    EXPECT_EQ(std::string(szVersion), "abcdefghijklmnopqrstuvwxyzabcdefghij");
    EXPECT_EQ(Status(), "abcdefghijklmnopqrstuvwxyzabcdefghij");
}

TEST_F(Transactions, SeventyThreeFirmwareBytesGiveNoTextButCount) {
    std::strcpy(szStatus, "previous result");
    Bytes reply = FirmwareReply(FirmwareWords({'A', 'B', 0}, 0));
    reply.push_back(0x33);
    sensor.script(sim::order::Firmware, reply);
    EXPECT_EQ(GetVERSIONInfo(), 73);
    EXPECT_STREQ(szVersion, "");
    EXPECT_EQ(Status(), "previous result");
}

TEST_F(Transactions, FortyFirmwareBytesTimeOutAfterTwoSeconds) {
    std::strcpy(szVersion, "old text");
    Bytes reply = FirmwareReply(FirmwareWords({'A', 'B'}, 'C'));
    reply.resize(40);
    sensor.script(sim::order::Firmware, reply);
    const double t0 = Timer();
    EXPECT_EQ(GetVERSIONInfo(), 40);
    const double elapsed = Timer() - t0;
    EXPECT_GT(elapsed, 2.0);
    EXPECT_LT(elapsed, 2.0 + kSlack);
    EXPECT_EQ(Status(), "Timeout - reading firmware info!");
    EXPECT_STREQ(szVersion, "");
}

TEST_F(Transactions, TheFirmwareWaitRunsNoCallbacks) {
    bool ran = false;
    AtTime(100, [&ran] { ran = true; });
    GetVERSIONInfo(); // silent sensor: 2 s without event processing
    EXPECT_FALSE(ran);
    ProcessFor(0.05);
    EXPECT_TRUE(ran);
}

TEST_F(Transactions, AfterTheFirmwareReplyTheReceiveCallbackIsOnAgain) {
    sensor.script(sim::order::Firmware, FirmwareReply(FirmwareWords({'A'}, 0)));
    GetVERSIONInfo();
    EXPECT_EQ(rx_flag, 0);
    sensor.script(sim::order::ReadRam, Reply(2, kSensorParams));
    PushGET(RAM);
    EXPECT_EQ(Status(), "Parameter-frame received! - Line Ok!");
}

// ---- CCD info ------------------------------------------------------------------------

TEST_F(Transactions, FirmwareAndCcdRequestsCarryTheCurrentBlockUnpacked) {
    const struct {
        std::uint16_t order;
        Bytes reply;
        int (*request)();
    } cases[] = {
        {sim::order::Firmware, FirmwareReply(FirmwareWords({'X'}, 0)), GetVERSIONInfo},
        {sim::order::CcdInfo, Reply(10, {1, 1024, 0}), GetCCDInfo},
    };
    power = 999;
    sim::Words current{};
    for (const auto &c : cases) {
        for (int i = 0; i < PNUM; i++)
            current[i] = pp[i] = static_cast<unsigned short>(100 * c.order + i);
        sensor.clearRequests();
        sensor.script(c.order, c.reply);
        c.request();
        const auto requests = RequestsAfter(1);
        ASSERT_EQ(requests.size(), 1u) << c.order;
        EXPECT_EQ(requests[0], Request(c.order, current)) << c.order;
    }
}

TEST_F(Transactions, A512PixelLineSetsSliderAxisSamplesAndDescription) {
    eEnd = 1024;
    ccdMode = 0;
    sensor.script(sim::order::CcdInfo, Reply(10, {3, 512, 0}));
    EXPECT_EQ(GetCCDInfo(), 1);
    EXPECT_EQ(ccdtype, 3u);
    EXPECT_EQ(ccdmaxpixel, 512u);
    EXPECT_EQ(pixB, 1u);
    EXPECT_EQ(pixE, 512u);
    EXPECT_EQ(eEnd, 1024u);
    int maxValue = 0;
    GetCtrlAttribute(panelPopUp, NSLIDE_PixelStart, ATTR_MAX_VALUE, &maxValue);
    EXPECT_EQ(maxValue, 512);
    double lo = 0, hi = 0;
    ASSERT_TRUE(rt::graphAxisRange(panelHandle, GRAPH_Data, VAL_XAXIS, &lo, &hi));
    EXPECT_DOUBLE_EQ(lo, 1.0);
    EXPECT_DOUBLE_EQ(hi, 512.0);
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(xArray[i], 2 * i);
    EXPECT_EQ(CtrlText(panelPopUp, TEXTBOX_CCDInfo).substr(0, 66),
              "  CCD-SENSOR: 512 pixel; 25\xB5m pixel-pitch, 12,8mm working range");
}

TEST_F(Transactions, A1024PixelLineRaisesARightEdgeBelowIt) {
    eEnd = 800;
    SetCtrlVal(panelHandle, NEDITEdgeRight, 800);
    sensor.script(sim::order::CcdInfo, Reply(10, {1, 1024, 0}));
    EXPECT_EQ(GetCCDInfo(), 1);
    EXPECT_EQ(eEnd, 1024u);
    EXPECT_EQ(CtrlInt(panelHandle, NEDITEdgeRight), 800); // the panel waits for the next read
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(xArray[i], 4 * i);
    EXPECT_EQ(CtrlText(panelPopUp, TEXTBOX_CCDInfo),
              "  CCD-SENSOR: 1024 pixel; 7.8\xB5m pixel-pitch, 8.0mm working range");
}

TEST_F(Transactions, WindowModesLayTheVideoGraphOutAtTheLastFrameStart) {
    ccdMode = 1;
    pix1 = 300;
    sensor.script(sim::order::CcdInfo, Reply(10, {1, 1024, 0}));
    EXPECT_EQ(GetCCDInfo(), 1);
    double lo = 0, hi = 0;
    ASSERT_TRUE(rt::graphAxisRange(panelHandle, GRAPH_Data, VAL_XAXIS, &lo, &hi));
    EXPECT_DOUBLE_EQ(lo, 300.0);
    EXPECT_DOUBLE_EQ(hi, 556.0);
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(xArray[i], 300 + i);
}

TEST_F(Transactions, CcdDescriptionDependsOnTypeAndResolution) {
    EXPECT_STREQ(CCDDescription(2, 750),
                 "  CCD-SENSOR: 1024 pixel; 25\xB5m pixel-pitch, opt.-lense, 75mm working range");
    EXPECT_STREQ(CCDDescription(2, 749),
                 "  CCD-SENSOR: 1024 pixel; 25\xB5m pixel-pitch, 25,4mm working range");
    EXPECT_STREQ(CCDDescription(1, 750),
                 "  CCD-SENSOR: 1024 pixel; 7.8\xB5m pixel-pitch, 8.0mm working range");
    EXPECT_STREQ(CCDDescription(0, 0), "  CCD-SENSOR: no information avialable!");
    EXPECT_STREQ(CCDDescription(4, 0), "  CCD-SENSOR: no information avialable!");
    EXPECT_STREQ(CCDDescription(65535, 750), "  CCD-SENSOR: no information avialable!");
}

TEST_F(Transactions, AWrongCcdEchoFailsButStillReplacesTheCcdValues) {
    ReplaceTextBoxLine(panelPopUp, TEXTBOX_CCDInfo, 0, "unchanged");
    SetCtrlAttribute(panelPopUp, NSLIDE_PixelStart, ATTR_MAX_VALUE, 1024);
    sensor.script(sim::order::CcdInfo, Reply(9, {3, 512, 5}));
    EXPECT_EQ(GetCCDInfo(), 0);
    EXPECT_EQ(ccdtype, 3u);
    EXPECT_EQ(ccdmaxpixel, 512u);
    EXPECT_EQ(ccdresolution, 5u);
    EXPECT_EQ(pixE, 1024u);
    EXPECT_EQ(xArray[255], 1020u);
    int maxValue = 0;
    GetCtrlAttribute(panelPopUp, NSLIDE_PixelStart, ATTR_MAX_VALUE, &maxValue);
    EXPECT_EQ(maxValue, 1024);
    EXPECT_EQ(CtrlText(panelPopUp, TEXTBOX_CCDInfo), "unchanged");
}

TEST_F(Transactions, SilentSensorFailsTheCcdInfoWithoutShowingIt) {
    SetCtrlVal(panelHandle, TEXT_Status, "shown before");
    const double t0 = Timer();
    EXPECT_EQ(GetCCDInfo(), 0);
    const double elapsed = Timer() - t0;
    EXPECT_GT(elapsed, 1.5);
    EXPECT_LT(elapsed, 1.5 + kSlack);
    EXPECT_STREQ(szStatus, "Timeout-RS-232...");
    EXPECT_EQ(Status(), "shown before");
    EXPECT_EQ(ccdmaxpixel, 1024u);
}

TEST_F(Transactions, CcdReplyArrivingInTheLastPassIsUsed) {
    DeliverReplyAndOverrunLimit(Reply(10, {3, 512, 0}));
    EXPECT_EQ(GetCCDInfo(), 1);
    EXPECT_GT(tdiff, TIMEOUT);
    EXPECT_EQ(ccdmaxpixel, 512u);
}

// ---- video blocks ------------------------------------------------------------------

std::vector<std::uint16_t> Samples(int first, int count) {
    std::vector<std::uint16_t> s;
    for (int i = 0; i < count; i++)
        s.push_back(static_cast<std::uint16_t>((first + i) * 3 + 0x0100));
    return s;
}

class VideoBlocks : public Transactions {
  protected:
    void SetUp() override {
        Transactions::SetUp();
        ReceiveCallbackOff(); // as the video loop does around its four blocks
    }
};

TEST_F(VideoBlocks, ABlockRequestCarriesStartAndLastFlagAndZerosWhateverPpHolds) {
    const struct {
        int start, last;
        sim::Telegram expected;
    } cases[] = {
        {0, 0, {0x00, 0x55, 0x00, 0x09}},
        {192, 1, {0x00, 0x55, 0x00, 0x09, 0x00, 0xC0, 0x00, 0x01}},
    };
    for (auto &w : pp)
        w = 0xFFFF;
    sensor.script(sim::order::Video, FirmwareReply(Samples(0, 64)));
    for (const auto &c : cases) {
        sensor.clearRequests();
        EXPECT_EQ(ReadData64(c.start, c.last), 1);
        const auto requests = RequestsAfter(1);
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0], c.expected) << c.start;
        EXPECT_EQ(order, 9);
    }
}

TEST_F(VideoBlocks, ACompleteBlockFillsItsSixtyFourSamples) {
    adcbuf[191] = 7;
    sensor.script(sim::order::Video, FirmwareReply(Samples(192, 64)));
    EXPECT_EQ(ReadData64(192, 1), 1);
    for (int i = 192; i < 256; i++)
        ASSERT_EQ(adcbuf[i], i * 3 + 0x0100) << i;
    EXPECT_EQ(adcbuf[191], 7u);
    EXPECT_EQ(Status(), "Data[64] block received!");
    EXPECT_EQ(nBytesR, 128);
}

TEST_F(VideoBlocks, AShortBlockTimesOutAndItsMissingSamplesAreZero) {
    sensor.script(sim::order::Video, FirmwareReply(Samples(64, 64)), milliseconds(0), Repeat::Once);
    ReadData64(64, 0); // leaves a whole earlier block in the reply buffer
    Bytes shortReply = FirmwareReply(Samples(0, 64));
    shortReply.resize(100);
    sensor.script(sim::order::Video, shortReply);
    const double t0 = Timer();
    EXPECT_EQ(ReadData64(0, 0), 1);
    const double elapsed = Timer() - t0;
    EXPECT_GT(elapsed, 1.5);
    EXPECT_LT(elapsed, 1.5 + kSlack);
    EXPECT_EQ(Status(), "Timeout-RS-232 while reading 64 data-words!");
    for (int i = 0; i < 50; i++)
        ASSERT_EQ(adcbuf[i], i * 3 + 0x0100) << i;
    for (int i = 50; i < 64; i++)
        ASSERT_EQ(adcbuf[i], 0u) << i;
    EXPECT_EQ(adcbuf[64], 64 * 3 + 0x0100);
}

TEST_F(VideoBlocks, ABlockShortlyBeforeTheLimitIsTaken) {
    sensor.script(sim::order::Video, FirmwareReply(Samples(128, 64)), milliseconds(1300));
    ReadData64(128, 0);
    EXPECT_EQ(Status(), "Data[64] block received!");
    EXPECT_EQ(adcbuf[128], 128 * 3 + 0x0100);
}

TEST_F(VideoBlocks, AVanishedPortGivesAZeroBlockAfterTheTimeOut) {
    adcbuf[0] = 5;
    sensor.hangUp();
    EXPECT_EQ(ReadData64(0, 0), 1);
    EXPECT_EQ(Status(), "Timeout-RS-232 while reading 64 data-words!");
    EXPECT_EQ(adcbuf[0], 0u);
}

// ---- teach and reset -----------------------------------------------------------------

int Click(int (*callback)(int, int, int, void *, int, int), int event = EVENT_COMMIT) {
    return callback(panelHandle, 0, event, nullptr, 0, 0);
}

TEST_F(Transactions, TeachWithReplyReadsTheParametersBackAtOnce) {
    for (int i = 0; i < PNUM; i++)
        pp[i] = static_cast<unsigned short>(50 + i);
    const sim::Words current{50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 65};
    target = EEPROM;
    sensor.script(sim::order::Teach, Reply(6));
    sensor.script(sim::order::ReadRam, Reply(2, kSensorParams));
    EXPECT_EQ(Click(CC_ButtonTeach), 0);
    const auto requests = RequestsAfter(2);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], Request(6, current));
    EXPECT_EQ(sim::requestOrder(requests[1]), 2);
    EXPECT_EQ(ParameterWords(), kSensorParams);
    EXPECT_EQ(Status(), "Parameter-frame received! - Line Ok!");
    EXPECT_EQ(target, EEPROM);
}

TEST_F(Transactions, TeachWithoutReplyEndsAsATimeOutAndReadsNothing) {
    const double t0 = Timer();
    Click(CC_ButtonTeach);
    const double elapsed = Timer() - t0;
    EXPECT_GE(elapsed, 1.5);
    EXPECT_LT(elapsed, 1.5 + kSlack);
    EXPECT_EQ(Status(), "Timeout-RS-232...");
    EXPECT_STREQ(szStatus, "Timeout-RS-232...");
    const auto requests = RequestsAfter(2, 300);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(sim::requestOrder(requests[0]), 6);
}

TEST_F(Transactions, TeachReplyInTheLastPassComesTooLate) {
    // The reply test comes before the events of a pass: a reply delivered
    // in the pass that runs out of time is not taken.
    DeliverReplyAndOverrunLimit(Reply(6));
    Click(CC_ButtonTeach);
    EXPECT_EQ(Status(), "Timeout-RS-232...");
    EXPECT_EQ(sensor.orders(), std::vector<std::uint16_t>{6});
}

TEST_F(Transactions, ResetWithReplyIsOk) {
    for (int i = 0; i < PNUM; i++)
        pp[i] = static_cast<unsigned short>(i * 2);
    const sim::Words current{0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30};
    sensor.script(sim::order::ResetMaxMin, Reply(11));
    Click(CC_ButtonReset);
    EXPECT_EQ(Status(), "Reset Max/Min OK!");
    const auto requests = RequestsAfter(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], Request(11, current));
}

TEST_F(Transactions, ResetWithoutReplyTimesOut) {
    const double t0 = Timer();
    Click(CC_ButtonReset);
    const double elapsed = Timer() - t0;
    EXPECT_GE(elapsed, 1.5);
    EXPECT_LT(elapsed, 1.5 + kSlack);
    EXPECT_EQ(Status(), "Timeout-RS-232...");
}

TEST_F(Transactions, ResetReplyShortlyBeforeTheLimitIsOk) {
    sensor.script(sim::order::ResetMaxMin, Reply(11), milliseconds(1300));
    Click(CC_ButtonReset);
    EXPECT_EQ(Status(), "Reset Max/Min OK!");
}

using Callback = int (*)(int, int, int, void *, int, int);
const struct {
    const char *name;
    Callback press;
    std::uint16_t order;
    const char *note;
} kTeachAndReset[] = {
    {"Teach", CC_ButtonTeach, sim::order::Teach, "New setpoint value teached!"},
    {"Reset", CC_ButtonReset, sim::order::ResetMaxMin, "Reset Max/Min values..."},
};

TEST_F(Transactions, TeachAndResetShowTheirNoteWhileWaitingAndActOnCommitOnly) {
    for (const auto &b : kTeachAndReset) {
        Click(b.press, EVENT_LEFT_CLICK);
        Click(b.press, EVENT_VAL_CHANGED);
        EXPECT_FALSE(sensor.waitForRequests(1, milliseconds(100))) << b.name;
        std::string seen;
        AtTime(300, [&seen] { seen = Status(); });
        Click(b.press);
        EXPECT_EQ(seen, b.note);
        EXPECT_EQ(sensor.orders(), std::vector<std::uint16_t>{b.order});
        sensor.clearRequests();
    }
}

// ---- one exchange at a time -----------------------------------------------------------

TEST_F(Transactions, TeachAndResetAreRefusedWhileTheOtherWaits) {
    for (const auto &first : kTeachAndReset) {
        const auto &second = kTeachAndReset[first.press == CC_ButtonTeach ? 1 : 0];
        std::string seen;
        AtTime(300, [&seen, &second] {
            Click(second.press);
            seen = Status();
        });
        Click(first.press); // silent sensor: waits 1.5 s
        EXPECT_EQ(seen, "Busy - press Stop or wait!") << second.name;
        EXPECT_EQ(sensor.orders(), std::vector<std::uint16_t>{first.order});
        EXPECT_EQ(Status(), "Timeout-RS-232...");
        EXPECT_EQ(SensorBusy(), 0);
        sensor.clearRequests();
    }
}

TEST_F(Transactions, TheReadBackAfterATeachIsPartOfTheSameExchange) {
    sensor.script(sim::order::Teach, Reply(6));
    sensor.script(sim::order::ReadRam, Reply(2, kSensorParams), milliseconds(300));
    int busyDuringRead = -1;
    AtTime(150, [&busyDuringRead] { busyDuringRead = SensorBusy(); });
    Click(CC_ButtonTeach);
    EXPECT_EQ(busyDuringRead, 1);
    EXPECT_EQ(sensor.orders(), (std::vector<std::uint16_t>{6, 2}));
    EXPECT_EQ(SensorBusy(), 0);
}

TEST_F(Transactions, AfterAnExchangeEndsTheButtonsWorkAgain) {
    BeginExchange();
    EXPECT_EQ(RefuseIfBusy(), 1);
    EndExchange();
    EXPECT_EQ(RefuseIfBusy(), 0);
    sensor.script(sim::order::ResetMaxMin, Reply(11));
    Click(CC_ButtonReset);
    EXPECT_EQ(Status(), "Reset Max/Min OK!");
}

} // namespace

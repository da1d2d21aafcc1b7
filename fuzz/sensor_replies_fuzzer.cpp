// Fuzzes the program's receive path and reply decoding: the receive callback
// (RX_Receive_Function), the transactions that wait for and decode replies
// (echo check, parameter read, firmware text, CCD info, video blocks, teach,
// reset) and the Run and Data loops that show what was decoded, all running
// unchanged against a serial line whose far end says what the fuzz input
// says (fuzz/line/).
//
// The input is a run of steps: one byte picks a step from kSteps (and, for a
// video block, which block), the step runs, and every request it sends takes
// the next reply from the input (fuzz/line/reply_script.h). Steps go on until
// the input ends; replies that come late or unasked reach the steps after
// them, as they would on the line. Each step ends with its check
// (sensor_replies_checks.h). VEXA_FUZZ_TRACE=1 prints the steps as they run.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/program.h"
#include "display/live_loop.h"
#include "display/video_loop.h"
#include "fuzz/line/scripted_line.h"
#include "fuzz/sensor_replies_checks.h"
#include "fuzz/support/byte_cursor.h"
#include "fuzz/support/check.h"
#include "link/connection.h"
#include "link/transactions.h"
#include "params/panel_binding.h"
#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/startup.h"

namespace {

using vexafuzz::ScriptedLine;
using vexafuzz::Snapshot;

constexpr int kPort = 5;
constexpr int kIdlePasses = 64; // event passes for bytes that come unasked

ScriptedLine &Line() {
    return ScriptedLine::instance();
}

void ConnectSequence(int, const Snapshot &) {
    InitRS232(com);
}

void ReadRam(int, const Snapshot &before) {
    PushGET(RAM);
    vexafuzz::CheckParameterRead(before, ORDER_READ_RAM);
}

void ReadEeprom(int, const Snapshot &before) {
    PushGET(EEPROM);
    vexafuzz::CheckParameterRead(before, ORDER_READ_EEPROM);
}

void EchoCheck(int, const Snapshot &before) {
    vexafuzz::CheckEchoCheck(before, CheckComLine(com));
}

void FirmwareInfo(int, const Snapshot &before) {
    GetVERSIONInfo();
    vexafuzz::CheckFirmwareInfo(before);
}

void CcdInfo(int, const Snapshot &before) {
    vexafuzz::CheckCcdInfo(before, GetCCDInfo());
}

// One block as the Data loop reads it: with the receive callback off.
void VideoBlock(int arg, const Snapshot &before) {
    const int block = arg % 4;
    ReceiveCallbackOff();
    FlushInQ(com);
    const int start = block * VIDEO_BLOCK_SAMPLES;
    const int lastBlock = block == 3 ? 1 : 0;
    ReadData64(start, lastBlock);
    ReceiveCallbackOn();
    vexafuzz::CheckVideoBlock(before, start, lastBlock);
}

void Teach(int, const Snapshot &before) {
    CC_ButtonTeach(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0);
    static const unsigned short orders[] = {ORDER_TEACH, ORDER_READ_RAM, 0};
    vexafuzz::CheckRequestOrders(before, orders);
    vexafuzz::CheckParameterRead(before, ORDER_READ_RAM);
}

void ResetMaxMin(int, const Snapshot &before) {
    CC_ButtonReset(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0);
    static const unsigned short orders[] = {ORDER_RESET_MAXMIN, 0};
    vexafuzz::CheckRequestOrders(before, orders);
}

void LiveLoop(int, const Snapshot &before) {
    CC_BTNRun(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0);
    static const unsigned short orders[] = {ORDER_FRAME, 0};
    vexafuzz::CheckRequestOrders(before, orders);
    vexafuzz::CheckLiveLoop(before);
}

void VideoLoop(int, const Snapshot &before) {
    CC_BTNData(panelHandle, 0, EVENT_COMMIT, nullptr, 0, 0);
    static const unsigned short orders[] = {ORDER_FRAME, ORDER_VIDEO_BLOCK, 0};
    vexafuzz::CheckRequestOrders(before, orders);
}

// Bytes the sensor sends without being asked, while the program idles.
void UnaskedBytes(int, const Snapshot &before) {
    Line().hearUnasked();
    for (int pass = 0; pass < kIdlePasses && !Line().quiet(); ++pass)
        ProcessSystemEvents();
    ProcessSystemEvents(); // the callback for the last chunk
    vexafuzz::CheckUnaskedBytes(before);
}

struct Step {
    const char *name;
    void (*run)(int arg, const Snapshot &before);
};

constexpr Step kSteps[] = {
    {"connect sequence", ConnectSequence},
    {"read RAM", ReadRam},
    {"read EEPROM", ReadEeprom},
    {"echo check", EchoCheck},
    {"firmware info", FirmwareInfo},
    {"CCD info", CcdInfo},
    {"video block", VideoBlock},
    {"teach", Teach},
    {"reset max/min", ResetMaxMin},
    {"Run loop", LiveLoop},
    {"Data loop", VideoLoop},
    {"unasked bytes", UnaskedBytes},
};
constexpr int kStepCount = static_cast<int>(sizeof kSteps / sizeof kSteps[0]);

// The program as the connect sequence leaves it, before its first request:
// default values, the port open, the receive callback installed.
void StartExecution(vexafuzz::ByteCursor &input) {
    Line().reset(&input);
    SetDefaultValues();
    com = kPort;
    Ledge = Redge = Mvalue = pix1 = edcnt = mvstart = mvend = pixdelta = 0;
    anaMax = anaMin = in0 = 0;
    ccdtype = ccdresolution = 0;
    graphrefresh = 0;
    tstart = tdiff = 0.0;
    nBytesW = nBytesR = 0;
    std::memset(pp, 0, sizeof pp);
    std::memset(szReadBuf, 0, sizeof szReadBuf);
    std::memset(szWriteBuf, 0, sizeof szWriteBuf);
    std::memset(szVersion, 0, sizeof szVersion);
    std::memset(adcbuf, 0, sizeof adcbuf);
    std::memset(arrayNORM, 0, sizeof arrayNORM);
    std::strcpy(szStatus, "InitVars");
    for (int i = 0; i < 256; i++) {
        xArray[i] = static_cast<unsigned short>(4 * i);
        thdArray[i] = vThd;
    }
    VEXA_FUZZ_CHECK(OpenComConfig(kPort, "", 19200, 0, 8, 1, 4096, 4096) == 0, "the port opens");
    SetComTime(kPort, 2.0);
    ReceiveCallbackOn();
}

// libFuzzer ends with exit(): the panels go and the run-time ends before the
// static objects do, as at the end of the program.
void EndRunTime() {
    DiscardPanel(panelPopUp);
    DiscardPanel(panelHandle);
    CloseCVIRTE();
}

bool Tracing() {
    static const bool tracing = std::getenv("VEXA_FUZZ_TRACE") != nullptr;
    return tracing;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char name[] = "vexa-fuzz-sensor-replies";
    char *argv[] = {name, nullptr};
    VEXA_FUZZ_CHECK(InitCVIRTE(nullptr, argv, nullptr) == 1, "the run-time starts");
    RegisterProgramCallbacks();
    panelHandle = LoadPanel(0, VEXA_PANEL_FILE_PATH, PANEL);
    panelPopUp = LoadPanel(panelHandle, VEXA_PANEL_FILE_PATH, CCDPANEL);
    VEXA_FUZZ_CHECK(panelHandle > 0 && panelPopUp > 0, "both panels load from the panel file");
    SetDefaultValues();
    SetPanelValues();
    std::atexit(EndRunTime);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    vexafuzz::ByteCursor input(data, size);
    StartExecution(input);
    while (!input.empty()) {
        const std::uint8_t pick = input.take();
        const Step &step = kSteps[pick % kStepCount];
        const Snapshot before = vexafuzz::TakeSnapshot();
        step.run(pick / kStepCount, before);
        vexafuzz::CheckEveryStep(before);
        if (Tracing())
            std::fprintf(stderr, "step %-16s requests %zu reads %zu callbacks %zu: %s\n", step.name,
                         Line().writes.size() - before.writes, Line().reads.size() - before.reads,
                         Line().callbacks - before.callbacks, szStatus);
    }
    Line().reset(nullptr);
    return 0;
}

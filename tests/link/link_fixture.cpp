#include "tests/link/link_fixture.h"

#include <QTimer>

#include <cstring>
#include <memory>

#include "app/program.h"
#include "link/connection.h"
#include "params/panel_binding.h"
#include "params/parameter_table.h"
#include "runtime/runtime.h"
#include "shell/controls.h"
#include "shell/globals.h"
#include "shell/startup.h"

namespace linktest {

void LoadPanelsOnce() {
    static bool loaded = false;
    if (loaded)
        return;
    RegisterProgramCallbacks();
    panelHandle = LoadPanel(0, VEXA_PANEL_FILE_PATH, PANEL);
    ASSERT_GE(panelHandle, 0);
    panelPopUp = LoadPanel(panelHandle, VEXA_PANEL_FILE_PATH, CCDPANEL);
    ASSERT_GE(panelPopUp, 0);
    loaded = true;
    // The first drawing and event processing of a program are slow (fonts,
    // plugins); get them over with before any timed wait.
    SetStartValues();
    SetPanelValues();
    ProcessFor(0.3);
}

void SetStartValues() {
    SetDefaultValues();
    com = kPort;
    graphrefresh = 0;
    ccdtype = 0;
    ccdresolution = 0;
    pix1 = 0;
    tstart = tdiff = 0.0;
    nBytesW = nBytesR = 0;
    std::memset(pp, 0, sizeof pp);
    std::memset(szReadBuf, 0, sizeof szReadBuf);
    std::memset(szWriteBuf, 0, sizeof szWriteBuf);
    std::memset(szVersion, 0, sizeof szVersion);
    std::strcpy(szStatus, "InitVars");
    SetCtrlVal(panelHandle, TEXT_Status, szStatus);
    for (int i = 0; i < 256; i++) {
        adcbuf[i] = 0;
        xArray[i] = static_cast<unsigned short>(4 * i);
        thdArray[i] = vThd;
    }
}

std::string CtrlText(int panel, int control) {
    char text[300] = {};
    GetCtrlVal(panel, control, text);
    return text;
}

int CtrlInt(int panel, int control) {
    int v = -1;
    GetCtrlVal(panel, control, &v);
    return v;
}

int Dimmed(int panel, int control) {
    int v = -1;
    GetCtrlAttribute(panel, control, ATTR_DIMMED, &v);
    return v;
}

void ProcessFor(double seconds) {
    const double end = Timer() + seconds;
    while (Timer() < end)
        ProcessSystemEvents();
}

namespace {

// Owns the pending AtTime actions; a test that ends early drops them with it,
// so that none runs in a later test with what it captured gone.
std::unique_ptr<QObject> &timedActions() {
    static std::unique_ptr<QObject> owner;
    if (!owner)
        owner = std::make_unique<QObject>();
    return owner;
}

} // namespace

void AtTime(int ms, std::function<void()> action) {
    QTimer::singleShot(ms, Qt::PreciseTimer, timedActions().get(), std::move(action));
}

Bytes Reply(std::uint16_t echo, const sim::Words &words, std::uint16_t header) {
    return sim::makeReply(echo, words, header);
}

Bytes FirmwareReply(const std::vector<std::uint16_t> &words) {
    return sim::wordsToBytes(words);
}

sim::Telegram Request(std::uint16_t orderCode, const sim::Words &words) {
    return sim::makeRequest(orderCode, words);
}

sim::Words ParameterWords() {
    sim::Words w{};
    for (int i = 0; i < PNUM; i++)
        w[static_cast<std::size_t>(i)] = *parameterTable[i].var;
    return w;
}

void SetParameterWords(const sim::Words &w) {
    for (int i = 0; i < PNUM; i++)
        *parameterTable[i].var = w[static_cast<std::size_t>(i)];
}

void LinkTest::SetUp() {
    LoadPanelsOnce();
    SetStartValues();
    SetComDevice(kPort, sensor.slavePath().c_str());
}

void LinkTest::TearDown() {
    timedActions().reset();
    CloseCom(kPort);
    ProcessFor(0.01); // let queued callbacks of the closed port drain
}

void LinkTest::OpenLine() {
    ASSERT_EQ(OpenComConfig(kPort, "", 19200, 0, 8, 1, 4096, 4096), 0);
    SetComTime(kPort, 2.0);
    SetCTSMode(kPort, 0);
    ReceiveCallbackOn();
}

std::vector<sim::Telegram> LinkTest::RequestsAfter(std::size_t n, int ms) {
    sensor.waitForRequests(n, milliseconds(ms));
    return sensor.requests();
}

} // namespace linktest

// The run-time's serial line (runtime.h, "serial line") over the scripted
// line, for the sensor-reply harness: what the link code calls to open,
// flush, write, read and watch the port. Return codes follow the real line.
// Functions not stood in here (the device map, the open problem) keep their
// real definitions; they take no bytes from the sensor.
#include "fuzz/line/scripted_line.h"
#include "fuzz/line/stand_in.h"
#include "runtime/runtime.h"

namespace {

constexpr int kInvalidPort = -2;
constexpr int kPortNotOpen = -3;

vexafuzz::ScriptedLine &Line() {
    return vexafuzz::ScriptedLine::instance();
}

} // namespace

int LineOpen(int port, const char *, long, int, int, int, int, int)
    VEXA_STAND_IN(_Z13OpenComConfigiPKcliiiii);
int LineClose(int port) VEXA_STAND_IN(_Z8CloseComi);
int LineSetTimeout(int port, double seconds) VEXA_STAND_IN(_Z10SetComTimeid);
int LineSetHandshake(int port, int mode) VEXA_STAND_IN(_Z10SetCTSModeii);
int LineFlushInput(int port) VEXA_STAND_IN(_Z8FlushInQi);
int LineFlushOutput(int port) VEXA_STAND_IN(_Z9FlushOutQi);
int LineWrite(int port, const char *buffer, int count) VEXA_STAND_IN(_Z6ComWrtiPKci);
int LineRead(int port, char *buffer, int count) VEXA_STAND_IN(_Z5ComRdiPci);
int LineQueued(int port) VEXA_STAND_IN(_Z9GetInQLeni);
int LineOutputQueued(int port) VEXA_STAND_IN(_Z10GetOutQLeni);
int LineInstall(int port, int eventMask, int notifyCount, int eventCharacter,
                ComCallbackPtr callback, void *callbackData)
    VEXA_STAND_IN(_Z18InstallComCallbackiiiiPFviiPvES_);

VEXA_SAME_TYPE(LineOpen, OpenComConfig);
VEXA_SAME_TYPE(LineClose, CloseCom);
VEXA_SAME_TYPE(LineSetTimeout, SetComTime);
VEXA_SAME_TYPE(LineSetHandshake, SetCTSMode);
VEXA_SAME_TYPE(LineFlushInput, FlushInQ);
VEXA_SAME_TYPE(LineFlushOutput, FlushOutQ);
VEXA_SAME_TYPE(LineWrite, ComWrt);
VEXA_SAME_TYPE(LineRead, ComRd);
VEXA_SAME_TYPE(LineQueued, GetInQLen);
VEXA_SAME_TYPE(LineOutputQueued, GetOutQLen);
VEXA_SAME_TYPE(LineInstall, InstallComCallback);

int LineOpen(int port, const char *, long, int, int, int, int, int) {
    if (port < 1 || port > 1000)
        return kInvalidPort;
    Line().open(port);
    return 0;
}

int LineClose(int port) {
    if (Line().isOpen(port))
        Line().close();
    return 0;
}

int LineSetTimeout(int port, double seconds) {
    if (!Line().isOpen(port))
        return kPortNotOpen;
    Line().setTimeout(seconds);
    return 0;
}

int LineSetHandshake(int port, int) {
    return Line().isOpen(port) ? 0 : kPortNotOpen;
}

int LineFlushInput(int port) {
    if (!Line().isOpen(port))
        return kPortNotOpen;
    Line().flushInput();
    return 0;
}

int LineFlushOutput(int port) {
    return Line().isOpen(port) ? 0 : kPortNotOpen;
}

int LineWrite(int port, const char *buffer, int count) {
    if (!Line().isOpen(port))
        return kPortNotOpen;
    Line().write(buffer, count);
    return count;
}

int LineRead(int port, char *buffer, int count) {
    if (!Line().isOpen(port))
        return kPortNotOpen;
    return Line().read(buffer, count);
}

int LineQueued(int port) {
    const int n = Line().queued(); // a look at a closed port lets time pass, too
    return Line().isOpen(port) ? n : kPortNotOpen;
}

// What the program writes is on the line at once.
int LineOutputQueued(int port) {
    return Line().isOpen(port) ? 0 : kPortNotOpen;
}

int LineInstall(int port, int eventMask, int notifyCount, int, ComCallbackPtr callback,
                void *callbackData) {
    if (!Line().isOpen(port))
        return kPortNotOpen;
    Line().install(eventMask, notifyCount, callback, callbackData);
    return 0;
}

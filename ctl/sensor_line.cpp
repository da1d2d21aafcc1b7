#include "ctl/sensor_line.h"

#include <QByteArray>

#include <algorithm>

#include "display/loop_support.h"
#include "link/connection.h"
#include "link/output_queue.h"
#include "link/reply_header.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "params/parameter_table.h"
#include "ports/port_catalog.h"
#include "record/windows1252.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "shell/startup.h"

namespace ctl {

namespace {

constexpr int DEVICE_PORT = 1;            // the number a --port device is given
constexpr double WRITE_SETTLE_TIME = 0.1; // seconds; 36 bytes take 18.75 ms at 19200 baud

Step fromOutcome(const ExchangeOutcome &outcome, const char *fallback) {
    if (outcome.result == 1)
        return {true, {}};
    return {false, QString::fromLatin1(outcome.text ? outcome.text : fallback)};
}

// The window takes any 36 bytes as the reply to any order; a script must not
// go on with random bytes. A step that worked stands only when the reply in
// szReadBuf begins with the header word and echoes the order sent.
Step checkedReply(Step step, unsigned short orderCode) {
    if (!step.ok)
        return step;
    if (rx_flag != 1)
        return {false, QStringLiteral("Timeout-RS-232...")};
    if (!ReplyHeaderOk(szReadBuf))
        return {false, QStringLiteral("read error - not sync byte 0xAA! (the reply to order %1 "
                                      "begins with 0x%2)")
                           .arg(orderCode)
                           .arg(BytesToWord(&szReadBuf[0]), 4, 16, QLatin1Char('0'))};
    const unsigned short echo = BytesToWord(&szReadBuf[2]);
    if (echo != orderCode)
        return {false,
                QStringLiteral("the reply to order %1 echoes order %2").arg(orderCode).arg(echo)};
    return step;
}

// COM numbers as the window's selector gives them out: adapters found on the
// machine on the numbers not given otherwise.
int lookUpFoundPort(int port, char device[]) {
    const QByteArray found = ports::PortCatalog::instance().map().device(port).toLocal8Bit();
    std::snprintf(device, 260, "%s", found.constData());
    return found.isEmpty() ? 0 : 1;
}

} // namespace

SensorLine::SensorLine() {
    SetDefaultValues();
    CopyVarsToPP(); // the current pp of the first requests: the start values
    SetExchangeNoteHook(nullptr);
}

SensorLine::~SensorLine() {
    if (open_) {
        DrainOutQ();
        CloseCom(port_);
    }
}

bool SensorLine::open(const PortChoice &choice, QString *problem) {
    if (!choice.device.isEmpty()) {
        port_ = DEVICE_PORT;
        SetComDevice(port_, choice.device.toLocal8Bit().constData());
    } else {
        port_ = choice.number;
        SetComDeviceLookup(lookUpFoundPort);
    }
    com = port_;
    const int result = OpenSensorPort(port_);
    if (result < 0) {
        char why[260] = {};
        GetComOpenProblem(port_, why);
        *problem =
            why[0] ? QString::fromLocal8Bit(why) : QString::fromLatin1(OpenErrorText(result));
        return false;
    }
    open_ = true;
    SetUpSensorPort(port_);
    return true;
}

QString SensorLine::device() const {
    char device[260] = {};
    GetComOpenDevice(port_, device);
    return QString::fromLocal8Bit(device);
}

Step SensorLine::echo() {
    return checkedReply(fromOutcome(EchoExchange(port_), "Timeout-RS-232..."), ORDER_ECHO);
}

Step SensorLine::firmware(QString *text) {
    char version[STATUS_LEN] = {};
    const ExchangeOutcome outcome = FirmwareExchange(version);
    if (outcome.result < FIRMWARE_REPLY_LEN)
        return {false,
                QString::fromLatin1(outcome.text ? outcome.text : "Error reading firmware-info!")};
    // More than 72 bytes at once: the window forms no text either.
    if (nBytesR != FIRMWARE_REPLY_LEN)
        return {false, QStringLiteral("Error reading firmware-info!")};
    // The sensor's text is Windows-1252 (0x80 is the euro sign, not a
    // control character as in Latin-1).
    *text = QString::fromStdString(record::utf8FromWindows1252(version));
    return {true, {}};
}

Step SensorLine::ccdInfo(CcdInfo *info) {
    return checkedReply(fromOutcome(CcdInfoExchange(info), "Error reading CCD-info"),
                        ORDER_CCD_INFO);
}

Step SensorLine::readSet(bool eeprom, ParameterSet *set) {
    const unsigned short orderCode = eeprom ? ORDER_READ_EEPROM : ORDER_READ_RAM;
    return checkedReply(fromOutcome(ParameterExchange(orderCode, set->data()), "Timeout-RS-232..."),
                        orderCode);
}

void SensorLine::adopt(const ParameterSet &set) {
    for (int i = 0; i < PNUM; i++)
        *parameterTable[i].var = set[i];
}

Step SensorLine::writeSet(bool eeprom, const ParameterSet &set) {
    const unsigned short orderCode = eeprom ? ORDER_WRITE_EEPROM : ORDER_WRITE_RAM;
    if (WriteParameterSet(orderCode, set.data()) != TELEGRAM_LEN)
        return {false, QStringLiteral("Cannot write to the port")};
    // The read-back that follows flushes the output queue: the set must have
    // reached the sensor by then. Some lines (USB adapters, pseudo-terminals)
    // report an empty queue before the bytes are through, so the line time
    // and a margin pass too; a reply the sensor might send meanwhile is taken
    // by the receive callback and dropped by the read-back's flush.
    DrainOutQ();
    const double settled = Timer() + WRITE_SETTLE_TIME;
    while (Timer() < settled)
        ProcessSystemEvents();
    return {true, {}};
}

Step SensorLine::teach() {
    return checkedReply(fromOutcome(TeachExchange(), "Timeout-RS-232..."), ORDER_TEACH);
}

Step SensorLine::reset() {
    return checkedReply(fromOutcome(ResetExchange(), "Timeout-RS-232..."), ORDER_RESET_MAXMIN);
}

Step SensorLine::frame(bool packed, FrameWords *words) {
    const ExchangeOutcome outcome = FrameExchange(packed ? 1 : 0, words->data());
    if (rx_flag == 1) // pp holds the frame; tVal and tTol go back with the next request
        CopyPPtoFrame(packed ? RUN_FRAME_WORDS : DATA_FRAME_WORDS);
    return checkedReply(fromOutcome(outcome, "Timeout RS232-Line!"), ORDER_FRAME);
}

Step SensorLine::videoSignal(VideoSamples *samples) {
    ReceiveCallbackOff(); // the 128-byte replies stay in the input queue
    FlushInQ(com);
    DrainOutQ();
    Step step{true, {}};
    for (int start = 0; start < 256; start += VIDEO_BLOCK_SAMPLES) {
        const int lastBlock = start + VIDEO_BLOCK_SAMPLES == 256 ? 1 : 0;
        const ExchangeOutcome outcome =
            VideoBlockExchange(start, lastBlock, samples->data() + start);
        if (step.ok && nBytesR != VIDEO_BLOCK_LEN)
            step = {false,
                    QString::fromLatin1(outcome.text ? outcome.text : "Error reading video block")};
    }
    ReceiveCallbackOn();
    return step;
}

} // namespace ctl

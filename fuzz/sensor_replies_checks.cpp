#include "fuzz/sensor_replies_checks.h"

#include <cstring>
#include <vector>

#include "display/loop_support.h"
#include "fuzz/line/scripted_line.h"
#include "fuzz/support/check.h"
#include "link/exchange_guard.h"
#include "link/transactions.h"
#include "params/parameter_table.h"
#include "shell/globals.h"

namespace vexafuzz {

namespace {

constexpr unsigned short kSyncWord = 0x0055;
constexpr unsigned short kReplyHeader = 0x00AA;
constexpr const char *kFrameReceived = "Parameter-frame received! - Line Ok!";

ScriptedLine &Line() {
    return ScriptedLine::instance();
}

// Word i of a byte run, high byte first; 0 past its end (bytes that never came).
unsigned short WordAt(const std::vector<char> &bytes, std::size_t firstByte) {
    const auto byte = [&](std::size_t i) -> unsigned {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u;
    };
    return static_cast<unsigned short>(byte(firstByte) << 8 | byte(firstByte + 1));
}

unsigned short DataWord(const std::vector<char> &telegram, int word) {
    return WordAt(telegram, 4 + 2 * static_cast<std::size_t>(word));
}

const std::vector<char> &FirstRequestOfStep(const Snapshot &before) {
    VEXA_FUZZ_CHECK(Line().writes.size() > before.writes, "the step sent a request");
    return Line().writes[before.writes];
}

bool Terminated(const char *text, std::size_t size) {
    return std::memchr(text, '\0', size) != nullptr;
}

// The value CheckParameter leaves for a word read as `v`, by the table's rules.
unsigned short RangeChecked(int word, unsigned short v) {
    const ParameterEntry &p = parameterTable[word];
    if (v > p.upper)
        v = p.upperReplVar ? *p.upperReplVar : p.upperRepl;
    if (v < p.lower)
        v = p.lowerRepl;
    return v;
}

} // namespace

Snapshot TakeSnapshot() {
    Snapshot s;
    for (int i = 0; i < PNUM; ++i)
        s.parameters[i] = *parameterTable[i].var;
    s.ccdtype = ccdtype;
    s.ccdmaxpixel = ccdmaxpixel;
    s.ccdresolution = ccdresolution;
    std::memcpy(s.adcbuf.data(), adcbuf, sizeof adcbuf);
    s.writes = Line().writes.size();
    s.reads = Line().reads.size();
    s.callbacks = Line().callbacks;
    return s;
}

void CheckEveryStep(const Snapshot &before) {
    VEXA_FUZZ_CHECK(!SensorBusy(), "every exchange has ended when its step returns");
    for (std::size_t i = before.writes; i < Line().writes.size(); ++i) {
        const std::vector<char> &request = Line().writes[i];
        VEXA_FUZZ_CHECK(request.size() == static_cast<std::size_t>(TELEGRAM_LEN),
                        "every request is one 36-byte telegram");
        VEXA_FUZZ_CHECK(WordAt(request, 0) == kSyncWord, "every request starts with 00 55");
        const unsigned short orderCode = WordAt(request, 2);
        VEXA_FUZZ_CHECK(orderCode >= ORDER_WRITE_RAM && orderCode <= ORDER_RESET_MAXMIN,
                        "every request carries an order code the sensor knows");
    }
    VEXA_FUZZ_CHECK(Terminated(szStatus, sizeof szStatus), "szStatus stays terminated");
    VEXA_FUZZ_CHECK(Terminated(szVersion, sizeof szVersion), "szVersion stays terminated");
    VEXA_FUZZ_CHECK(nBytesR <= static_cast<int>(sizeof szReadBuf),
                    "no read is longer than the receive buffer");
    if (Line().callbacks > before.callbacks)
        VEXA_FUZZ_CHECK(Line().lastCallbackRead.size() == static_cast<std::size_t>(TELEGRAM_LEN),
                        "the receive callback reads one whole telegram");
}

void CheckRequestOrders(const Snapshot &before, const unsigned short *orders) {
    for (std::size_t i = before.writes; i < Line().writes.size(); ++i) {
        const unsigned short orderCode = WordAt(Line().writes[i], 2);
        bool known = false;
        for (const unsigned short *o = orders; *o; ++o)
            known = known || *o == orderCode;
        VEXA_FUZZ_CHECK(known, "the step sends only its own orders");
    }
}

void CheckParameterRead(const Snapshot &before, unsigned short orderCode) {
    const std::vector<char> *request = nullptr;
    for (std::size_t i = before.writes; i < Line().writes.size() && !request; ++i)
        if (WordAt(Line().writes[i], 2) == orderCode)
            request = &Line().writes[i];
    if (!request)
        return; // a teach without answer reads nothing back
    for (int i = 0; i < PNUM; ++i)
        VEXA_FUZZ_CHECK(DataWord(*request, i) == before.parameters[i],
                        "the read request carries the parameter block");

    if (std::strcmp(szStatus, kFrameReceived) != 0) {
        for (int i = 0; i < PNUM; ++i)
            VEXA_FUZZ_CHECK(pp[i] == before.parameters[i],
                            "a read without reply leaves pp as it was sent");
        return;
    }
    VEXA_FUZZ_CHECK(Line().callbacks > before.callbacks,
                    "a frame is received only by the callback");
    const std::vector<char> &reply = Line().lastCallbackRead;
    for (int i = 0; i < PNUM; ++i) {
        VEXA_FUZZ_CHECK(pp[i] == DataWord(reply, i), "pp holds the data words of the reply read");
        VEXA_FUZZ_CHECK(*parameterTable[i].var == RangeChecked(i, pp[i]),
                        "each parameter is its data word after the table's range check");
    }
}

void CheckEchoCheck(const Snapshot &before, int result) {
    const std::vector<char> &request = FirstRequestOfStep(before);
    VEXA_FUZZ_CHECK(WordAt(request, 2) == ORDER_ECHO, "the echo check sends order 5");
    for (int i = 0; i < PNUM; ++i)
        VEXA_FUZZ_CHECK(DataWord(request, i) == before.parameters[i],
                        "the echo request carries the parameter block");
    if (rx_flag != 1) {
        VEXA_FUZZ_CHECK(result == 0, "no reply, no Ok");
        return;
    }
    const unsigned short header = WordAt(Line().lastCallbackRead, 0);
    VEXA_FUZZ_CHECK(pp[0] == header, "pp[0] holds the reply's header word");
    VEXA_FUZZ_CHECK((result == 1) == (header == kReplyHeader), "Ok exactly for the header 00 AA");
}

void CheckFirmwareInfo(const Snapshot &before) {
    VEXA_FUZZ_CHECK(WordAt(FirstRequestOfStep(before), 2) == ORDER_FIRMWARE,
                    "the firmware request sends order 7");
    VEXA_FUZZ_CHECK(Line().callbacks == before.callbacks,
                    "no receive callback while the firmware text is awaited");
    VEXA_FUZZ_CHECK(Line().reads.size() <= before.reads + 1, "the firmware text is read once");
    const bool whole = Line().reads.size() > before.reads &&
                       Line().reads.back().size() == static_cast<std::size_t>(FIRMWARE_REPLY_LEN);
    for (int i = 0; i < STATUS_LEN; ++i) {
        char expected = 0;
        if (whole && i < FIRMWARE_REPLY_LEN / 2)
            expected = Line().reads.back()[2 * static_cast<std::size_t>(i) + 1];
        VEXA_FUZZ_CHECK(szVersion[i] == expected,
                        "the firmware text is the low bytes of exactly 72 bytes, else empty");
    }
}

void CheckCcdInfo(const Snapshot &before, int result) {
    VEXA_FUZZ_CHECK(WordAt(FirstRequestOfStep(before), 2) == ORDER_CCD_INFO,
                    "the CCD info request sends order 10");
    if (rx_flag != 1) {
        VEXA_FUZZ_CHECK(result == 0, "no reply, no CCD info");
        VEXA_FUZZ_CHECK(ccdtype == before.ccdtype && ccdmaxpixel == before.ccdmaxpixel &&
                            ccdresolution == before.ccdresolution,
                        "without a reply the CCD values stay");
        return;
    }
    const std::vector<char> &reply = Line().lastCallbackRead;
    VEXA_FUZZ_CHECK(ccdtype == DataWord(reply, 0) && ccdmaxpixel == DataWord(reply, 1) &&
                        ccdresolution == DataWord(reply, 2),
                    "the CCD values are data words 0 to 2 of the reply read");
    VEXA_FUZZ_CHECK((result == 1) == (WordAt(reply, 2) == ORDER_CCD_INFO),
                    "the CCD info counts exactly when the reply echoes order 10");
    if (result == 1)
        VEXA_FUZZ_CHECK(pixB == 1 && pixE == ccdmaxpixel, "the pixel range is the whole line");
}

void CheckVideoBlock(const Snapshot &before, int start, int lastBlock) {
    const std::vector<char> &request = FirstRequestOfStep(before);
    VEXA_FUZZ_CHECK(Line().writes.size() == before.writes + 1, "one request per block");
    VEXA_FUZZ_CHECK(WordAt(request, 2) == ORDER_VIDEO_BLOCK && DataWord(request, 0) == start &&
                        DataWord(request, 1) == lastBlock,
                    "the block request carries order 9, the start and the last-block flag");
    for (int i = 2; i < PNUM; ++i)
        VEXA_FUZZ_CHECK(DataWord(request, i) == 0, "the rest of the block request is zero");
    VEXA_FUZZ_CHECK(Line().callbacks == before.callbacks,
                    "no receive callback while a block is awaited");
    VEXA_FUZZ_CHECK(Line().reads.size() <= before.reads + 1, "a block is read once");

    static const std::vector<char> nothing;
    const std::vector<char> &block =
        Line().reads.size() > before.reads ? Line().reads.back() : nothing;
    for (int index = 0; index < 256; ++index) {
        const int sample = index - start;
        if (sample < 0 || sample >= VIDEO_BLOCK_SAMPLES) {
            VEXA_FUZZ_CHECK(adcbuf[index] == before.adcbuf[index],
                            "a block leaves the other blocks' samples alone");
            continue;
        }
        const std::size_t first = 2 * static_cast<std::size_t>(sample);
        const unsigned short sent = WordAt(block, first);
        // Of a sample whose second byte never came, 0 or the byte that came.
        const bool half = block.size() == first + 1;
        VEXA_FUZZ_CHECK(adcbuf[index] == sent || (half && adcbuf[index] == 0),
                        "a block's samples come from its bytes, 0 where none came");
    }
}

void CheckLiveLoop(const Snapshot &before) {
    if (Line().callbacks == before.callbacks)
        return;
    const std::vector<char> &reply = Line().lastCallbackRead;
    // The frame words in the order CopyPPtoFrame takes them.
    const unsigned short frame[RUN_FRAME_WORDS] = {Ledge,  Redge,  Mvalue,  tVal,  tTol,
                                                   pix1,   edcnt,  mvstart, mvend, pixdelta,
                                                   anaMax, anaMin, in0};
    for (int i = 0; i < RUN_FRAME_WORDS; ++i) {
        unsigned short expected = DataWord(reply, i);
        if (i == 11 && expected == 1023) // the edge view shows a reset minimum as 1
            expected = 1;
        VEXA_FUZZ_CHECK(frame[i] == expected, "the frame shown last is the telegram read last");
    }
}

void CheckUnaskedBytes(const Snapshot &before) {
    if (Line().callbacks == before.callbacks)
        return;
    VEXA_FUZZ_CHECK(rx_flag == 1 && graphrefresh == 1, "a telegram read raises both flags");
    for (int i = 0; i < PNUM; ++i)
        VEXA_FUZZ_CHECK(pp[i] == DataWord(Line().lastCallbackRead, i),
                        "pp holds the data words of the telegram read");
}

} // namespace vexafuzz

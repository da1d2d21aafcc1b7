// What must hold after each step of the sensor-reply harness. Every value the
// program decodes from a reply must be the one the reply's bytes carry, read
// from the bytes the line handed over and from nothing else (not from an
// earlier reply, not from past the bytes that came); every request the
// program writes must be a whole, well-formed telegram; and every exchange
// must end. A step's check compares the program's state with a snapshot
// taken before the step and with what the scripted line recorded.
#pragma once

#include <array>
#include <cstddef>

namespace vexafuzz {

struct Snapshot {
    std::array<unsigned short, 16> parameters{};
    unsigned short ccdtype = 0, ccdmaxpixel = 0, ccdresolution = 0;
    std::array<unsigned short, 256> adcbuf{};
    std::size_t writes = 0, reads = 0, callbacks = 0;
};

Snapshot TakeSnapshot();

// After every step: the exchange has ended, the requests are telegrams, the
// texts are terminated, the receive callback read whole telegrams.
void CheckEveryStep(const Snapshot &before);

// Requests of the step: each with one of `orders` (a 0-terminated list).
void CheckRequestOrders(const Snapshot &before, const unsigned short *orders);

// PushGET (orders 2, 4; also the read-back after a teach, when there is one):
// the request carries the parameters; the parameters come from the telegram
// the receive callback read, range-checked by the parameter table; on a
// time-out pp keeps the parameters sent.
void CheckParameterRead(const Snapshot &before, unsigned short orderCode);
// CheckComLine: Ok only for the header word 0x00AA.
void CheckEchoCheck(const Snapshot &before, int result);
// GetVERSIONInfo: the text is the low bytes of exactly 72 bytes read, or empty.
void CheckFirmwareInfo(const Snapshot &before);
// GetCCDInfo: type, pixel count and resolution from the reply's data words.
void CheckCcdInfo(const Snapshot &before, int result);
// ReadData64: the 64 samples from the bytes read, 0 where none came; the
// other samples untouched.
void CheckVideoBlock(const Snapshot &before, int start, int lastBlock);
// The Run loop: the frame shown last is the telegram read last.
void CheckLiveLoop(const Snapshot &before);
// Bytes that came unasked: the callback decoded what it read.
void CheckUnaskedBytes(const Snapshot &before);

} // namespace vexafuzz

// The EEPROM read-back after a Send. It is a look, not a transfer: pp and
// order come back as they were, the exchange's progress notes stay out of
// the status line, and the panels and variables are not touched.
#include "readback/eeprom_read_back.h"

#include <cstring>
#include <string>

#include "link/exchange_guard.h"
#include "link/exchanges.h"
#include "link/output_queue.h"
#include "link/telegram.h"
#include "link/transactions.h"
#include "params/parameter_table.h"
#include "params/transfer_buttons.h"
#include "runtime/runtime.h"
#include "shell/globals.h"
#include "shell/window_note.h"

namespace {

// The read's request flushes the port's output queue: the write telegram
// must have left first. Then the sensor has a moment to store the set.
constexpr double STORE_PAUSE = 0.1; // s

void LetTelegramLeave(void) {
    DrainOutQ();
    const double stored = Timer() + STORE_PAUSE;
    SetWakeDeadline(stored);
    while (Timer() < stored)
        ProcessSystemEvents();
    SetWakeDeadline(0);
}

// Order 4 as one exchange of its own; pp, order and the exchange notes'
// hook come back as they were. 1 with `held` filled when the sensor answered.
int ReadEeprom(unsigned short held[PNUM]) {
    unsigned short savedPp[PNUM];
    std::memcpy(savedPp, pp, sizeof pp);
    const int savedOrder = order;
    const ExchangeNoteHook notes = GetExchangeNoteHook();
    SetExchangeNoteHook(nullptr);
    BeginExchange();
    LetTelegramLeave();
    const ExchangeOutcome outcome = ParameterExchange(ORDER_READ_EEPROM, held);
    EndExchange();
    SetExchangeNoteHook(notes);
    std::memcpy(pp, savedPp, sizeof pp);
    order = savedOrder;
    return outcome.result;
}

// "EEPROM holds the panel values", or each parameter that differs with the
// EEPROM's value first: "EEPROM differs (EEPROM ≠ panel): tVal 512 ≠ 500".
std::string Verdict(const unsigned short held[PNUM], const unsigned short sent[PNUM]) {
    std::string differs;
    for (int word = 0; word < PNUM; word++) {
        if (held[word] == sent[word])
            continue;
        differs += (differs.empty() ? "" : ", ") + std::string(parameterTable[word].name) + ' ' +
                   std::to_string(held[word]) + " \u2260 " + std::to_string(sent[word]);
    }
    return differs.empty() ? "EEPROM holds the panel values"
                           : "EEPROM differs (EEPROM \u2260 panel): " + differs;
}

void ReadBackAfterSend(int sentTo, const unsigned short sent[]) {
    if (sentTo == EEPROM)
        ReadBackEeprom(sent);
}

} // namespace

void AttachEepromReadBack(void) {
    SetSentToSensorHook(ReadBackAfterSend);
}

void ReadBackEeprom(const unsigned short sent[]) {
    if (SensorBusy()) {
        WindowNote("EEPROM not read back while a loop runs");
        return;
    }
    WindowNote("Reading the EEPROM back ...");
    unsigned short held[PNUM];
    if (ReadEeprom(held) != 1) {
        WindowNote("EEPROM read-back failed: no answer from the sensor");
        return;
    }
    WindowNote(Verdict(held, sent).c_str());
}

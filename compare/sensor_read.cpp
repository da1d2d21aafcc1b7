// The compare window's read of the sensor. It is a look, not a transfer: the
// exchanges' notes go to the window instead of the status line (which keeps
// the last transfer's result for Get to show again), and pp and order come
// back as they were, so that requests which carry pp as it stands (teach,
// reset, the Data loop's first frame) send what they would have sent.
#include "compare/sensor_read.h"

#include <cstring>

#include "link/exchange_guard.h"
#include "link/exchanges.h"
#include "link/transactions.h"
#include "shell/globals.h"

namespace compare {

namespace {

const NoteSink *windowNote = nullptr;

void passNoteToWindow(const char *text) {
    if (windowNote && text)
        (*windowNote)(QString::fromLatin1(text));
}

// Held while the exchange runs; started only when StartExchange allowed it.
class LookAtSensor {
  public:
    explicit LookAtSensor(const NoteSink &note) : previousHook_(GetExchangeNoteHook()) {
        std::memcpy(savedPp_, pp, sizeof pp);
        savedOrder_ = order;
        windowNote = &note;
        SetExchangeNoteHook(passNoteToWindow);
    }
    ~LookAtSensor() {
        SetExchangeNoteHook(previousHook_);
        windowNote = nullptr;
        std::memcpy(pp, savedPp_, sizeof pp);
        order = savedOrder_;
        EndExchange();
    }
    LookAtSensor(const LookAtSensor &) = delete;
    LookAtSensor &operator=(const LookAtSensor &) = delete;

  private:
    ExchangeNoteHook previousHook_;
    unsigned short savedPp_[PNUM];
    int savedOrder_;
};

struct Read {
    Column column;
    unsigned short orderCode;
};
constexpr Read READS[] = {{Column::Ram, ORDER_READ_RAM}, {Column::Eeprom, ORDER_READ_EEPROM}};

} // namespace

bool readSensorColumns(ParameterComparison &comparison, const NoteSink &note) {
    if (!StartExchange()) {
        note(QString::fromLatin1(BUSY_NOTE));
        return false;
    }
    const LookAtSensor look(note);
    for (const Read &read : READS) {
        ParameterSet set{};
        const ExchangeOutcome outcome = ParameterExchange(read.orderCode, set.data());
        if (outcome.result == 1)
            comparison.setValues(read.column, set);
        else
            comparison.setFailure(read.column, QString::fromLatin1(outcome.text));
        note(QString::fromLatin1(outcome.text));
    }
    return true;
}

} // namespace compare

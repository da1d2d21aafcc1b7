// The serial line of the sensor-reply harness: one COM port in memory whose
// far end answers every request with the next reply of the fuzz input, and
// the clock that the program's waits read. It stands in for the run-time's
// serial line and clock (serial_stand_in.cpp, event_loop_stand_in.cpp), so
// the link code above them runs unchanged, deterministically and without a
// device.
//
// Time is virtual and moves only with the line. Each look at it (a pass of
// event processing, a look at the input queue) lets the next chunk in, which
// takes its bytes' time at 19200 baud; a chunk that comes after a silence
// takes one look per 50 ms of it, so the program's waits run out as they
// would. When nothing more is coming, a look finds the line silent for
// longer than any wait of the program, and a read that finds too few bytes
// waits out its port time-out. So a reply that never comes costs a pass or
// two, not seconds.
#pragma once

#include <cstddef>
#include <deque>
#include <vector>

#include "fuzz/line/reply_script.h"
#include "fuzz/support/byte_cursor.h"

namespace vexafuzz {

using ReceiveCallback = void (*)(int portNumber, int eventMask, void *callbackData);

class ScriptedLine {
  public:
    static constexpr double kBytesPerSecond = 1920.0; // 19200 baud, 8N1
    static constexpr double kSilence = 3.0;           // longer than every wait of the program
    static constexpr double kLookStep = 0.05;         // of a silence before a chunk, per look
    static constexpr double kProgramTick = 1e-6;      // each look at the clock
    static constexpr int kReceiveCount = 0x8000;      // the event the receive callback takes

    static ScriptedLine &instance();

    // A new execution: port closed, queues empty, clock at 0, replies from `script`.
    void reset(ByteCursor *script);

    // ---- the run-time's side ----------------------------------------------------------
    bool isOpen(int port) const { return open_ && port == port_; }
    void open(int port);
    void close();
    void setTimeout(double seconds) { timeout_ = seconds; }
    void flushInput() { queue_.clear(); }
    // A request: recorded, and the far end's next reply starts on its way.
    void write(const char *bytes, int count);
    int read(char *buffer, int count);
    // A look at the input queue: the next chunk comes in, or the line is
    // silent (always, when the port is closed).
    int queued();
    void install(int mask, int notifyCount, ReceiveCallback callback, void *data);
    // What event processing does for the port: a look at the line, then the
    // receive callback when its count of bytes is queued.
    void serviceReceiveEvent();
    double now();
    // The program sleeps: its time passes on the line's clock.
    void sleep(double seconds) { spend(seconds); }

    // ---- the harness's side ------------------------------------------------------------
    // Bytes that come without a request: the next reply of the script.
    void hearUnasked();
    bool quiet() const { return arrivals_.empty(); }

    std::vector<std::vector<char>> writes; // every request, as written
    std::vector<std::vector<char>> reads;  // every read, as handed to the program
    std::vector<char> lastCallbackRead;    // the last read inside the receive callback
    std::size_t callbacks = 0;             // receive callbacks run

  private:
    void look();
    void spend(double seconds) { clock_ += seconds; }

    ByteCursor *script_ = nullptr;
    bool open_ = false;
    int port_ = 0;
    double timeout_ = 5.0;
    std::deque<char> queue_;
    std::deque<Arrival> arrivals_;
    double clock_ = 0.0;
    int mask_ = 0;
    int notifyCount_ = 1;
    ReceiveCallback callback_ = nullptr;
    void *callbackData_ = nullptr;
    bool inCallback_ = false;
};

} // namespace vexafuzz

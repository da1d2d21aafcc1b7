// Shared set-up of the link tests: both panels of the real panel file, the
// program-wide values at their start values, and a scripted sensor on the
// other end of a pseudo-terminal mapped to COM port kPort.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/protocol.h"
#include "sim/scripted_sensor.h"

namespace linktest {

constexpr int kPort = 5; // one of the selector's entries 1..16

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

// Loads both panels once per test program and registers the program's callbacks.
void LoadPanelsOnce();
// The program-wide values as start-up leaves them (without the info texts).
void SetStartValues();

// Text of a control (status line, text box) as the program wrote it.
std::string CtrlText(int panel, int control);
int CtrlInt(int panel, int control);
int Dimmed(int panel, int control);

// Runs event processing for `seconds`.
void ProcessFor(double seconds);
// Runs `action` once from event processing, `ms` after now, unless the test
// has ended by then.
void AtTime(int ms, std::function<void()> action);

// Reply telegram: header, echo, sixteen data words.
Bytes Reply(std::uint16_t echo, const sim::Words &words = {},
            std::uint16_t header = sim::kReplyHeader);
// A long reply (firmware text, video block): the words high byte first.
Bytes FirmwareReply(const std::vector<std::uint16_t> &words);
// Request telegram bytes as the program must send them.
sim::Telegram Request(std::uint16_t orderCode, const sim::Words &words = {});

// The sixteen parameter variables as words, in block order.
sim::Words ParameterWords();
void SetParameterWords(const sim::Words &w);

class LinkTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Opens kPort and installs the receive callback as the connect sequence
    // does, without sending anything.
    void OpenLine();
    // Requests the sensor has received, after waiting up to `ms` for at least n.
    std::vector<sim::Telegram> RequestsAfter(std::size_t n, int ms = 500);

    sim::ScriptedSensor sensor;
};

} // namespace linktest

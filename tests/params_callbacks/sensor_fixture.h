// The panels of PanelTest with a scripted sensor on a pseudo-terminal behind
// the program's port.
#pragma once

#include <chrono>
#include <thread>
#include <vector>

#include "link/connection.h"
#include "panel_fixture.h"
#include "sim/protocol.h"
#include "sim/scripted_sensor.h"

namespace params_test {

class SensorTest : public PanelTest {
  protected:
    void connectSensor() {
        SetComDevice(kTestPort, sensor_.slavePath().c_str());
        ASSERT_EQ(OpenComConfig(kTestPort, "", 19200, 0, 8, 1, 4096, 4096), 0);
        com = kTestPort;
        ReceiveCallbackOn();
    }

    // The one request the program sent.
    sim::Telegram onlyRequest() {
        EXPECT_TRUE(sensor_.waitForRequests(1, std::chrono::seconds(2)));
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // room for a second one
        const std::vector<sim::Telegram> requests = sensor_.requests();
        EXPECT_EQ(requests.size(), 1u);
        return requests.empty() ? sim::Telegram{} : requests.front();
    }

    // Nothing at all reached the sensor.
    void expectLineSilent() {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_TRUE(sensor_.receivedBytes().empty());
    }

    sim::ScriptedSensor sensor_;
};

} // namespace params_test

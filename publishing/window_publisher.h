// The window's publishing to a broker: every frame and video pass of any
// loop, the line's state from the port's and the exchanges' events, the
// sensor's info whenever what the program holds of it changes, and the
// events of the program's supervision, through one broker::Publisher. The
// client library's thread tells of the connection; this hands that to the
// program's thread.
#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <optional>
#include <string>

#include "broker/publisher.h"
#include "stream/channel.h"
#include "stream/frame.h"

namespace publishing {

class WindowPublisher : public QObject {
    Q_OBJECT

  public:
    WindowPublisher(broker::Target target, QObject *parent);
    ~WindowPublisher() override; // publishes "offline"

    // Begins connecting in the background; "" or why the client could not
    // be made.
    QString start();
    // "broker: connected", "broker: reconnecting, 120 frames dropped".
    QString stateText() const;
    // The last trouble with the broker, as the publisher said it ("broker
    // unreachable: connection refused"); empty while there was none.
    QString lastProblem() const;

  signals:
    void connectionChanged();
    // The broker refused the credentials; publishing has ended.
    void refused(const QString &reason);

  private:
    void portEvent(const stream::PortEvent &event);
    void lineState(broker::State state);
    // Sends the info when the firmware text, the CCD or the parameters the
    // program holds differ from what was sent last.
    void describeIfChanged();

    broker::Publisher publisher_;
    std::optional<broker::State> state_;
    bool portLost_ = false; // from a loss or a failed open to the next open
    // What the last info was made of: the parameters, the CCD's type,
    // resolution and pixels, and the firmware text.
    using HeldWords = std::array<unsigned short, 16 + 3>;
    bool described_ = false;
    HeldWords describedWords_{};
    std::string describedFirmware_;
    stream::Subscription frames_, passes_, ports_, events_;
};

// The sensor as the program holds it now: the firmware text, the CCD and the
// parameters of the last exchange with the sensor.
broker::SensorInfo heldSensorInfo();

// The device of the program's port ("/dev/ttyUSB0"), empty before an open.
QString programPortDevice();

} // namespace publishing

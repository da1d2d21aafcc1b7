// What goes to the broker, as topics and JSON texts: the topic table (leaf,
// QoS, retained) and one builder per message. Plain values in, bytes out, so
// that the tests read the very texts the publisher sends.
#pragma once

#include <array>
#include <string>

#include "limits/event.h"
#include "stream/frame.h"

namespace broker {

// What the program knows of its sensor, as status.state says it.
enum class State { Online, NoAnswer, PortLost, Offline };

// "online", "no answer", "port lost", "offline".
const char *stateText(State state);

enum class Topic { Status, Info, Frame, Video, Event, Summary };

struct TopicEntry {
    const char *leaf; // vexa-tb/<name>/<leaf>
    int qos;
    bool retained;
};
const TopicEntry &topicEntry(Topic topic);

// "vexa-tb/<name>/<leaf>".
std::string topicName(const std::string &name, Topic topic);


struct SensorInfo {
    std::string firmware;                        // the firmware text
    std::string ccd;                             // the CCD description
    int pixels = 0;                              // the CCD's pixel count
    std::array<unsigned short, 16> parameters{}; // by word of the parameter block
};

// What a status tells beside the line's state: the publisher's figures and
// its last trouble with the broker.
struct StatusDetails {
    std::string port, program;
    std::string instance;      // this run of the publisher, to tell two that share a name
    long long dropped = 0;     // frames not published
    long long eventsDropped = 0; // events the bounded queue gave up
    std::string brokerProblem; // the last one said, "" while there was none
};

// {"state", "time", "port", "program", "dropped", "instance", and
// "events_dropped" and "broker" when they say something}.
std::string statusJson(State state, stream::Clock::time_point when, const StatusDetails &details);
// The connection's last will: {"state": "offline", "instance"}.
std::string lastWillJson(const std::string &instance);
// {"time", "firmware", "ccd", "pixels", "parameters": {name: value, ...}}.
std::string infoJson(const SensorInfo &info, stream::Clock::time_point when);
// {"seq", "time", "Ledge", ..., "in0"}: the recording's column names.
std::string frameJson(long long seq, const stream::Frame &frame);
// {"time", "x": [256 positions], "y": [256 samples]}.
std::string videoJson(const stream::VideoPass &pass);
// {"id", "time", "kind", and "Mvalue", "lower", "upper", "duration_ms",
// "extreme" where the event has them}. The id tells a subscriber an event
// sent again after a lost acknowledgement from the first copy.
std::string eventJson(const limits::LimitEvent &event, const std::string &id);

// The frames of about a second, as a tile of the plant shows them.
struct Summary {
    stream::Clock::time_point time;
    long long seq = 0;   // the last frame's, 0 before the first
    long long frames = 0; // decoded in the span
    int mvalue = 0, min = 0, max = 0; // the last, least and greatest Mvalue (with frames)
    long long out = 0;   // frames whose Mvalue lay outside their band
    int lower = 0, upper = 0; // the last frame's band
    State state = State::Online;
};
// {"time", "seq", "frames", "state", and with frames "Mvalue", "min", "max",
// "out", "lower", "upper"}.
std::string summaryJson(const Summary &summary);

} // namespace broker

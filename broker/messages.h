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

enum class Topic { Status, Info, Frame, Video, Event };

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

// {"state", "time", "port", "program", "dropped"}.
std::string statusJson(State state, stream::Clock::time_point when, const std::string &port,
                       const std::string &program, long long dropped);
// The connection's last will: {"state": "offline"}.
std::string lastWillJson();
// {"time", "firmware", "ccd", "pixels", "parameters": {name: value, ...}}.
std::string infoJson(const SensorInfo &info, stream::Clock::time_point when);
// {"seq", "time", "Ledge", ..., "in0"}: the recording's column names.
std::string frameJson(long long seq, const stream::Frame &frame);
// {"time", "x": [256 positions], "y": [256 samples]}.
std::string videoJson(const stream::VideoPass &pass);
// {"time", "kind", and "Mvalue", "lower", "upper", "duration_ms", "extreme"
// where the event has them}.
std::string eventJson(const limits::LimitEvent &event);

} // namespace broker

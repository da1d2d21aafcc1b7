// The topic table and the JSON texts of each message. Frame fields take the
// recording's column names, so a subscriber and a CSV reader see the same
// names; parameters take the parameter table's names.
#include "broker/messages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "params/parameter_table.h"
#include "record/frame_csv.h"

namespace broker {

namespace {

constexpr std::array<TopicEntry, 6> TOPICS{{
    {"status", 1, true},
    {"info", 1, true},
    {"frame", 0, false},
    {"video", 0, false},
    {"event", 1, false},
    // QoS 1: its acknowledgement also tells the publisher that the frames
    // before it reached the broker.
    {"summary", 1, false},
}};

QString text(const std::string &s) {
    return QString::fromStdString(s);
}

std::string compact(const QJsonObject &object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

QJsonArray numbers(const std::array<std::uint16_t, VIDEO_PASS_SAMPLES> &values) {
    QJsonArray array;
    for (const std::uint16_t v : values)
        array.append(static_cast<int>(v));
    return array;
}

} // namespace

const char *stateText(State state) {
    switch (state) {
    case State::Online:
        return "online";
    case State::NoAnswer:
        return "no answer";
    case State::PortLost:
        return "port lost";
    case State::Offline:
        return "offline";
    }
    return "";
}

const TopicEntry &topicEntry(Topic topic) {
    return TOPICS[static_cast<std::size_t>(topic)];
}

std::string topicName(const std::string &name, Topic topic) {
    return "vexa-tb/" + name + "/" + topicEntry(topic).leaf;
}

std::string statusJson(State state, stream::Clock::time_point when, const StatusDetails &details) {
    QJsonObject object{{"state", stateText(state)},
                       {"time", text(record::isoLocalTimeWithOffset(when))},
                       {"port", text(details.port)},
                       {"program", text(details.program)},
                       {"dropped", static_cast<qint64>(details.dropped)},
                       {"instance", text(details.instance)}};
    if (details.eventsDropped)
        object.insert("events_dropped", static_cast<qint64>(details.eventsDropped));
    if (!details.brokerProblem.empty())
        object.insert("broker", text(details.brokerProblem));
    return compact(object);
}

std::string lastWillJson(const std::string &instance) {
    return compact({{"state", stateText(State::Offline)}, {"instance", text(instance)}});
}

std::string infoJson(const SensorInfo &info, stream::Clock::time_point when) {
    QJsonObject parameters;
    for (std::size_t word = 0; word < info.parameters.size(); ++word)
        parameters.insert(parameterTable[word].name, static_cast<int>(info.parameters[word]));
    return compact({{"time", text(record::isoLocalTimeWithOffset(when))},
                    {"firmware", text(info.firmware)},
                    {"ccd", text(info.ccd)},
                    {"pixels", info.pixels},
                    {"parameters", parameters}});
}

// Written out in the recording's column order, which a JSON object would
// sort away: a subscriber reads the fields as the CSV has them. Names and
// the time hold nothing that JSON escapes.
std::string frameJson(long long seq, const stream::Frame &frame) {
    std::string json = "{\"seq\":" + std::to_string(seq) + ",\"time\":\"" +
                       record::isoLocalTimeWithOffset(frame.time) + '"';
    for (std::size_t word = 0; word < record::FRAME_COLUMNS.size(); ++word) {
        json += ",\"";
        json += record::FRAME_COLUMNS[word];
        json += "\":";
        json += std::to_string(frame.words[word]);
    }
    json += '}';
    return json;
}

std::string videoJson(const stream::VideoPass &pass) {
    return compact({{"time", text(record::isoLocalTimeWithOffset(pass.time))},
                    {"x", numbers(pass.x)},
                    {"y", numbers(pass.y)}});
}

std::string eventJson(const limits::LimitEvent &event, const std::string &id) {
    QJsonObject object{{"id", text(id)},
                       {"time", text(record::isoLocalTimeWithOffset(event.time))},
                       {"kind", limits::kindText(event.kind)}};
    const std::pair<const char *, const std::optional<int> &> values[] = {
        {"Mvalue", event.mvalue},
        {"lower", event.lower},
        {"upper", event.upper},
        {"extreme", event.extreme}};
    for (const auto &[key, value] : values)
        if (value)
            object.insert(key, *value);
    if (event.durationMs)
        object.insert("duration_ms", static_cast<qint64>(*event.durationMs));
    return compact(object);
}

std::string summaryJson(const Summary &summary) {
    QJsonObject object{{"time", text(record::isoLocalTimeWithOffset(summary.time))},
                       {"seq", static_cast<qint64>(summary.seq)},
                       {"frames", static_cast<qint64>(summary.frames)},
                       {"state", stateText(summary.state)}};
    if (summary.frames > 0) {
        object.insert("Mvalue", summary.mvalue);
        object.insert("min", summary.min);
        object.insert("max", summary.max);
        object.insert("out", static_cast<qint64>(summary.out));
        object.insert("lower", summary.lower);
        object.insert("upper", summary.upper);
    }
    return compact(object);
}

} // namespace broker

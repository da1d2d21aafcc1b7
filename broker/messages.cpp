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

constexpr std::array<TopicEntry, 5> TOPICS{{
    {"status", 1, true},
    {"info", 1, true},
    {"frame", 0, false},
    {"video", 0, false},
    {"event", 1, false},
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

std::string statusJson(State state, stream::Clock::time_point when, const std::string &port,
                       const std::string &program, long long dropped) {
    return compact({{"state", stateText(state)},
                    {"time", text(record::isoLocalTimeWithOffset(when))},
                    {"port", text(port)},
                    {"program", text(program)},
                    {"dropped", static_cast<qint64>(dropped)}});
}

std::string lastWillJson() {
    return compact({{"state", stateText(State::Offline)}});
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

std::string eventJson(const limits::LimitEvent &event) {
    QJsonObject object{{"time", text(record::isoLocalTimeWithOffset(event.time))},
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

} // namespace broker

// The topic table and the JSON texts of each message. Frame fields take the
// recording's column names, so a subscriber and a CSV reader see the same
// names; parameters take the parameter table's names.
#include "broker/messages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <ctime>

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

std::string isoTime(stream::Clock::time_point when) {
    const std::time_t t = stream::Clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    const long offset = local.tm_gmtoff / 60;
    const long hours = (offset < 0 ? -offset : offset) / 60,
               minutes = (offset < 0 ? -offset : offset) % 60;
    char zone[8];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', hours % 100, minutes);
    return record::isoLocalTime(when) + zone;
}

std::string statusJson(State state, stream::Clock::time_point when, const std::string &port,
                       const std::string &program, long long dropped) {
    return compact({{"state", stateText(state)},
                    {"time", text(isoTime(when))},
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
    return compact({{"time", text(isoTime(when))},
                    {"firmware", text(info.firmware)},
                    {"ccd", text(info.ccd)},
                    {"pixels", info.pixels},
                    {"parameters", parameters}});
}

std::string frameJson(long long seq, const stream::Frame &frame) {
    QJsonObject object{{"seq", static_cast<qint64>(seq)}, {"time", text(isoTime(frame.time))}};
    for (std::size_t word = 0; word < record::FRAME_COLUMNS.size(); ++word)
        object.insert(record::FRAME_COLUMNS[word], static_cast<int>(frame.words[word]));
    return compact(object);
}

std::string videoJson(const stream::VideoPass &pass) {
    return compact(
        {{"time", text(isoTime(pass.time))}, {"x", numbers(pass.x)}, {"y", numbers(pass.y)}});
}

std::string eventJson(const limits::LimitEvent &event) {
    QJsonObject object{{"time", text(isoTime(event.time))}, {"kind", limits::kindText(event.kind)}};
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

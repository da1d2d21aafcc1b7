// The description is read with nlohmann::json (vexa-sim has no Qt).
#include "sim/replay_description.h"

#include "record/frame_csv.h"
#include "record/windows1252.h"
#include "sim/outside_file.h"

#include <nlohmann/json.hpp>

namespace sim {

namespace {

using nlohmann::json;

constexpr std::uint64_t kMaxDescriptionBytes = 64 << 10;
constexpr int kMaxDepth = 32;

// The member `name` of the object `ccd` as a word: an integer in 0..65535.
bool word(const json &ccd, const char *name, std::uint16_t &out) {
    const auto it = ccd.find(name);
    if (it == ccd.end() || !it->is_number_unsigned() || it->get<std::uint64_t>() > 0xFFFF)
        return false;
    out = static_cast<std::uint16_t>(it->get<std::uint64_t>());
    return true;
}

// What is wrong with the file, or nothing once `d` holds it.
std::string readDescription(OutsideFile &in, ReplayDescription &d) {
    std::string text;
    if (in.state() != OutsideFile::State::Open || !in.readAll(text))
        return in.problem().empty() ? "cannot be read" : in.problem();
    bool tooDeep = false;
    json doc;
    try {
        doc = json::parse(text, [&tooDeep](int depth, json::parse_event_t, json &) {
            tooDeep = tooDeep || depth > kMaxDepth;
            return !tooDeep;
        });
    } catch (const json::parse_error &e) {
        return "not JSON (at byte " + std::to_string(e.byte) + ")";
    }
    if (tooDeep)
        return "not JSON (nested deeper than " + std::to_string(kMaxDepth) + ")";
    if (!doc.is_object() || !doc.contains("firmware") || !doc["firmware"].is_string())
        return "no firmware text";
    const auto ccd = doc.find("ccd");
    if (ccd == doc.end() || !ccd->is_object() || !word(*ccd, "type", d.ccdType) ||
        !word(*ccd, "pixels", d.pixels) || !word(*ccd, "resolution", d.resolution))
        return "no CCD type, pixel count and resolution in 0..65535";
    d.firmware = record::windows1252FromUtf8(doc["firmware"].get<std::string>());
    return {};
}

} // namespace

std::optional<ReplayDescription> loadReplayDescription(const std::string &framesPath,
                                                       std::string &problem) {
    const std::string path = record::descriptionPathFor(framesPath);
    OutsideFile in(path, kMaxDescriptionBytes);
    problem.clear();
    if (in.state() == OutsideFile::State::Missing)
        return std::nullopt;
    ReplayDescription d;
    if (problem = readDescription(in, d); !problem.empty()) {
        problem = path + ": " + problem;
        return std::nullopt;
    }
    return d;
}

} // namespace sim

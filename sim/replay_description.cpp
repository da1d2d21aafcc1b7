// A small JSON reader of its own (vexa-sim has no Qt): it takes any valid
// document, keeps the scalars by their path ("ccd.type") and refuses the
// rest with where it stopped.
#include "sim/replay_description.h"

#include "record/frame_csv.h"
#include "record/windows1252.h"
#include "sim/outside_file.h"

#include <cstdlib>
#include <map>

namespace sim {

namespace {

constexpr std::uint64_t kMaxDescriptionBytes = 64 << 10;
constexpr int kMaxDepth = 32;

struct Scalar {
    bool isString = false;
    std::string text; // a string's UTF-8, or a number's, true's ... spelling
};

class JsonReader {
  public:
    explicit JsonReader(const std::string &text) : s_(text) {}

    // Every scalar by its path; false with `problem` when the text is no JSON.
    bool read(std::map<std::string, Scalar> &out, std::string &problem) {
        out_ = &out;
        if (value("", 0) && (space(), i_ == s_.size()))
            return true;
        problem = "not JSON (at byte " + std::to_string(i_ + 1) + ")";
        return false;
    }

  private:
    void space() {
        while (i_ < s_.size() &&
               (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
            ++i_;
    }
    bool take(char c) {
        space();
        if (i_ < s_.size() && s_[i_] == c)
            return ++i_, true;
        return false;
    }
    bool value(const std::string &path, int depth) {
        space();
        if (depth > kMaxDepth || i_ >= s_.size())
            return false;
        if (take('{'))
            return members(path, depth, '}', true);
        if (take('['))
            return members(path, depth, ']', false);
        Scalar scalar;
        if (s_[i_] == '"') {
            scalar.isString = true;
            if (!string(scalar.text))
                return false;
        } else if (!literal(scalar.text)) {
            return false;
        }
        (*out_)[path] = scalar;
        return true;
    }
    bool members(const std::string &path, int depth, char close, bool named) {
        if (take(close))
            return true;
        for (int n = 0;; ++n) {
            std::string name = std::to_string(n);
            if (named &&
                (!(space(), i_ < s_.size() && s_[i_] == '"') || !string(name) || !take(':')))
                return false;
            if (!value(path.empty() ? name : path + "." + name, depth + 1))
                return false;
            if (take(close))
                return true;
            if (!take(','))
                return false;
        }
    }
    bool literal(std::string &text) {
        const std::size_t begin = i_;
        for (const char *word : {"true", "false", "null"})
            if (s_.compare(i_, std::char_traits<char>::length(word), word) == 0)
                return text = word, i_ += text.size(), true;
        // A number as JSON writes it: -?digits[.digits][e[+-]digits]
        const auto digits = [this] {
            const std::size_t from = i_;
            while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9')
                ++i_;
            return i_ > from;
        };
        if (i_ < s_.size() && s_[i_] == '-')
            ++i_;
        bool ok = digits();
        if (ok && i_ < s_.size() && s_[i_] == '.')
            ++i_, ok = digits();
        if (ok && i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
            ++i_;
            if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-'))
                ++i_;
            ok = digits();
        }
        text = s_.substr(begin, i_ - begin);
        return ok;
    }
    bool hex4(unsigned &code) {
        if (i_ + 4 > s_.size())
            return false;
        char *end = nullptr;
        const std::string digits = s_.substr(i_, 4);
        code = static_cast<unsigned>(std::strtoul(digits.c_str(), &end, 16));
        i_ += 4;
        return end == digits.c_str() + 4;
    }
    bool string(std::string &out) {
        out.clear();
        ++i_; // the opening quote
        while (i_ < s_.size()) {
            const auto c = static_cast<unsigned char>(s_[i_++]);
            if (c == '"')
                return true;
            if (c < 0x20)
                return false;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (i_ >= s_.size())
                return false;
            const char e = s_[i_++];
            static const std::string plain = "\"\\/bfnrt", meant = "\"\\/\b\f\n\r\t";
            if (const auto k = plain.find(e); k != std::string::npos) {
                out += meant[k];
                continue;
            }
            unsigned code = 0, low = 0;
            if (e != 'u' || !hex4(code))
                return false;
            if (code >= 0xD800 && code < 0xDC00) { // a surrogate pair
                if (s_.compare(i_, 2, "\\u") != 0 || (i_ += 2, !hex4(low)) || low < 0xDC00 ||
                    low > 0xDFFF)
                    return false;
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            }
            record::appendUtf8(out, code);
        }
        return false;
    }
    const std::string &s_;
    std::size_t i_ = 0;
    std::map<std::string, Scalar> *out_ = nullptr;
};

bool word(const std::map<std::string, Scalar> &scalars, const char *path, std::uint16_t &out) {
    const auto it = scalars.find(path);
    if (it == scalars.end() || it->second.isString)
        return false;
    char *end = nullptr;
    const long value = std::strtol(it->second.text.c_str(), &end, 10);
    out = static_cast<std::uint16_t>(value);
    return *end == '\0' && value >= 0 && value <= 0xFFFF;
}

// What is wrong with the file, or nothing once `d` holds it.
std::string readDescription(OutsideFile &in, ReplayDescription &d) {
    std::string text, problem;
    if (in.state() != OutsideFile::State::Open || !in.readAll(text))
        return in.problem().empty() ? "cannot be read" : in.problem();
    std::map<std::string, Scalar> scalars;
    if (!JsonReader(text).read(scalars, problem))
        return problem;
    const auto firmware = scalars.find("firmware");
    if (firmware == scalars.end() || !firmware->second.isString)
        return "no firmware text";
    if (!word(scalars, "ccd.type", d.ccdType) || !word(scalars, "ccd.pixels", d.pixels) ||
        !word(scalars, "ccd.resolution", d.resolution))
        return "no CCD type, pixel count and resolution in 0..65535";
    d.firmware = record::windows1252FromUtf8(firmware->second.text);
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

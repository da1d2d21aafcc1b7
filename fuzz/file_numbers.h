// A plain reading of a parameter file, to hold the file readers to: the
// white-space separated tokens (space, tab, CR, LF, VT, FF), after a UTF-8
// byte-order mark where the reader skips one, and which of them are decimal
// numbers.
// Deliberately simple, so that it can be trusted by reading it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexafuzz {

class FileNumbers {
  public:
    enum class Mark { Skipped, Kept };

    FileNumbers(const std::uint8_t *data, std::size_t size, Mark byteOrderMark) {
        std::size_t i = 0;
        if (byteOrderMark == Mark::Skipped && size >= 3 && data[0] == 0xEF && data[1] == 0xBB &&
            data[2] == 0xBF)
            i = 3;
        std::string token;
        for (; i <= size; ++i) {
            if (i == size || IsSpace(data[i])) {
                if (!token.empty())
                    tokens.push_back(token);
                token.clear();
            } else {
                token += static_cast<char>(data[i]);
            }
        }
    }

    // Token i as a number: an optional '+' and decimal digits, below 2^64.
    std::optional<std::uint64_t> value(std::size_t i) const {
        if (i >= tokens.size())
            return std::nullopt;
        const std::string &t = tokens[i];
        const std::size_t first = !t.empty() && t[0] == '+' ? 1 : 0;
        if (first == t.size())
            return std::nullopt;
        std::uint64_t v = 0;
        for (std::size_t k = first; k < t.size(); ++k) {
            if (t[k] < '0' || t[k] > '9')
                return std::nullopt;
            const unsigned digit = static_cast<unsigned>(t[k] - '0');
            if (v > (UINT64_MAX - digit) / 10)
                return std::nullopt;
            v = v * 10 + digit;
        }
        return v;
    }

    // The first n tokens are all plain digit runs below 2^64.
    bool wellFormed(std::size_t n) const {
        if (tokens.size() < n)
            return false;
        for (std::size_t i = 0; i < n; ++i)
            if (tokens[i][0] == '+' || !value(i))
                return false;
        return true;
    }

    // Exactly n tokens, each of one to five digits and at most 65535.
    bool eepromImage(std::size_t n) const {
        if (tokens.size() != n)
            return false;
        for (std::size_t i = 0; i < n; ++i)
            if (tokens[i].size() > 5 || tokens[i][0] == '+' || !value(i) || *value(i) > 65535)
                return false;
        return true;
    }

    std::vector<std::string> tokens;

  private:
    static bool IsSpace(std::uint8_t c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    }
};

} // namespace vexafuzz

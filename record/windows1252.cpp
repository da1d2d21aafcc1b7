#include "record/windows1252.h"

#include <cstdint>

namespace record {

namespace {

// The characters of bytes 0x80 to 0x9F; the others are their own code point.
constexpr char32_t HIGH_CONTROLS[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char byteFor(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i)
        if (HIGH_CONTROLS[i] == c)
            return static_cast<char>(0x80 + i);
    return '?';
}

// One character as UTF-8, appended to `out`.
void appendUtf8(std::string &out, char32_t c) {
    const int extra = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    static const unsigned char lead[] = {0x00, 0xC0, 0xE0, 0xF0};
    out += static_cast<char>(lead[extra] | (c >> (6 * extra)));
    for (int k = extra - 1; k >= 0; --k)
        out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
}

} // namespace

std::string utf8FromWindows1252(std::string_view bytes) {
    std::string out;
    for (const char b : bytes) {
        const auto byte = static_cast<std::uint8_t>(b);
        appendUtf8(out, byte >= 0x80 && byte < 0xA0 ? HIGH_CONTROLS[byte - 0x80] : byte);
    }
    return out;
}

std::string windows1252FromUtf8(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        const std::size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        char32_t c = lead & (0x7F >> extra);
        bool whole = (lead < 0x80 || extra > 0) && i + extra < text.size();
        for (std::size_t k = 1; whole && k <= extra; ++k) {
            const auto next = static_cast<std::uint8_t>(text[i + k]);
            whole = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        out += whole ? byteFor(c) : '?';
        i += whole ? extra + 1 : 1;
    }
    return out;
}

} // namespace record

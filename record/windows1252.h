// The sensor's texts (its firmware text, the CCD description) are Windows-1252
// bytes; the recording's description file holds them as UTF-8. Plain C++.
#pragma once

#include <string>
#include <string_view>

namespace record {

// Every byte to its character; the five bytes Windows-1252 leaves unassigned
// keep their own code point (U+0081 ...), so nothing is lost either way.
std::string utf8FromWindows1252(std::string_view bytes);
// Back again; a character Windows-1252 has no byte for, and a malformed UTF-8
// sequence, become '?'.
std::string windows1252FromUtf8(std::string_view text);

} // namespace record

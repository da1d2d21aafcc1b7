#include "sim/eeprom_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace sim {

EepromLoad loadEeprom(const std::string &path, Words &out, std::string &problem) {
    errno = 0;
    std::ifstream in(path);
    if (!in) {
        if (errno == ENOENT)
            return EepromLoad::Missing;
        problem = std::string("cannot read it: ") + std::strerror(errno);
        return EepromLoad::Malformed;
    }
    Words words{};
    std::string token;
    std::size_t count = 0;
    while (in >> token) {
        if (count == PNUM) {
            problem = "more than 16 values";
            return EepromLoad::Malformed;
        }
        if (token.size() > 5 || token.find_first_not_of("0123456789") != std::string::npos) {
            problem = "value " + std::to_string(count + 1) + " is not a number: " + token;
            return EepromLoad::Malformed;
        }
        const unsigned long v = std::stoul(token);
        if (v > 65535) {
            problem = "value " + std::to_string(count + 1) + " is above 65535";
            return EepromLoad::Malformed;
        }
        words[count++] = static_cast<std::uint16_t>(v);
    }
    if (count != PNUM) {
        problem = "only " + std::to_string(count) + " of 16 values";
        return EepromLoad::Malformed;
    }
    out = words;
    return EepromLoad::Loaded;
}

bool saveEeprom(const std::string &path, const Words &words, std::string &problem) {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream file(tmp, std::ios::trunc);
        for (std::uint16_t w : words)
            file << w << '\n';
        file.flush();
        if (!file) {
            problem = "cannot write " + tmp;
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        problem = "cannot replace " + path + ": " + std::strerror(errno);
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace sim

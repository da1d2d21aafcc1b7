// The EEPROM file is read within a cap (a FIFO or /dev/zero named by mistake is refused at
// once) and saved through a temporary file of its own in the same folder, made with mkstemp
// (O_EXCL: a name planted there is never followed), written, synced and renamed over the old
// file, so that neither a crash nor a full disk leaves half a file.
#include "sim/eeprom_file.h"

#include "sim/outside_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

EepromLoad loadEeprom(const std::string &path, Words &out, std::string &problem) {
    OutsideFile file(path, kMaxEepromFileBytes);
    std::string text;
    if (file.state() == OutsideFile::State::Missing)
        return EepromLoad::Missing;
    if (!file.readAll(text)) {
        problem = file.problem();
        return EepromLoad::Malformed;
    }
    std::istringstream in(text);
    Words words{};
    std::string token;
    std::size_t count = 0;
    while (in >> token) {
        if (count == PNUM) {
            problem = "more than 16 values";
            return EepromLoad::Malformed;
        }
        if (token.size() > 5 || token.find_first_not_of("0123456789") != std::string::npos) {
            problem =
                "value " + std::to_string(count + 1) + " is not a number: " + token.substr(0, 16);
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
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        problem = "cannot replace " + path + ": not a regular file";
        return false;
    }
    const std::size_t slash = path.rfind('/');
    std::string tmp = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
                      ".vexa-sim-eeprom-XXXXXX";
    const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) {
        problem = "cannot write a temporary file beside " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string text;
    for (std::uint16_t w : words)
        text += std::to_string(w) + '\n';
    const char *failed = nullptr;
    for (std::size_t done = 0; !failed && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n == 0 || errno != EINTR)
            failed = "write";
    }
    // The old file's permissions stay; a new file gets what the umask lets through.
    if (!failed) {
        const mode_t umask = ::umask(0);
        ::umask(umask);
        if (::fchmod(fd, exists ? (old.st_mode & 07777) : (0666 & ~umask)) != 0)
            failed = "chmod";
    }
    if (!failed && ::fsync(fd) != 0)
        failed = "fsync";
    if (::close(fd) != 0 && !failed)
        failed = "close";
    if (!failed && std::rename(tmp.c_str(), path.c_str()) != 0)
        failed = "rename";
    if (failed) {
        problem = "cannot write " + path + " (" + failed + "): " + std::strerror(errno) +
                  "; the file is left as it was";
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace sim

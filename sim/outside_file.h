// A file that a user names on vexa-sim's command line (a recording, the EEPROM file), read
// within limits: only a regular file is opened (a FIFO would block, a device never end), no
// larger than the caller's cap and in lines no longer than its cap, so that a wrong name
// ends with a reason at once instead of filling the memory.
#pragma once

#include "sim/pty_endpoint.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

class OutsideFile {
  public:
    enum class State { Open, Missing, Refused };

    // Opens `path` for reading when it is a regular file of at most `maxBytes` bytes.
    OutsideFile(const std::string &path, std::uint64_t maxBytes);

    State state() const { return state_; }
    // Why the file was refused or its reading stopped, without the path; empty otherwise.
    const std::string &problem() const { return problem_; }

    // The next line, without its '\n'. False at the end of the file, and on a line longer
    // than `maxLine` bytes, a file grown past its cap or a read error (problem() says which).
    bool nextLine(std::string &line, std::size_t maxLine);
    // The whole file; false with problem() when it cannot be read within the cap.
    bool readAll(std::string &text);

  private:
    bool fill();

    State state_ = State::Refused;
    std::string problem_;
    Fd fd_;
    std::uint64_t maxBytes_;
    std::uint64_t total_ = 0; // bytes read so far
    std::vector<char> buffer_;
    std::size_t begin_ = 0, end_ = 0; // unread bytes in buffer_
    std::size_t lineNumber_ = 0;
    bool atEnd_ = false;
};

// "256 MiB", "64 KiB" or "N bytes": a cap as the refusals name it.
std::string byteCount(std::uint64_t bytes);

} // namespace sim

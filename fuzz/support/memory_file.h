// The fuzz input as a file that any reader can open by name: an anonymous
// in-memory file (memfd) reached through /proc/self/fd. The file readers run
// unchanged (open, read, close), nothing touches the disk, and the one file
// is rewritten for each input instead of made anew.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vexafuzz {

class MemoryFile {
  public:
    explicit MemoryFile(const char *name);
    ~MemoryFile();
    MemoryFile(const MemoryFile &) = delete;
    MemoryFile &operator=(const MemoryFile &) = delete;

    // Replaces the whole contents.
    void write(const std::uint8_t *data, std::size_t size);
    const std::string &path() const { return path_; }

  private:
    int fd_;
    std::string path_;
};

} // namespace vexafuzz

#include "fuzz/support/memory_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vexafuzz {

namespace {

[[noreturn]] void Fail(const char *what) {
    std::fprintf(stderr, "==vexa-fuzz== memory file: %s: %s\n", what, std::strerror(errno));
    std::abort();
}

} // namespace

MemoryFile::MemoryFile(const char *name) : fd_(::memfd_create(name, MFD_CLOEXEC)) {
    if (fd_ < 0)
        Fail("memfd_create");
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile() {
    ::close(fd_);
}

void MemoryFile::write(const std::uint8_t *data, std::size_t size) {
    if (::ftruncate(fd_, 0) != 0)
        Fail("ftruncate");
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Fail("pwrite");
        done += static_cast<std::size_t>(n);
    }
}

} // namespace vexafuzz

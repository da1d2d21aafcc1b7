// A one-time check for the harnesses of file readers: a file from outside may be a FIFO (an
// open that blocks), a device that never ends (/dev/zero) or a huge sparse file. Each reader
// is run once on each, in a folder of its own, and must refuse them promptly: within a few
// seconds (an alarm turns a blocked reader into a finding) and without taking much memory.
#pragma once

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fuzz/support/check.h"

namespace vexafuzz {

// Runs `refuses(path)` on a FIFO, /dev/zero and a sparse file of 5 GiB, each placed at
// `place(kind)` (a path in a folder the caller made); a reader that accepts one of them,
// blocks, or takes time or memory as if reading it is a finding.
inline void
CheckUnreadableFilesRefused(const char *reader,
                            const std::function<std::string(const char *kind)> &place,
                            const std::function<bool(const std::string &path)> &refuses) {
    static const char *current = nullptr;
    current = reader;
    std::signal(SIGALRM, [](int) {
        std::fprintf(
            stderr,
            "==vexa-fuzz== invariant broken: %s blocks on a FIFO, a device or a huge file\n",
            current);
        std::abort();
    });
    for (const char *kind : {"fifo", "device", "huge"}) {
        const std::string path = place(kind);
        ::unlink(path.c_str());
        const std::string what = std::string(reader) + " refuses a " + kind + " promptly";
        if (std::string(kind) == "fifo")
            VEXA_FUZZ_CHECK(::mkfifo(path.c_str(), 0600) == 0, "a FIFO can be made");
        else if (std::string(kind) == "device")
            VEXA_FUZZ_CHECK(::symlink("/dev/zero", path.c_str()) == 0, "a link can be made");
        else {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            VEXA_FUZZ_CHECK(fd >= 0 && ::ftruncate(fd, 5ll << 30) == 0, "a sparse file fits");
            ::close(fd);
        }
        rusage before{}, after{};
        ::getrusage(RUSAGE_SELF, &before);
        const std::clock_t start = std::clock();
        ::alarm(10);
        const bool refused = refuses(path);
        ::alarm(0);
        const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
        ::getrusage(RUSAGE_SELF, &after);
        VEXA_FUZZ_CHECK(refused, what.c_str());
        VEXA_FUZZ_CHECK(seconds < 2, what.c_str());
        VEXA_FUZZ_CHECK(after.ru_maxrss - before.ru_maxrss < 128 * 1024, what.c_str());
        ::unlink(path.c_str());
    }
    std::signal(SIGALRM, SIG_DFL);
}

// A folder of its own under TMPDIR (or /tmp) for a harness's files, removed with what it
// holds when the harness ends.
class TemporaryFolder {
  public:
    explicit TemporaryFolder(const char *name) {
        const char *tmp = std::getenv("TMPDIR");
        path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + "-XXXXXX";
        VEXA_FUZZ_CHECK(::mkdtemp(path_.data()) != nullptr, "a temporary folder can be made");
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder &) = delete;
    TemporaryFolder &operator=(const TemporaryFolder &) = delete;

    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

} // namespace vexafuzz

// A line is written with write() until all of it is out; what the disk took
// of a line that then failed is cut off with ftruncate, from where the line
// began.
#include "record/line_file.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace record {

LineFile::~LineFile() {
    close();
}

void LineFile::close() {
    if (owned_)
        ::close(fd_);
    owned_ = false;
    fd_ = -1;
}

bool LineFile::open(const std::string &path) {
    close();
    name_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    error_ = fd_ < 0 ? errno : 0;
    owned_ = fd_ >= 0;
    return owned_;
}

bool LineFile::write(std::string_view line) {
    if (fd_ < 0)
        return false; // error_ still says why the open failed
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            error_ = n < 0 ? errno : EIO;
            cutBack(done);
            return false;
        }
    }
    return true;
}

std::string LineFile::reason() const {
    return std::strerror(error_);
}

// Takes back the `done` bytes of a line that did not go out whole. Only a
// regular file can be cut; what went into a pipe has gone.
void LineFile::cutBack(std::size_t done) const {
    struct stat st {};
    if (done == 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))
        return;
    const bool appending = (::fcntl(fd_, F_GETFL) & O_APPEND) != 0;
    const off_t end = appending ? st.st_size : ::lseek(fd_, 0, SEEK_CUR);
    const off_t whole = end - static_cast<off_t>(done);
    if (end >= 0 && whole >= 0 && ::ftruncate(fd_, whole) == 0 && !appending)
        ::lseek(fd_, whole, SEEK_SET);
}

} // namespace record

#include "sim/outside_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr std::size_t kReadSize = 64 * 1024;

const char *notRegular(mode_t mode) {
    if (S_ISDIR(mode))
        return "is a folder, not a file";
    if (S_ISFIFO(mode))
        return "is a FIFO, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "is a device, not a regular file";
    if (S_ISSOCK(mode))
        return "is a socket, not a regular file";
    return S_ISREG(mode) ? nullptr : "is not a regular file";
}

} // namespace

std::string byteCount(std::uint64_t bytes) {
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= (1u << 10) && bytes % (1u << 10) == 0)
        return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}

OutsideFile::OutsideFile(const std::string &path, std::uint64_t maxBytes) : maxBytes_(maxBytes) {
    // Looked at before opening: opening a FIFO blocks, opening a serial device may change its
    // lines. O_NONBLOCK covers a file swapped for a FIFO in between; fstat then refuses it.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) {
            state_ = State::Missing;
            return;
        }
        problem_ = std::string("cannot be read: ") + std::strerror(errno);
        return;
    }
    if (const char *why = notRegular(st.st_mode)) {
        problem_ = why;
        return;
    }
    fd_.reset(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd_) {
        problem_ = std::string("cannot be read: ") + std::strerror(errno);
        state_ = errno == ENOENT ? State::Missing : State::Refused;
        return;
    }
    if (::fstat(fd_.get(), &st) != 0 || notRegular(st.st_mode)) {
        problem_ = notRegular(st.st_mode) ? notRegular(st.st_mode) : "cannot be read";
        fd_.reset();
        return;
    }
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes_) {
        problem_ = "is larger than " + byteCount(maxBytes_);
        fd_.reset();
        return;
    }
    state_ = State::Open;
    buffer_.resize(kReadSize);
}

// Reads more after the unread bytes; false at the end, on an error or past the cap.
bool OutsideFile::fill() {
    if (atEnd_ || !problem_.empty() || state_ != State::Open)
        return false;
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (buffer_.size() < end_ + kReadSize)
        buffer_.resize(end_ + kReadSize);
    ssize_t n;
    do
        n = ::read(fd_.get(), buffer_.data() + end_, kReadSize);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        problem_ = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    if (n == 0) {
        atEnd_ = true;
        return false;
    }
    total_ += static_cast<std::uint64_t>(n);
    if (total_ > maxBytes_) { // it grew while being read
        problem_ = "is larger than " + byteCount(maxBytes_);
        return false;
    }
    end_ += static_cast<std::size_t>(n);
    return true;
}

bool OutsideFile::nextLine(std::string &line, std::size_t maxLine) {
    if (state_ != State::Open)
        return false;
    std::size_t searched = begin_;
    for (;;) {
        const void *found = std::memchr(buffer_.data() + searched, '\n', end_ - searched);
        const std::size_t stop =
            found ? static_cast<std::size_t>(static_cast<const char *>(found) - buffer_.data())
                  : end_;
        if (stop - begin_ > maxLine) {
            problem_ =
                "line " + std::to_string(lineNumber_ + 1) + " is longer than " + byteCount(maxLine);
            return false;
        }
        const std::size_t scanned = end_ - begin_;
        if (!found && !fill()) {
            if (!problem_.empty() || end_ == begin_)
                return false;
            found = buffer_.data() + end_; // the last line, without '\n'
        }
        if (found) {
            const std::size_t last =
                static_cast<std::size_t>(static_cast<const char *>(found) - buffer_.data());
            line.assign(buffer_.data() + begin_, last - begin_);
            begin_ = std::min(last + 1, end_);
            ++lineNumber_;
            return true;
        }
        searched = begin_ + scanned; // fill() moved the unread bytes to the front
    }
}

bool OutsideFile::readAll(std::string &text) {
    while (fill()) {
    }
    if (!problem_.empty() || state_ != State::Open)
        return false;
    text.assign(buffer_.data() + begin_, end_ - begin_);
    begin_ = end_;
    return true;
}

} // namespace sim

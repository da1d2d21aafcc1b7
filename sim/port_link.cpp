#include "sim/port_link.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sim {

namespace {

// The target of the symlink at `path`, or "" when there is none.
std::string linkTarget(const std::string &path) {
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
    return n > 0 && static_cast<std::size_t>(n) < buffer.size()
               ? std::string(buffer.data(), static_cast<std::size_t>(n))
               : std::string();
}

} // namespace

bool PortLink::make(const std::string &path, const std::string &target, std::string &problem) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            problem = S_ISDIR(st.st_mode) ? "a folder is there" : "a file is there";
            problem += " (only a symlink, such as one left by an earlier run, is replaced)";
            return false;
        }
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            problem = std::string("cannot remove the old symlink: ") + std::strerror(errno);
            return false;
        }
    }
    if (::symlink(target.c_str(), path.c_str()) != 0 || ::lstat(path.c_str(), &st) != 0) {
        problem = std::strerror(errno);
        return false;
    }
    path_ = path;
    target_ = target;
    device_ = st.st_dev;
    inode_ = st.st_ino;
    made_ = true;
    return true;
}

void PortLink::remove() {
    if (!made_)
        return;
    made_ = false;
    struct stat st {};
    if (::lstat(path_.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && st.st_dev == device_ &&
        st.st_ino == inode_ && linkTarget(path_) == target_)
        ::unlink(path_.c_str());
}

} // namespace sim

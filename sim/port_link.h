// vexa-sim's --link: a symlink to the pseudo-terminal under a name the user picks. It is made
// only where nothing is, or where a symlink is (a stale link of an earlier run, replaced); a
// file or a folder there is never touched. At exit it is removed only while it is still the
// link made here, so a name that someone else has taken over in the meantime stays.
#pragma once

#include <string>
#include <sys/types.h>

namespace sim {

class PortLink {
  public:
    PortLink() = default;
    PortLink(const PortLink &) = delete;
    PortLink &operator=(const PortLink &) = delete;
    ~PortLink() { remove(); }

    // Makes `path` a symlink to `target`; false with the reason in `problem`.
    bool make(const std::string &path, const std::string &target, std::string &problem);
    // Removes the link made, if it is still there and still that link.
    void remove();

  private:
    std::string path_, target_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    bool made_ = false;
};

} // namespace sim

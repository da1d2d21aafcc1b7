// Disks that fill, for the tests of what a failed write keeps and says.
// FullDisk cuts every file this process writes after a number of bytes
// (RLIMIT_FSIZE: the write past it fails with EFBIG, "File too large");
// SmallDisk mounts a small tmpfs on a folder (root only: the write past it
// fails with ENOSPC, "No space left on device").
#pragma once

#include <sys/mount.h>
#include <sys/resource.h>

#include <csignal>
#include <string>

class FullDisk {
  public:
    explicit FullDisk(rlim_t bytes) : oldSignal_(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit small = old_;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FullDisk() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldSignal_);
    }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

  private:
    void (*oldSignal_)(int);
    rlimit old_{};
};

class SmallDisk {
  public:
    SmallDisk(std::string folder, const char *size) : folder_(std::move(folder)) {
        const std::string options = std::string("size=") + size;
        mounted_ = mount("tmpfs", folder_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_)
            umount2(folder_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    bool mounted() const { return mounted_; }

  private:
    std::string folder_;
    bool mounted_ = false;
};

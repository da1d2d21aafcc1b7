// A file that takes CSV lines whole: each line goes out in one write, so a
// killed program leaves only whole lines, and a line the disk takes only in
// part (full, or past a file size limit) is cut back off the file, which
// then ends with the last whole line. Plain C++17 and POSIX, so that
// vexa-tb-ctl's capture and the event log write through the same code.
#pragma once

#include <string>
#include <string_view>

namespace record {

class LineFile {
  public:
    // Writes to stdout (named "stdout") until open() names a file.
    LineFile() = default;
    ~LineFile();
    LineFile(const LineFile &) = delete;
    LineFile &operator=(const LineFile &) = delete;

    // Creates `path`, or empties the file there. False with reason() when
    // it cannot be opened; writes then fail with the same reason.
    bool open(const std::string &path);
    // The whole line, or false with reason() and the file as it was before
    // it. A later line is tried again as it comes.
    bool write(std::string_view line);

    const std::string &name() const { return name_; }
    // Why the last open or write failed, in the system's words ("No space
    // left on device").
    std::string reason() const;

  private:
    void close();
    void cutBack(std::size_t done) const;

    int fd_ = 1;         // stdout
    bool owned_ = false; // a file open() opened, closed here
    int error_ = 0;
    std::string name_ = "stdout";
};

} // namespace record

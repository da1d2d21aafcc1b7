// The bounded local file that holds batches while the store is away (a
// PostgreSQL restarted, a full disk), oldest first, until they are written
// back. It survives the program: batches left by a run that ended while the
// store was away are written back by the next one.
//
// Layout: a 16-byte head ("VXTBSPL1" and the offset of the oldest batch not
// yet written back), then one record a batch: its length and CRC-32 (4 bytes
// each, little-endian) and the batch in a plain binary form. A record cut
// short by a crash, or one whose CRC does not match, is found when the file
// is opened; it and whatever follows it are dropped with a note. The head's
// offset moves on after each batch the store has taken, so a crash while
// writing back never writes a batch twice.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "historian/records.h"

namespace historian {

// A batch to bytes and back; std::nullopt for bytes that are not one.
std::string encodeBatch(const Batch &batch);
std::optional<Batch> decodeBatch(const std::string &bytes);

class Spool {
  public:
    Spool() = default;
    ~Spool();
    Spool(const Spool &) = delete;
    Spool &operator=(const Spool &) = delete;

    // Opens `path`, made when missing, for this process only, and reads
    // what an earlier run left in it; false with why when it cannot.
    bool open(const std::string &path, std::uint64_t maxBytes, std::string &problem);
    // What open() found worth saying: batches left, a torn or damaged record.
    const std::vector<std::string> &notes() const { return notes_; }

    enum class Kept { Whole, WithoutFrames, Nothing };
    // Appends the batch. When it does not fit, the batch without its frames
    // (events, statuses, infos, gaps and roll-ups are small and say more);
    // frames may fill the file only up to 7/8 of its size so that room
    // stays for those. Nothing when not even that fits or the file cannot
    // be written (writeProblem() says why).
    Kept put(const Batch &batch);

    bool empty() const { return waiting_.empty(); }
    // The oldest batch waiting; std::nullopt when none.
    std::optional<Batch> front();
    // The store has taken the oldest batch.
    void pop();

    std::size_t batches() const { return waiting_.size(); }
    std::size_t records() const { return records_; }
    std::uint64_t maxBytes() const { return maxBytes_; }
    const std::string &path() const { return path_; }
    // "" or why the last put() could not write the file.
    const std::string &writeProblem() const { return writeProblem_; }

  private:
    struct Waiting {
        std::uint64_t offset; // of the record's length
        std::uint32_t length;
        std::size_t records;
    };
    bool writeHead();
    bool append(const std::string &payload, std::size_t records, std::uint64_t limit);

    int fd_ = -1;
    std::string path_;
    std::uint64_t maxBytes_ = 0, end_ = 0;
    std::deque<Waiting> waiting_;
    std::size_t records_ = 0;
    std::vector<std::string> notes_;
    std::string writeProblem_;
};

} // namespace historian

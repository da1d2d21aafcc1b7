// The spool file with POSIX calls (open, pread, pwrite, ftruncate, flock,
// fdatasync): one descriptor, positioned writes, each batch on the disk
// before put() returns, so that a batch the store did not take survives a
// crash of the program as well as a stop.
#include "historian/spool.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "historian/time_spec.h"

namespace historian {

namespace {

constexpr char MAGIC[8] = {'V', 'X', 'T', 'B', 'S', 'P', 'L', '1'};
constexpr std::uint64_t HEAD = 16, RECORD_HEAD = 8;
constexpr std::uint8_t BATCH_FORM = 1;
constexpr std::uint32_t LONGEST_RECORD = 1u << 30;

std::uint32_t crc32(const std::string &bytes) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : bytes)
        crc = table[(crc ^ static_cast<std::uint8_t>(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void putUnsigned(std::string &out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t getUnsigned(const char *in, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(in[i])) << (8 * i);
    return value;
}

class Encoder {
  public:
    void u8(std::uint8_t v) { putUnsigned(out, v, 1); }
    void u16(std::uint16_t v) { putUnsigned(out, v, 2); }
    void i32(std::int32_t v) { putUnsigned(out, static_cast<std::uint32_t>(v), 4); }
    void i64(std::int64_t v) { putUnsigned(out, static_cast<std::uint64_t>(v), 8); }
    void f64(double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        putUnsigned(out, bits, 8);
    }
    void text(const std::string &s) {
        i32(static_cast<std::int32_t>(s.size()));
        out += s;
    }
    template <typename T> void maybe(const std::optional<T> &v) {
        u8(v ? 1 : 0);
        i64(v ? static_cast<std::int64_t>(*v) : 0);
    }
    void count(std::size_t n) { i32(static_cast<std::int32_t>(n)); }
    std::string out;
};

// Reads what Encoder wrote; a read past the end or a nonsensical length
// marks the bytes as no batch.
class Decoder {
  public:
    explicit Decoder(const std::string &bytes) : in_(bytes) {}
    bool ok() const { return ok_; }
    bool done() const { return at_ == in_.size(); }
    std::uint64_t raw(int bytes) {
        if (!ok_ || in_.size() - at_ < static_cast<std::size_t>(bytes)) {
            ok_ = false;
            return 0;
        }
        const std::uint64_t v = getUnsigned(in_.data() + at_, bytes);
        at_ += static_cast<std::size_t>(bytes);
        return v;
    }
    std::uint8_t u8() { return static_cast<std::uint8_t>(raw(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(raw(2)); }
    std::int32_t i32() { return static_cast<std::int32_t>(static_cast<std::uint32_t>(raw(4))); }
    std::int64_t i64() { return static_cast<std::int64_t>(raw(8)); }
    double f64() {
        const std::uint64_t bits = raw(8);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    std::string text() {
        const std::int32_t n = i32();
        if (!ok_ || n < 0 || in_.size() - at_ < static_cast<std::size_t>(n)) {
            ok_ = false;
            return {};
        }
        std::string s = in_.substr(at_, static_cast<std::size_t>(n));
        at_ += static_cast<std::size_t>(n);
        return s;
    }
    template <typename T> std::optional<T> maybe() {
        const bool present = u8() != 0;
        const std::int64_t v = i64();
        return present ? std::optional<T>(static_cast<T>(v)) : std::nullopt;
    }
    // A count of items of at least `least` bytes each that can still follow.
    std::size_t count(std::size_t least) {
        const std::int32_t n = i32();
        if (!ok_ || n < 0 || static_cast<std::size_t>(n) * least > in_.size() - at_) {
            ok_ = false;
            return 0;
        }
        return static_cast<std::size_t>(n);
    }

  private:
    const std::string &in_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

std::string systemError() {
    return std::strerror(errno);
}

bool writeAll(int fd, const std::string &bytes, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                                   static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool readAll(int fd, std::string &bytes, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pread(fd, &bytes[done], bytes.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::string encodeBatch(const Batch &b) {
    Encoder e;
    e.u8(BATCH_FORM);
    e.count(b.frames.size());
    for (const FrameRecord &f : b.frames) {
        e.text(f.sensor);
        e.i64(f.time);
        e.i64(f.seq);
        for (const std::uint16_t w : f.words)
            e.u16(w);
    }
    e.count(b.events.size());
    for (const EventRecord &v : b.events) {
        e.text(v.sensor);
        e.i64(v.time);
        e.text(v.id);
        e.text(v.kind);
        e.maybe(v.mvalue);
        e.maybe(v.lower);
        e.maybe(v.upper);
        e.maybe(v.extreme);
        e.maybe(v.durationMs);
    }
    e.count(b.statuses.size());
    for (const StatusRecord &s : b.statuses) {
        e.text(s.sensor);
        e.i64(s.time);
        e.text(s.state);
        e.text(s.port);
        e.text(s.program);
        e.text(s.broker);
    }
    e.count(b.infos.size());
    for (const InfoRecord &i : b.infos) {
        e.text(i.sensor);
        e.i64(i.time);
        e.text(i.firmware);
        e.text(i.ccd);
        e.i32(i.pixels);
        for (const int p : i.parameters)
            e.i32(p);
        e.text(i.program);
    }
    e.count(b.gaps.size());
    for (const GapRecord &g : b.gaps) {
        e.text(g.sensor);
        e.i64(g.from);
        e.i64(g.to);
        e.text(g.reason);
    }
    e.count(b.rollups.size());
    for (const Rollup &r : b.rollups) {
        e.text(r.sensor);
        e.i64(r.start);
        e.i32(r.seconds);
        e.i64(r.count);
        e.f64(r.sum);
        e.f64(r.sumSquares);
        e.i32(r.min);
        e.i32(r.max);
        e.i64(r.out);
        e.i32(r.lower);
        e.i32(r.upper);
    }
    return std::move(e.out);
}

std::optional<Batch> decodeBatch(const std::string &bytes) {
    Decoder d(bytes);
    if (d.u8() != BATCH_FORM)
        return std::nullopt;
    Batch b;
    b.frames.resize(d.count(20 + 2 * FRAME_WORDS));
    for (FrameRecord &f : b.frames) {
        f.sensor = d.text();
        f.time = d.i64();
        f.seq = d.i64();
        for (std::uint16_t &w : f.words)
            w = d.u16();
    }
    b.events.resize(d.count(20));
    for (EventRecord &v : b.events) {
        v.sensor = d.text();
        v.time = d.i64();
        v.id = d.text();
        v.kind = d.text();
        v.mvalue = d.maybe<int>();
        v.lower = d.maybe<int>();
        v.upper = d.maybe<int>();
        v.extreme = d.maybe<int>();
        v.durationMs = d.maybe<std::int64_t>();
    }
    b.statuses.resize(d.count(28));
    for (StatusRecord &s : b.statuses) {
        s.sensor = d.text();
        s.time = d.i64();
        s.state = d.text();
        s.port = d.text();
        s.program = d.text();
        s.broker = d.text();
    }
    b.infos.resize(d.count(28 + 4 * PARAMETERS));
    for (InfoRecord &i : b.infos) {
        i.sensor = d.text();
        i.time = d.i64();
        i.firmware = d.text();
        i.ccd = d.text();
        i.pixels = d.i32();
        for (int &p : i.parameters)
            p = d.i32();
        i.program = d.text();
    }
    b.gaps.resize(d.count(24));
    for (GapRecord &g : b.gaps) {
        g.sensor = d.text();
        g.from = d.i64();
        g.to = d.i64();
        g.reason = d.text();
    }
    b.rollups.resize(d.count(64));
    for (Rollup &r : b.rollups) {
        r.sensor = d.text();
        r.start = d.i64();
        r.seconds = d.i32();
        r.count = d.i64();
        r.sum = d.f64();
        r.sumSquares = d.f64();
        r.min = d.i32();
        r.max = d.i32();
        r.out = d.i64();
        r.lower = d.i32();
        r.upper = d.i32();
    }
    if (!d.ok() || !d.done())
        return std::nullopt;
    return b;
}

Spool::~Spool() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool Spool::open(const std::string &path, std::uint64_t maxBytes, std::string &problem) {
    path_ = path;
    maxBytes_ = maxBytes;
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        problem = "cannot open the spool " + path + ": " + systemError();
        return false;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        problem = "the spool " + path + " is in use by another process";
        return false;
    }
    struct stat about {};
    ::fstat(fd_, &about);
    if (!S_ISREG(about.st_mode)) {
        problem = "the spool " + path + " is not a plain file";
        return false;
    }
    const std::uint64_t size = static_cast<std::uint64_t>(about.st_size);
    std::string head(HEAD, '\0');
    if (size == 0) {
        end_ = HEAD;
        if (!writeHead()) {
            problem = "cannot write the spool " + path + ": " + systemError();
            return false;
        }
        return true;
    }
    if (size < HEAD || !readAll(fd_, head, 0) || head.compare(0, 8, MAGIC, 8) != 0) {
        problem = "the spool " + path + " is not a spool of vexa-tb-historian";
        return false;
    }
    // An offset past the end: the file was cut back after its last batch
    // was written back, and the head was not yet told.
    std::uint64_t at = std::min(std::max(HEAD, getUnsigned(head.data() + 8, 8)), size);
    end_ = at;
    while (at < size) {
        std::string recordHead(RECORD_HEAD, '\0');
        std::string payload;
        bool whole = size - at >= RECORD_HEAD && readAll(fd_, recordHead, at);
        const std::uint32_t length =
            whole ? static_cast<std::uint32_t>(getUnsigned(recordHead.data(), 4)) : 0;
        whole = whole && length <= LONGEST_RECORD && size - at - RECORD_HEAD >= length;
        std::optional<Batch> batch;
        if (whole) {
            payload.resize(length);
            whole = readAll(fd_, payload, at + RECORD_HEAD) &&
                    crc32(payload) == getUnsigned(recordHead.data() + 4, 4) &&
                    (batch = decodeBatch(payload));
        }
        if (!whole) {
            const std::uint64_t left = size - at;
            const bool last =
                left < RECORD_HEAD || (length <= LONGEST_RECORD && left - RECORD_HEAD <= length);
            notes_.push_back(
                "spool " + path + ": " +
                (last ? "a torn last batch (" + grouped(static_cast<long long>(size - at)) +
                            " bytes), cut short by a crash while it was written, is "
                            "dropped"
                      : "a damaged batch at byte " + grouped(static_cast<long long>(at)) +
                            " and the " + grouped(static_cast<long long>(size - at)) +
                            " bytes from there are dropped"));
            break;
        }
        waiting_.push_back({at, length, batch->size()});
        records_ += batch->size();
        at += RECORD_HEAD + length;
        end_ = at;
    }
    if (end_ != size && ::ftruncate(fd_, static_cast<off_t>(end_)) != 0) {
        problem = "cannot cut the spool " + path + " short: " + systemError();
        return false;
    }
    if (waiting_.empty() && end_ > HEAD) {
        end_ = HEAD;
        if (::ftruncate(fd_, static_cast<off_t>(HEAD)) != 0 || !writeHead()) {
            problem = "cannot write the spool " + path + ": " + systemError();
            return false;
        }
    }
    if (!waiting_.empty())
        notes_.push_back("spool " + path + ": " + grouped(static_cast<long long>(batches())) +
                         " batches (" + grouped(static_cast<long long>(records_)) +
                         " records) left by an earlier run wait for the store");
    return true;
}

bool Spool::writeHead() {
    std::string head(MAGIC, 8);
    putUnsigned(head, waiting_.empty() ? HEAD : waiting_.front().offset, 8);
    return writeAll(fd_, head, 0);
}

bool Spool::append(const std::string &payload, std::size_t records, std::uint64_t limit) {
    if (end_ + RECORD_HEAD + payload.size() > limit)
        return false;
    std::string record;
    record.reserve(RECORD_HEAD + payload.size());
    putUnsigned(record, payload.size(), 4);
    putUnsigned(record, crc32(payload), 4);
    record += payload;
    if (!writeAll(fd_, record, end_) || ::fdatasync(fd_) != 0) {
        writeProblem_ = systemError();
        // What part of the record went out is cut off again; what stays is
        // found torn at the next open if even that fails.
        if (::ftruncate(fd_, static_cast<off_t>(end_)) != 0)
            writeProblem_ += " (and the spool could not be cut back)";
        return false;
    }
    waiting_.push_back({end_, static_cast<std::uint32_t>(payload.size()), records});
    records_ += records;
    end_ += record.size();
    return true;
}

Spool::Kept Spool::put(const Batch &batch) {
    writeProblem_.clear();
    if (fd_ < 0)
        return Kept::Nothing;
    if (append(encodeBatch(batch), batch.size(), maxBytes_ / 8 * 7))
        return Kept::Whole;
    if (!writeProblem_.empty())
        return Kept::Nothing;
    Batch rest = batch;
    rest.frames.clear();
    if (rest.empty())
        return Kept::Nothing;
    if (append(encodeBatch(rest), rest.size(), maxBytes_))
        return Kept::WithoutFrames;
    return Kept::Nothing;
}

std::optional<Batch> Spool::front() {
    while (!waiting_.empty()) {
        const Waiting &oldest = waiting_.front();
        std::string payload(oldest.length, '\0');
        if (readAll(fd_, payload, oldest.offset + RECORD_HEAD))
            if (std::optional<Batch> batch = decodeBatch(payload))
                return batch;
        notes_.push_back("spool " + path_ + ": the batch at byte " +
                         grouped(static_cast<long long>(oldest.offset)) +
                         " cannot be read back and is dropped");
        pop();
    }
    return std::nullopt;
}

void Spool::pop() {
    if (waiting_.empty())
        return;
    records_ -= waiting_.front().records;
    waiting_.pop_front();
    if (waiting_.empty()) {
        end_ = HEAD;
        if (::ftruncate(fd_, static_cast<off_t>(HEAD)) != 0)
            writeProblem_ = systemError();
    }
    writeHead();
}

} // namespace historian

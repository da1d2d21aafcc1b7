// A cursor over the fuzz input. Harnesses that read their input piece by
// piece (a step, then the replies that step asks for) share one cursor, so
// the pieces interleave in the order the program meets them, and an input
// that ends early just means that nothing more comes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexafuzz {

class ByteCursor {
  public:
    ByteCursor(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ == size_; }
    std::size_t left() const { return size_ - pos_; }

    // The next byte; 0 once the input is used up.
    std::uint8_t take() { return empty() ? 0 : data_[pos_++]; }

    // Up to n bytes; fewer when the input ends first.
    const std::uint8_t *take(std::size_t n, std::size_t &got) {
        got = n < left() ? n : left();
        const std::uint8_t *start = data_ + pos_;
        pos_ += got;
        return start;
    }

  private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

} // namespace vexafuzz

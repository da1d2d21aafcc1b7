// The most recent events of one kind, oldest first, up to a fixed number:
// a new one pushes the oldest out once the history is full.
#pragma once

#include <cstddef>
#include <vector>

namespace stream {

template <typename Event> class History {
  public:
    explicit History(std::size_t capacity) : ring_(capacity) {}

    void push(const Event &event) {
        if (ring_.empty())
            return;
        ring_[(first_ + count_) % ring_.size()] = event;
        if (count_ < ring_.size())
            ++count_;
        else
            first_ = (first_ + 1) % ring_.size();
    }
    void clear() { first_ = count_ = 0; }

    std::size_t size() const { return count_; }
    std::size_t capacity() const { return ring_.size(); }
    bool empty() const { return count_ == 0; }
    // i = 0 is the oldest kept, size() - 1 the newest.
    const Event &operator[](std::size_t i) const { return ring_[(first_ + i) % ring_.size()]; }
    const Event &newest() const { return (*this)[count_ - 1]; }
    std::vector<Event> toVector() const {
        std::vector<Event> events;
        events.reserve(count_);
        for (std::size_t i = 0; i < count_; ++i)
            events.push_back((*this)[i]);
        return events;
    }

  private:
    std::vector<Event> ring_;
    std::size_t first_ = 0, count_ = 0;
};

} // namespace stream

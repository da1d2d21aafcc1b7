#include "sim/framer.h"

#include <algorithm>

namespace sim {

Clock::duration lineTime(std::size_t count, unsigned bytesPerSecond) {
    if (bytesPerSecond == 0)
        return Clock::duration::zero();
    constexpr unsigned long long kNsPerSecond = 1'000'000'000ULL;
    const unsigned long long ns =
        (static_cast<unsigned long long>(count) * kNsPerSecond + bytesPerSecond - 1) /
        bytesPerSecond;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(ns));
}

RequestFramer::RequestFramer(unsigned bytesPerSecond, std::chrono::milliseconds staleLimit)
    : rate_(bytesPerSecond), staleLimit_(staleLimit) {}

void RequestFramer::push(const std::uint8_t *data, std::size_t n, Clock::time_point now) {
    for (std::size_t i = 0; i < n; ++i) {
        if (rate_ == 0 || now >= runStart_ + lineTime(runBytes_, rate_)) {
            runStart_ = now; // the line was idle: this byte starts a new run
            runBytes_ = 0;
        }
        ++runBytes_;
        bytes_.push_back(data[i]);
        onLine_.push_back(runStart_ + lineTime(runBytes_, rate_));
    }
}

void RequestFramer::dropFront() {
    bytes_.pop_front();
    onLine_.pop_front();
    ++dropped_;
}

void RequestFramer::resync() {
    while (!bytes_.empty()) {
        if (bytes_[0] != 0x00 || (bytes_.size() >= 2 && bytes_[1] != 0x55))
            dropFront();
        else
            break;
    }
}

std::optional<RequestFramer::Request> RequestFramer::pop(Clock::time_point now) {
    for (;;) {
        resync();
        if (bytes_.empty())
            return std::nullopt;
        if (bytes_.size() >= kTelegramSize &&
            onLine_[kTelegramSize - 1] - onLine_.front() <= staleLimit_) {
            Request r;
            std::copy_n(bytes_.begin(), kTelegramSize, r.bytes.begin());
            r.receivedAt = onLine_[kTelegramSize - 1];
            bytes_.erase(bytes_.begin(), bytes_.begin() + kTelegramSize);
            onLine_.erase(onLine_.begin(), onLine_.begin() + kTelegramSize);
            return r;
        }
        if (bytes_.size() < kTelegramSize && now - onLine_.front() <= staleLimit_)
            return std::nullopt;
        dropFront(); // incomplete for too long
    }
}

std::optional<Clock::time_point> RequestFramer::staleAt() const {
    if (onLine_.empty())
        return std::nullopt;
    return onLine_.front() + staleLimit_;
}

} // namespace sim

#include "sim/framer.h"

#include <algorithm>

namespace sim {

RequestFramer::RequestFramer(unsigned bytesPerSecond, std::chrono::milliseconds staleLimit)
    : staleLimit_(staleLimit) {
    if (bytesPerSecond > 0)
        byteTime_ = std::chrono::duration_cast<Clock::duration>(
            std::chrono::nanoseconds((1'000'000'000LL + bytesPerSecond / 2) / bytesPerSecond));
}

void RequestFramer::push(const std::uint8_t *data, std::size_t n, Clock::time_point now) {
    for (std::size_t i = 0; i < n; ++i) {
        lineFreeAt_ = std::max(lineFreeAt_, now) + byteTime_;
        bytes_.push_back(data[i]);
        onLine_.push_back(lineFreeAt_);
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

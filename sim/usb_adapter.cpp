#include "sim/usb_adapter.h"

#include <algorithm>
#include <iterator>

namespace sim {

UsbAdapter::UsbAdapter(Clock::duration latency, std::size_t packet)
    : latency_(latency), packet_(std::max<std::size_t>(packet, 1)) {}

void UsbAdapter::take(const std::uint8_t *data, std::size_t n, Clock::time_point lastCame) {
    held_.insert(held_.end(), data, data + n);
    lastCame_ = lastCame;
    const std::size_t whole = held_.size() / packet_ * packet_;
    full_.insert(full_.end(), held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(whole));
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(whole));
}

void UsbAdapter::handOver(Clock::time_point now, std::vector<std::uint8_t> &out) {
    out.insert(out.end(), full_.begin(), full_.end());
    full_.clear();
    if (!held_.empty() && now >= lastCame_ + latency_) {
        out.insert(out.end(), held_.begin(), held_.end());
        held_.clear();
    }
}

std::optional<Clock::time_point> UsbAdapter::nextHandOver() const {
    if (!full_.empty())
        return Clock::time_point{};
    if (!held_.empty())
        return lastCame_ + latency_;
    return std::nullopt;
}

} // namespace sim

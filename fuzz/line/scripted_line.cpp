#include "fuzz/line/scripted_line.h"

#include <algorithm>

namespace vexafuzz {

ScriptedLine &ScriptedLine::instance() {
    static ScriptedLine line;
    return line;
}

void ScriptedLine::reset(ByteCursor *script) {
    close();
    script_ = script;
    timeout_ = 5.0;
    queue_.clear();
    arrivals_.clear();
    clock_ = 0.0;
    writes.clear();
    reads.clear();
    lastCallbackRead.clear();
    callbacks = 0;
}

void ScriptedLine::open(int port) {
    close();
    open_ = true;
    port_ = port;
    queue_.clear(); // what arrived before the open is gone; what is on its way still comes
}

void ScriptedLine::close() {
    open_ = false;
    mask_ = 0;
    callback_ = nullptr;
    callbackData_ = nullptr;
}

void ScriptedLine::write(const char *bytes, int count) {
    writes.emplace_back(bytes, bytes + count);
    if (script_)
        for (Arrival &a : TakeReply(*script_))
            arrivals_.push_back(std::move(a));
}

void ScriptedLine::hearUnasked() {
    if (script_)
        for (Arrival &a : TakeReply(*script_))
            arrivals_.push_back(std::move(a));
}

void ScriptedLine::look() {
    if (!open_ || arrivals_.empty()) { // nothing reaches a closed port
        spend(kSilence);
        return;
    }
    Arrival &next = arrivals_.front();
    if (next.silenceBefore > kLookStep) {
        spend(kLookStep);
        next.silenceBefore -= kLookStep;
        return;
    }
    spend(next.silenceBefore + static_cast<double>(next.bytes.size()) / kBytesPerSecond);
    queue_.insert(queue_.end(), next.bytes.begin(), next.bytes.end());
    arrivals_.pop_front();
}

int ScriptedLine::read(char *buffer, int count) {
    const auto wanted = static_cast<std::size_t>(std::max(count, 0));
    // The real read waits up to its time-out for the bytes it lacks.
    const double start = clock_;
    while (queue_.size() < wanted && !arrivals_.empty() && clock_ - start < timeout_)
        look();
    if (queue_.size() < wanted && clock_ - start < timeout_)
        spend(timeout_ - (clock_ - start));
    const std::size_t n = std::min(wanted, queue_.size());
    std::copy_n(queue_.begin(), n, buffer);
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
    reads.emplace_back(buffer, buffer + n);
    if (inCallback_)
        lastCallbackRead = reads.back();
    return static_cast<int>(n);
}

int ScriptedLine::queued() {
    look();
    return static_cast<int>(queue_.size());
}

void ScriptedLine::install(int mask, int notifyCount, ReceiveCallback callback, void *data) {
    mask_ = mask;
    notifyCount_ = notifyCount > 0 ? notifyCount : 1;
    callback_ = callback;
    callbackData_ = data;
}

void ScriptedLine::serviceReceiveEvent() {
    look();
    if (!open_ || inCallback_ || !callback_ || !(mask_ & kReceiveCount) ||
        queue_.size() < static_cast<std::size_t>(notifyCount_))
        return;
    inCallback_ = true;
    ++callbacks;
    callback_(port_, kReceiveCount, callbackData_);
    inCallback_ = false;
}

double ScriptedLine::now() {
    spend(kProgramTick);
    return clock_;
}

} // namespace vexafuzz

#include "sim/scripted_sensor.h"

#include "sim/pty_server.h"

namespace sim {

ScriptedSensor::ScriptedSensor(unsigned baud)
    : PtyEndpoint(bytesPerSecondOf(baud)),
      framer_(bytesPerSecondOf(baud), staleLimitFor(bytesPerSecondOf(baud))) {
    start();
}

ScriptedSensor::~ScriptedSensor() {
    stop();
}

void ScriptedSensor::script(std::uint16_t orderCode, std::vector<std::uint8_t> reply,
                            std::chrono::milliseconds delay, Repeat repeat) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry e{std::move(reply), delay};
    if (repeat == Repeat::Once)
        scripts_[orderCode].once.push_back(std::move(e));
    else
        scripts_[orderCode].always = std::move(e);
}

void ScriptedSensor::clearScript(std::uint16_t orderCode) {
    std::lock_guard<std::mutex> lock(mutex_);
    scripts_.erase(orderCode);
}

void ScriptedSensor::clearScript() {
    std::lock_guard<std::mutex> lock(mutex_);
    scripts_.clear();
}

void ScriptedSensor::send(std::vector<std::uint8_t> bytes) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        transmit(std::move(bytes), Clock::now());
    }
    wake();
}

void ScriptedSensor::hangUp() {
    closeLine();
}

void ScriptedSensor::setBaud(unsigned baud) {
    std::lock_guard<std::mutex> lock(mutex_);
    const unsigned rate = bytesPerSecondOf(baud);
    setBytesPerSecond(rate);
    framer_ = RequestFramer(rate, staleLimitFor(rate));
}

void ScriptedSensor::setChunk(std::size_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    PtyEndpoint::setChunk(bytes);
}

std::vector<Telegram> ScriptedSensor::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<Clock::time_point> ScriptedSensor::requestTimes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return times_;
}

std::vector<std::uint16_t> ScriptedSensor::orders() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::uint16_t> out;
    out.reserve(requests_.size());
    for (const auto &r : requests_)
        out.push_back(requestOrder(r));
    return out;
}

std::vector<std::uint8_t> ScriptedSensor::receivedBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return raw_;
}

void ScriptedSensor::clearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
    times_.clear();
    raw_.clear();
}

bool ScriptedSensor::waitForRequests(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return requests_.size() >= n; });
}

void ScriptedSensor::received(const std::uint8_t *data, std::size_t n, Clock::time_point now) {
    raw_.insert(raw_.end(), data, data + n);
    framer_.push(data, n, now);
    answerComplete(now);
}

void ScriptedSensor::tick(Clock::time_point now) {
    answerComplete(now);
}

std::optional<Clock::time_point> ScriptedSensor::nextTick() const {
    return framer_.staleAt();
}

void ScriptedSensor::answerComplete(Clock::time_point now) {
    bool any = false;
    while (auto request = framer_.pop(now)) {
        any = true;
        requests_.push_back(request->bytes);
        times_.push_back(request->receivedAt);

        auto it = scripts_.find(requestOrder(request->bytes));
        if (it == scripts_.end())
            continue;
        Script &s = it->second;
        std::optional<Entry> entry;
        if (!s.once.empty()) {
            entry = std::move(s.once.front());
            s.once.pop_front();
        } else {
            entry = s.always;
        }
        if (entry && !entry->bytes.empty())
            transmit(std::move(entry->bytes), request->receivedAt + entry->delay);
    }
    if (any)
        arrived_.notify_all();
}

} // namespace sim

#include "sim/pty_server.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace sim {

std::chrono::milliseconds staleLimitFor(unsigned bytesPerSecond) {
    const std::chrono::milliseconds floor(200);
    if (bytesPerSecond == 0)
        return floor;
    return std::max(floor, std::chrono::milliseconds(2 * kTelegramSize * 1000 / bytesPerSecond));
}

PtyServer::PtyServer(Sensor sensor, ServerOptions options)
    : PtyEndpoint(bytesPerSecondOf(options.baud)), sensor_(std::move(sensor)),
      options_(std::move(options)),
      framer_(bytesPerSecondOf(options_.baud), staleLimitFor(bytesPerSecondOf(options_.baud))) {
    setStopWhenPeerCloses(options_.once);
    setChunk(options_.chunk);
    setWatchAfterReply(options_.watchAfterReply);
    setAdapter(options_.adapterLatency, options_.adapterPacket);
    start();
}

PtyServer::~PtyServer() {
    stop();
}

std::vector<Clock::duration> PtyServer::turnarounds(std::uint16_t orderCode) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Clock::duration> all;
    for (const auto &[orders, times] : turnarounds_)
        if (orders.second == orderCode)
            all.insert(all.end(), times.begin(), times.end());
    return all;
}

std::vector<Clock::duration> PtyServer::turnarounds(std::uint16_t afterOrder,
                                                    std::uint16_t orderCode) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = turnarounds_.find({afterOrder, orderCode});
    return it == turnarounds_.end() ? std::vector<Clock::duration>{} : it->second;
}

void PtyServer::received(const std::uint8_t *data, std::size_t n, Clock::time_point now) {
    if (auto turnaround = takeTurnaround())
        nextTurnaround_ = turnaround;
    framer_.push(data, n, now);
    serveComplete(now);
}

void PtyServer::tick(Clock::time_point now) {
    serveComplete(now);
}

std::optional<Clock::time_point> PtyServer::nextTick() const {
    return framer_.staleAt();
}

void PtyServer::serveComplete(Clock::time_point now) {
    const std::size_t droppedBefore = framer_.droppedBytes();
    while (auto request = framer_.pop(now)) {
        const std::uint16_t code = requestOrder(request->bytes);
        if (nextTurnaround_)
            turnarounds_[{lastAnswered_, code}].push_back(
                *std::exchange(nextTurnaround_, std::nullopt));
        Reply reply = sensor_.handle(request->bytes);
        if (options_.log) {
            char text[96];
            std::snprintf(text, sizeof text, "order %u: %zu bytes back%s%s", unsigned(code),
                          reply.bytes.size(), reply.delay.count() ? " (delayed)" : "",
                          reply.hangUp ? ", then hang-up" : "");
            options_.log(text);
        }
        if (!reply.bytes.empty())
            lastAnswered_ = code;
        if (!reply.bytes.empty() || reply.hangUp)
            transmit(std::move(reply.bytes), request->receivedAt + reply.delay, reply.hangUp);
    }
    if (options_.log && framer_.droppedBytes() != droppedBefore) {
        char text[64];
        std::snprintf(text, sizeof text, "dropped %zu bytes out of step",
                      framer_.droppedBytes() - droppedBefore);
        options_.log(text);
    }
}

} // namespace sim

// The bookkeeping of what reached the broker. Acknowledgements of one
// connection come in the order the messages went out, so one for a later
// summary also vouches for the earlier ones.
#include "broker/delivery.h"

#include <algorithm>

namespace broker {

bool EventQueue::add(std::string payload) {
    bool roomy = true;
    if (limit_ > 0 && kept_.size() >= limit_) {
        kept_.pop_front();
        ++dropped_;
        roomy = false;
    }
    kept_.push_back({std::move(payload), 0});
    return roomy;
}

void EventQueue::sendWaiting(const std::function<int(const std::string &)> &send) {
    for (Kept &k : kept_)
        if (k.token == 0 && (k.token = send(k.payload)) == 0)
            return; // the rest keep their order behind it
}

void EventQueue::acknowledged(int token) {
    const auto it = std::find_if(kept_.begin(), kept_.end(),
                                 [token](const Kept &k) { return k.token == token; });
    if (token != 0 && it != kept_.end())
        kept_.erase(it);
}

void EventQueue::connectionLost() {
    for (Kept &k : kept_)
        k.token = 0;
}

void FrameLedger::summarySent(int token) {
    sent_.push_back({token, unvouched_});
    unvouched_ = 0;
}

void FrameLedger::summaryAcknowledged(int token) {
    const auto it = std::find_if(sent_.begin(), sent_.end(),
                                 [token](const Checkpoint &c) { return c.token == token; });
    if (it != sent_.end())
        sent_.erase(sent_.begin(), it + 1);
}

long long FrameLedger::connectionLost() {
    long long lost = unvouched_;
    for (const Checkpoint &c : sent_)
        lost += c.frames;
    unvouched_ = 0;
    sent_.clear();
    return lost;
}

} // namespace broker

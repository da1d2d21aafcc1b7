// One kind of event and any number of listeners. A listener is told in the
// order it subscribed, and stays subscribed while its Subscription lives.
// It may end its own or another's subscription while being told, and may
// subscribe others then: those are told from the next event on. Publishing
// costs a call per listener and allocates nothing.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <utility>

namespace stream {

// Ends a subscription when it goes out of scope or is reset; movable only.
class Subscription {
  public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    Subscription(Subscription &&other) noexcept : cancel_(std::exchange(other.cancel_, {})) {}
    Subscription &operator=(Subscription &&other) noexcept {
        if (this != &other) {
            reset();
            cancel_ = std::exchange(other.cancel_, {});
        }
        return *this;
    }
    Subscription(const Subscription &) = delete;
    Subscription &operator=(const Subscription &) = delete;
    ~Subscription() { reset(); }

    void reset() {
        if (auto cancel = std::exchange(cancel_, {}))
            cancel();
    }
    explicit operator bool() const { return static_cast<bool>(cancel_); }

  private:
    std::function<void()> cancel_;
};

template <typename Event> class Channel {
  public:
    using Listener = std::function<void(const Event &)>;

    Channel() : core_(std::make_shared<Core>()) {}
    Channel(const Channel &) = delete;
    Channel &operator=(const Channel &) = delete;

    [[nodiscard]] Subscription subscribe(Listener listener) {
        const std::size_t id = ++core_->lastId;
        core_->listening.push_back({id, std::move(listener), false});
        // The channel may end before a subscription does (both may live in
        // static storage): the subscription then has nothing to end.
        return Subscription([weak = std::weak_ptr<Core>(core_), id] {
            if (auto core = weak.lock())
                core->remove(id);
        });
    }

    void publish(const Event &event) {
        Core &core = *core_;
        ++core.depth;
        // Listeners added meanwhile come after `count` and wait for the
        // next event; removed ones are skipped, and kept until the last
        // publish returns, as one of them may be the listener now running.
        const std::size_t count = core.listening.size();
        for (std::size_t i = 0; i < count; ++i)
            if (!core.listening[i].removed)
                core.listening[i].listener(event);
        if (--core.depth == 0 && core.emptied)
            core.compact();
    }

    std::size_t listeners() const {
        std::size_t n = 0;
        for (const Slot &slot : core_->listening)
            n += slot.removed ? 0 : 1;
        return n;
    }

  private:
    struct Slot {
        std::size_t id;
        Listener listener;
        bool removed = false;
    };
    struct Core {
        // A deque: a listener that subscribes another must not move the
        // listening, its own among them, while it runs.
        std::deque<Slot> listening;
        std::size_t lastId = 0;
        int depth = 0;        // publishes under way (a listener may publish)
        bool emptied = false; // a slot waits to be taken out

        void remove(std::size_t id) {
            for (Slot &slot : listening)
                if (slot.id == id)
                    slot.removed = true;
            emptied = true;
            if (depth == 0)
                compact();
        }
        void compact() {
            std::deque<Slot> kept;
            for (Slot &slot : listening)
                if (!slot.removed)
                    kept.push_back(std::move(slot));
            listening = std::move(kept);
            emptied = false;
        }
    };
    std::shared_ptr<Core> core_;
};

} // namespace stream

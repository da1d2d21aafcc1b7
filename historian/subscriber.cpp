// The subscription over Eclipse Paho C's asynchronous client, shaped as
// broker/publisher.cpp: a keeper thread of our own makes the first connect
// and every reconnect (Paho reconnects by itself only after a first
// success) and says why a connect failed; Paho's callbacks only post what
// happened to the keeper, or push a message into the queue, and return.
// Nothing here calls Paho while holding a lock that a callback takes.
#include "historian/subscriber.h"

#include <MQTTAsync.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "broker/connect_problem.h"
#include "historian/time_spec.h"

namespace historian {

namespace {

using Steady = std::chrono::steady_clock;

constexpr std::chrono::seconds FIRST_RETRY{1}, LAST_RETRY{10};
constexpr int KEEP_ALIVE_S = 5, CONNECT_TIMEOUT_S = 5, DISCONNECT_WAIT_MS = 1000;

const char *const TOPICS[] = {"vexa-tb/+/status", "vexa-tb/+/info", "vexa-tb/+/frame",
                              "vexa-tb/+/event"};
constexpr int TOPIC_COUNT = 4;

// CONNACK return codes that say the credentials are wrong (MQTT 3.1.1 and 5).
const char *refusalText(int code) {
    switch (code) {
    case 4:
    case 0x86:
        return "bad user name or password";
    case 5:
    case 0x87:
        return "not authorized";
    default:
        return nullptr;
    }
}

long long steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now().time_since_epoch())
        .count();
}

} // namespace

bool MessageQueue::push(Message message) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++received_;
        if (messages_.size() >= limit_) {
            ++dropped_;
            return false;
        }
        messages_.push_back(std::move(message));
    }
    arrived_.notify_one();
    return true;
}

std::deque<Message> MessageQueue::take(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait_for(lock, std::chrono::milliseconds(ms),
                      [this] { return !messages_.empty() || woken_; });
    woken_ = false;
    std::deque<Message> taken;
    taken.swap(messages_);
    return taken;
}

void MessageQueue::wake() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        woken_ = true;
    }
    arrived_.notify_all();
}

long long MessageQueue::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

long long MessageQueue::dropped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

std::string defaultClientId() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0')
        return "vexa-tb-historian";
    return std::string("vexa-tb-historian-") + host;
}

struct Subscriber::Impl {
    broker::Target target;
    std::string clientId, serverUri, user;
    MessageQueue &queue;
    MQTTAsync client = nullptr;

    std::atomic<bool> connected{false}, refused{false}, dropping{false};
    std::atomic<long long> lastHeardMs{0}, droppedBefore{0};
    std::function<void(const std::string &)> newsCallback;
    mutable std::mutex refusalMutex;
    std::string refusal;

    // What Paho's callbacks tell the keeper, in the order it happened.
    struct Happening {
        enum class Kind { Connected, Failed, Refused, Lost, SubscribeFailed, QueueFull, QueueRoom };
        Kind kind;
        std::string text;
    };
    std::mutex inboxMutex;
    std::deque<Happening> inbox;

    std::mutex keeperMutex;
    std::condition_variable keeperWake;
    std::optional<Steady::time_point> retryAt;
    std::chrono::seconds interval = FIRST_RETRY;
    bool stopping = false;
    std::thread keeper;
    std::unique_ptr<broker::ConnectTrace> trace; // the keeper's only

    std::string lastNews; // the keeper's only

    std::mutex doneMutex;
    std::condition_variable doneWake;
    bool disconnected = false;

    Impl(broker::Target t, std::string id, MessageQueue &q)
        : target(std::move(t)), clientId(std::move(id)), queue(q) {
        serverUri = (target.url.tls ? "ssl://" : "tcp://") +
                    (target.url.host.find(':') != std::string::npos ? "[" + target.url.host + "]"
                                                                    : target.url.host) +
                    ":" + std::to_string(target.url.port);
        user = target.user.empty() ? target.url.user : target.user;
    }

    void tell(const std::string &news) {
        if (news == lastNews)
            return;
        lastNews = news;
        if (newsCallback)
            newsCallback(news);
    }

    // Caller holds keeperMutex.
    void scheduleRetry() {
        retryAt = Steady::now() + interval;
        interval = std::min(interval * 2, LAST_RETRY);
    }

    void connectNow() {
        trace = std::make_unique<broker::ConnectTrace>();
        MQTTAsync_connectOptions options = MQTTAsync_connectOptions_initializer;
        MQTTAsync_SSLOptions ssl = MQTTAsync_SSLOptions_initializer;
        ssl.trustStore = target.caFile.empty() ? nullptr : target.caFile.c_str();
        ssl.enableServerCertAuth = 1;
        ssl.verify = 1;
        options.MQTTVersion = MQTTVERSION_3_1_1;
        options.keepAliveInterval = KEEP_ALIVE_S;
        options.connectTimeout = CONNECT_TIMEOUT_S;
        options.cleansession = 0; // the broker keeps what comes while we are away
        options.automaticReconnect = 0;
        options.username = user.empty() ? nullptr : user.c_str();
        options.password = target.password.empty() ? nullptr : target.password.c_str();
        options.ssl = target.url.tls ? &ssl : nullptr;
        options.onSuccess = &Impl::connectSucceeded;
        options.onFailure = &Impl::connectFailed;
        options.context = this;
        if (const int rc = MQTTAsync_connect(client, &options); rc != MQTTASYNC_SUCCESS) {
            trace.reset();
            tell(std::string("broker unreachable: ") + MQTTAsync_strerror(rc));
            std::lock_guard<std::mutex> lock(keeperMutex);
            scheduleRetry();
        }
    }

    // A kept session holds the subscription already; asking again costs
    // nothing and makes a session the broker lost whole again.
    void madeConnection() {
        {
            std::lock_guard<std::mutex> lock(keeperMutex);
            interval = FIRST_RETRY;
        }
        lastHeardMs = steadyMs();
        char *topics[TOPIC_COUNT];
        int qos[TOPIC_COUNT];
        for (int i = 0; i < TOPIC_COUNT; ++i) {
            topics[i] = const_cast<char *>(TOPICS[i]);
            qos[i] = 1;
        }
        MQTTAsync_responseOptions options = MQTTAsync_responseOptions_initializer;
        options.onFailure = &Impl::subscribeFailed;
        options.context = this;
        if (MQTTAsync_subscribeMany(client, TOPIC_COUNT, topics, qos, &options) !=
            MQTTASYNC_SUCCESS)
            tell("the broker did not take the subscription to vexa-tb/+/status, info, frame, "
                 "event");
        connected = true;
        tell("broker connected");
    }

    void lostConnection() {
        const bool silent = steadyMs() - lastHeardMs >= KEEP_ALIVE_S * 1000;
        tell(std::string("connection lost: ") +
             (silent ? "the broker stopped answering" : "the broker closed the connection"));
        std::lock_guard<std::mutex> lock(keeperMutex);
        scheduleRetry();
    }

    void handle(const Happening &h) {
        using Kind = Happening::Kind;
        switch (h.kind) {
        case Kind::Connected:
            trace.reset();
            madeConnection();
            break;
        case Kind::Failed: {
            const std::vector<std::string> traced =
                trace ? trace->lines() : std::vector<std::string>{};
            trace.reset();
            tell("broker unreachable: " + broker::connectProblem(target.url, h.text, traced));
            std::lock_guard<std::mutex> lock(keeperMutex);
            scheduleRetry();
            break;
        }
        case Kind::Refused: {
            trace.reset();
            {
                std::lock_guard<std::mutex> lock(refusalMutex);
                refusal = h.text;
            }
            refused = true;
            tell("broker refused the connection: " + h.text);
            break;
        }
        case Kind::Lost:
            lostConnection();
            break;
        case Kind::SubscribeFailed:
            tell("the broker refused the subscription to vexa-tb/+/status, info, frame, event" +
                 (h.text.empty() ? std::string() : ": " + h.text));
            break;
        case Kind::QueueFull:
            tell("the message queue is full: messages are dropped until the writer catches up");
            break;
        case Kind::QueueRoom:
            tell("the message queue has room again: " + h.text +
                 " messages were dropped while it was full");
            break;
        }
    }

    void keep() {
        std::unique_lock<std::mutex> lock(keeperMutex);
        while (!stopping) {
            std::deque<Happening> happened;
            {
                std::lock_guard<std::mutex> held(inboxMutex);
                happened.swap(inbox);
            }
            if (!happened.empty()) {
                lock.unlock();
                for (const Happening &h : happened)
                    handle(h);
                lock.lock();
            } else if (retryAt && Steady::now() >= *retryAt && !refused) {
                retryAt.reset();
                lock.unlock();
                connectNow();
                lock.lock();
            } else {
                const auto woken = [this] {
                    std::lock_guard<std::mutex> held(inboxMutex);
                    return stopping || !inbox.empty();
                };
                if (retryAt && !refused)
                    keeperWake.wait_until(lock, *retryAt, woken);
                else
                    keeperWake.wait(lock, woken);
            }
        }
    }

    // --- Paho's callbacks, on Paho's threads ---------------------------------

    void post(Happening h) {
        {
            std::lock_guard<std::mutex> lock(inboxMutex);
            inbox.push_back(std::move(h));
        }
        std::lock_guard<std::mutex> lock(keeperMutex);
        keeperWake.notify_all();
    }

    static void connectSucceeded(void *context, MQTTAsync_successData *) {
        static_cast<Impl *>(context)->post({Happening::Kind::Connected, {}});
    }

    static void connectFailed(void *context, MQTTAsync_failureData *response) {
        auto *self = static_cast<Impl *>(context);
        if (const char *reason = response ? refusalText(response->code) : nullptr)
            self->post({Happening::Kind::Refused, reason});
        else
            self->post(
                {Happening::Kind::Failed, response && response->message ? response->message : ""});
    }

    static void subscribeFailed(void *context, MQTTAsync_failureData *response) {
        static_cast<Impl *>(context)->post(
            {Happening::Kind::SubscribeFailed,
             response && response->message ? response->message : ""});
    }

    static void connectionLost(void *context, char *cause) {
        auto *self = static_cast<Impl *>(context);
        self->connected = false;
        if (cause)
            MQTTAsync_free(cause);
        self->post({Happening::Kind::Lost, {}});
    }

    static int messageArrived(void *context, char *topic, int topicLength,
                              MQTTAsync_message *message) {
        auto *self = static_cast<Impl *>(context);
        self->lastHeardMs = steadyMs();
        Message taken;
        taken.topic = topicLength > 0 ? std::string(topic, static_cast<std::size_t>(topicLength))
                                      : std::string(topic);
        taken.payload.assign(static_cast<const char *>(message->payload),
                             static_cast<std::size_t>(message->payloadlen));
        taken.arrival = nowMillis();
        MQTTAsync_freeMessage(&message);
        MQTTAsync_free(topic);
        // Each change between taking and dropping is said once.
        if (!self->queue.push(std::move(taken))) {
            if (!self->dropping.exchange(true))
                self->post({Happening::Kind::QueueFull, {}});
        } else if (self->dropping.exchange(false)) {
            const long long dropped = self->queue.dropped();
            self->post({Happening::Kind::QueueRoom, grouped(dropped - self->droppedBefore)});
            self->droppedBefore = dropped;
        }
        return 1;
    }

    static void disconnectDone(void *context) {
        auto *self = static_cast<Impl *>(context);
        std::lock_guard<std::mutex> lock(self->doneMutex);
        self->disconnected = true;
        self->doneWake.notify_all();
    }
    static void disconnectSucceeded(void *context, MQTTAsync_successData *) {
        disconnectDone(context);
    }
    static void disconnectFailed(void *context, MQTTAsync_failureData *) {
        disconnectDone(context);
    }
};

Subscriber::Subscriber(broker::Target broker, std::string clientId, MessageQueue &queue)
    : impl_(std::make_unique<Impl>(std::move(broker), std::move(clientId), queue)) {}

Subscriber::~Subscriber() {
    stop();
}

void Subscriber::onNews(std::function<void(const std::string &)> callback) {
    impl_->newsCallback = std::move(callback);
}

std::string Subscriber::start() {
    Impl &d = *impl_;
    if (d.client)
        return "";
    MQTTAsync_createOptions create = MQTTAsync_createOptions_initializer;
    create.MQTTVersion = MQTTVERSION_3_1_1;
    int rc = MQTTAsync_createWithOptions(&d.client, d.serverUri.c_str(), d.clientId.c_str(),
                                         MQTTCLIENT_PERSISTENCE_NONE, nullptr, &create);
    if (rc == MQTTASYNC_SUCCESS)
        rc = MQTTAsync_setCallbacks(d.client, &d, &Impl::connectionLost, &Impl::messageArrived,
                                    nullptr);
    if (rc != MQTTASYNC_SUCCESS) {
        if (d.client)
            MQTTAsync_destroy(&d.client);
        d.client = nullptr;
        return std::string("cannot make the MQTT client for ") + d.serverUri + ": " +
               MQTTAsync_strerror(rc);
    }
    d.stopping = false;
    d.disconnected = false;
    d.interval = FIRST_RETRY;
    d.retryAt = Steady::now();
    d.keeper = std::thread([&d] { d.keep(); });
    return "";
}

void Subscriber::stop() {
    Impl &d = *impl_;
    if (!d.client)
        return;
    {
        std::lock_guard<std::mutex> lock(d.keeperMutex);
        d.stopping = true;
        d.keeperWake.notify_all();
    }
    d.keeper.join();
    MQTTAsync_disconnectOptions options = MQTTAsync_disconnectOptions_initializer;
    options.timeout = DISCONNECT_WAIT_MS;
    options.onSuccess = &Impl::disconnectSucceeded;
    options.onFailure = &Impl::disconnectFailed;
    options.context = &d;
    if (MQTTAsync_disconnect(d.client, &options) == MQTTASYNC_SUCCESS) {
        std::unique_lock<std::mutex> lock(d.doneMutex);
        d.doneWake.wait_for(lock, std::chrono::milliseconds(DISCONNECT_WAIT_MS + 100),
                            [&d] { return d.disconnected; });
    }
    d.connected = false;
    MQTTAsync_destroy(&d.client);
    d.client = nullptr;
    d.trace.reset();
}

bool Subscriber::connected() const {
    return impl_->connected;
}

bool Subscriber::refused() const {
    return impl_->refused;
}

std::string Subscriber::refusal() const {
    std::lock_guard<std::mutex> lock(impl_->refusalMutex);
    return impl_->refusal;
}

} // namespace historian

// The publisher over Eclipse Paho C's asynchronous client. Paho buffers what
// is sent while disconnected (bounded, the oldest dropped first) and runs the
// network on its own thread; the publisher keeps the first connect and every
// reconnect on one retry thread of its own, because Paho's automatic
// reconnect only starts after a first success. Paho's callbacks run on its
// thread: they touch only atomics and what the mutexes guard here.
#include "broker/publisher.h"

#include <MQTTAsync.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace broker {

namespace {

using Steady = std::chrono::steady_clock;

constexpr std::chrono::seconds FIRST_RETRY{1}, LAST_RETRY{10};
constexpr int BUFFERED_MESSAGES = 1000; // events waiting for a broker
constexpr int KEEP_ALIVE_S = 10, CONNECT_TIMEOUT_S = 5;
constexpr unsigned long OFFLINE_WAIT_MS = 1500, DISCONNECT_WAIT_MS = 500;

// CONNACK return codes of MQTT 3.1.1 and reason codes of MQTT 5 that say
// the credentials are wrong: no retry helps.
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

} // namespace

std::string connectionText(bool connected, long long dropped) {
    if (connected)
        return "broker: connected";
    return "broker: reconnecting, " + std::to_string(dropped) + " frames dropped";
}

struct Publisher::Impl {
    Target target;
    std::string topics[5];
    std::string serverUri, clientId, user, will;
    MQTTAsync client = nullptr;

    std::atomic<bool> connected{false}, refused{false};
    std::atomic<long long> dropped{0};
    long long seq = 0; // the caller's thread only

    std::function<void(bool)> connectionChanged;
    std::function<void(const std::string &)> refusedCallback;

    // What a (re)connection sends again, and the order of status and info
    // sends from both threads.
    std::mutex retainedMutex;
    std::optional<State> state;
    std::string infoPayload;
    std::string refusal;

    // The retry thread.
    std::mutex retryMutex;
    std::condition_variable retryWake;
    std::optional<Steady::time_point> retryAt;
    std::chrono::seconds interval = FIRST_RETRY;
    bool stopping = false;
    std::thread retryThread;

    // stop()'s wait for the disconnect.
    std::mutex doneMutex;
    std::condition_variable doneWake;
    bool disconnected = false;

    explicit Impl(Target t) : target(std::move(t)) {
        for (int i = 0; i < 5; ++i)
            topics[i] = topicName(target.name, static_cast<Topic>(i));
        serverUri = (target.url.tls ? "ssl://" : "tcp://") +
                    (target.url.host.find(':') != std::string::npos ? "[" + target.url.host + "]"
                                                                    : target.url.host) +
                    ":" + std::to_string(target.url.port);
        clientId = "vexa-tb-" + target.name;
        user = target.user.empty() ? target.url.user : target.user;
        will = lastWillJson();
        target.frameEvery = std::max(1, target.frameEvery);
    }

    bool send(Topic topic, const std::string &payload, MQTTAsync_token *token = nullptr) {
        const TopicEntry &entry = topicEntry(topic);
        MQTTAsync_message message = MQTTAsync_message_initializer;
        message.payload = const_cast<char *>(payload.data());
        message.payloadlen = static_cast<int>(payload.size());
        message.qos = entry.qos;
        message.retained = entry.retained;
        MQTTAsync_responseOptions options = MQTTAsync_responseOptions_initializer;
        const int rc = MQTTAsync_sendMessage(client, topics[static_cast<int>(topic)].c_str(),
                                             &message, &options);
        if (token)
            *token = options.token;
        return rc == MQTTASYNC_SUCCESS;
    }

    // Caller holds retainedMutex.
    void sendStatus(State now, MQTTAsync_token *token = nullptr) {
        send(Topic::Status,
             statusJson(now, stream::Clock::now(), target.port, target.program, dropped.load()),
             token);
    }

    void sendRetained() {
        std::lock_guard<std::mutex> lock(retainedMutex);
        if (state)
            sendStatus(*state);
        if (!infoPayload.empty())
            send(Topic::Info, infoPayload);
    }

    void scheduleRetry() {
        std::lock_guard<std::mutex> lock(retryMutex);
        retryAt = Steady::now() + interval;
        interval = std::min(interval * 2, LAST_RETRY);
        retryWake.notify_all();
    }

    int connectNow() {
        MQTTAsync_connectOptions options = MQTTAsync_connectOptions_initializer;
        MQTTAsync_willOptions willOptions = MQTTAsync_willOptions_initializer;
        willOptions.topicName = topics[static_cast<int>(Topic::Status)].c_str();
        willOptions.message = will.c_str();
        willOptions.qos = topicEntry(Topic::Status).qos;
        willOptions.retained = topicEntry(Topic::Status).retained;
        MQTTAsync_SSLOptions ssl = MQTTAsync_SSLOptions_initializer;
        ssl.trustStore = target.caFile.empty() ? nullptr : target.caFile.c_str();
        ssl.enableServerCertAuth = 1;
        ssl.verify = 1;
        options.MQTTVersion = MQTTVERSION_3_1_1;
        options.keepAliveInterval = KEEP_ALIVE_S;
        options.connectTimeout = CONNECT_TIMEOUT_S;
        options.cleansession = 1;
        options.automaticReconnect = 0;
        options.will = &willOptions;
        options.username = user.empty() ? nullptr : user.c_str();
        options.password = target.password.empty() ? nullptr : target.password.c_str();
        options.ssl = target.url.tls ? &ssl : nullptr;
        options.onSuccess = &Impl::connectSucceeded;
        options.onFailure = &Impl::connectFailed;
        options.context = this;
        return MQTTAsync_connect(client, &options);
    }

    void retryLoop() {
        std::unique_lock<std::mutex> lock(retryMutex);
        while (!stopping) {
            if (!retryAt) {
                retryWake.wait(lock);
            } else if (Steady::now() < *retryAt) {
                retryWake.wait_until(lock, *retryAt);
            } else {
                retryAt.reset();
                lock.unlock();
                const bool asked = connectNow() == MQTTASYNC_SUCCESS;
                if (!asked)
                    scheduleRetry();
                lock.lock();
            }
        }
    }

    void setConnected(bool now) {
        connected = now;
        if (connectionChanged)
            connectionChanged(now);
    }

    // --- Paho's callbacks, on Paho's thread ---------------------------------

    static void connectSucceeded(void *context, MQTTAsync_successData *) {
        auto *self = static_cast<Impl *>(context);
        {
            std::lock_guard<std::mutex> lock(self->retryMutex);
            self->interval = FIRST_RETRY;
        }
        self->connected = true;
        self->sendRetained();
        self->setConnected(true);
    }

    static void connectFailed(void *context, MQTTAsync_failureData *response) {
        auto *self = static_cast<Impl *>(context);
        const char *reason = response ? refusalText(response->code) : nullptr;
        if (!reason) {
            self->scheduleRetry();
            return;
        }
        {
            std::lock_guard<std::mutex> lock(self->retainedMutex);
            self->refusal = reason;
        }
        self->refused = true;
        if (self->refusedCallback)
            self->refusedCallback(reason);
    }

    static void connectionLost(void *context, char *) {
        auto *self = static_cast<Impl *>(context);
        self->setConnected(false);
        self->scheduleRetry();
    }

    static int messageArrived(void *, char *topic, int, MQTTAsync_message *message) {
        MQTTAsync_freeMessage(&message);
        MQTTAsync_free(topic);
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

Publisher::Publisher(Target target) : impl_(std::make_unique<Impl>(std::move(target))) {}

Publisher::~Publisher() {
    stop();
}

void Publisher::onConnectionChanged(std::function<void(bool)> callback) {
    impl_->connectionChanged = std::move(callback);
}

void Publisher::onRefused(std::function<void(const std::string &)> callback) {
    impl_->refusedCallback = std::move(callback);
}

std::string Publisher::start() {
    Impl &d = *impl_;
    if (d.client)
        return "";
    MQTTAsync_createOptions create = MQTTAsync_createOptions_initializer;
    create.struct_version = 2;
    create.sendWhileDisconnected = 1;
    create.allowDisconnectedSendAtAnyTime = 1;
    create.maxBufferedMessages = BUFFERED_MESSAGES;
    create.deleteOldestMessages = 1;
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
    d.stopping = false; // a stopped publisher may start again
    d.disconnected = false;
    d.interval = FIRST_RETRY;
    d.retryAt = Steady::now();
    d.retryThread = std::thread([&d] { d.retryLoop(); });
    return "";
}

void Publisher::status(State state) {
    Impl &d = *impl_;
    std::lock_guard<std::mutex> lock(d.retainedMutex);
    d.state = state;
    if (d.client && d.connected)
        d.sendStatus(state);
}

void Publisher::info(const SensorInfo &info) {
    Impl &d = *impl_;
    std::lock_guard<std::mutex> lock(d.retainedMutex);
    d.infoPayload = infoJson(info, stream::Clock::now());
    if (d.client && d.connected)
        d.send(Topic::Info, d.infoPayload);
}

void Publisher::frame(const stream::Frame &frame) {
    Impl &d = *impl_;
    const long long seq = ++d.seq;
    if ((seq - 1) % d.target.frameEvery != 0)
        return;
    if (!d.client || !d.connected || !d.send(Topic::Frame, frameJson(seq, frame)))
        ++d.dropped;
}

void Publisher::video(const stream::VideoPass &pass) {
    Impl &d = *impl_;
    if (!d.target.video)
        return;
    if (!d.client || !d.connected || !d.send(Topic::Video, videoJson(pass)))
        ++d.dropped;
}

void Publisher::event(const limits::LimitEvent &event) {
    Impl &d = *impl_;
    if (d.client)
        d.send(Topic::Event, eventJson(event));
}

void Publisher::stop() {
    Impl &d = *impl_;
    if (!d.client)
        return;
    {
        std::lock_guard<std::mutex> lock(d.retryMutex);
        d.stopping = true;
        d.retryWake.notify_all();
    }
    d.retryThread.join();
    if (d.connected) {
        MQTTAsync_token token = 0;
        {
            std::lock_guard<std::mutex> lock(d.retainedMutex);
            d.state = State::Offline;
            d.sendStatus(State::Offline, &token);
        }
        MQTTAsync_waitForCompletion(d.client, token, OFFLINE_WAIT_MS);
    }
    MQTTAsync_disconnectOptions options = MQTTAsync_disconnectOptions_initializer;
    options.timeout = static_cast<int>(DISCONNECT_WAIT_MS);
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
}

bool Publisher::connected() const {
    return impl_->connected;
}

long long Publisher::dropped() const {
    return impl_->dropped;
}

bool Publisher::refused() const {
    return impl_->refused;
}

std::string Publisher::refusal() const {
    std::lock_guard<std::mutex> lock(impl_->retainedMutex);
    return impl_->refusal;
}

std::string Publisher::state() const {
    if (refused())
        return "broker: refused, " + refusal();
    return connectionText(connected(), dropped());
}

} // namespace broker

// The publisher over Eclipse Paho C's asynchronous client, which runs the
// network on its own thread. A keeper thread of the publisher's own makes
// the first connect and every reconnect (Paho's automatic reconnect only
// starts after a first success), says why a connect failed, and sends the
// summary each second. Delivery is the publisher's own: events stay in its
// queue until the broker acknowledges them, because Paho's buffer forgets
// what was in flight when a hung broker's connection is finally given up.
// Paho's callbacks run on its thread: they touch only atomics and what the
// mutex guards here.
#include "broker/publisher.h"

#include <MQTTAsync.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

#include "broker/connect_problem.h"
#include "broker/delivery.h"
#include "broker/frame_summary.h"

namespace broker {

namespace {

using Steady = std::chrono::steady_clock;

constexpr std::chrono::seconds FIRST_RETRY{1}, LAST_RETRY{10};
constexpr std::chrono::seconds SUMMARY_EVERY{1};
constexpr std::size_t EVENTS_KEPT = 1000; // events waiting for the broker's acknowledgement
// Paho pings a broker it has heard nothing from for this long and gives the
// connection up when the ping goes unanswered as long again: a hung broker
// is gone within about two and a half times this.
constexpr int KEEP_ALIVE_S = 2, CONNECT_TIMEOUT_S = 5;
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

// Sixteen hex digits, new for each publisher: two programs publishing
// under one name tell their messages apart by it.
std::string newInstance() {
    std::random_device seed;
    std::mt19937_64 random((static_cast<std::uint64_t>(seed()) << 32) ^ seed() ^
                           static_cast<std::uint64_t>(Steady::now().time_since_epoch().count()));
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(random()));
    return text;
}

} // namespace

std::string connectionText(bool connected, long long dropped) {
    if (connected)
        return "broker: connected";
    return "broker: reconnecting, " + std::to_string(dropped) + " frames dropped";
}

struct Publisher::Impl {
    Target target;
    std::string topics[6];
    std::string serverUri, clientId, user, instance, will;
    MQTTAsync client = nullptr;

    std::atomic<bool> connected{false}, refused{false}, takenOver{false};
    std::atomic<long long> dropped{0}, eventsDropped{0}, eventsUndelivered{0};

    std::function<void(bool)> connectionChanged;
    std::function<void(const std::string &)> refusedCallback, newsCallback;

    // What the program's thread and the keeper share; held around calls
    // into Paho, so Paho's callbacks never take it (Paho calls some of them
    // with its own lock held).
    mutable std::mutex mutex;
    long long seq = 0;
    std::optional<State> state;
    std::string infoPayload;
    std::string refusal;
    EventQueue events{EVENTS_KEPT};
    long long eventCount = 0;
    bool queueFullSaid = false;
    FrameLedger ledger;
    FrameSummary summary;
    int connections = 0;           // made since start()
    bool lookingForOthers = false; // the first status of a connection is not yet seen
    std::string lastProblem;

    // What Paho's callbacks tell the keeper, in the order they happened.
    struct Happening {
        enum class Kind { Connected, Failed, Refused, Lost, Acknowledged, StatusSeen };
        explicit Happening(Kind k, int t = 0, std::string said = {}, bool kept = false)
            : kind(k), token(t), text(std::move(said)), retained(kept) {}
        Kind kind;
        int token;        // Acknowledged
        std::string text; // Failed: Paho's message; Refused: the reason; StatusSeen: the payload
        bool retained;    // StatusSeen
    };
    std::mutex inboxMutex;
    std::deque<Happening> inbox;
    std::atomic<long long> lastHeardMs{0}; // Steady, of the last acknowledgement

    // The keeper thread.
    std::mutex keeperMutex;
    std::condition_variable keeperWake;
    std::optional<Steady::time_point> retryAt;
    Steady::time_point summaryAt;
    std::chrono::seconds interval = FIRST_RETRY;
    bool stopping = false;
    std::thread keeper;
    std::unique_ptr<ConnectTrace> trace; // the keeper's only

    // One news at a time, each once.
    std::mutex newsMutex;
    std::string lastNews;

    // stop()'s wait for the disconnect.
    std::mutex doneMutex;
    std::condition_variable doneWake;
    bool disconnected = false;

    explicit Impl(Target t) : target(std::move(t)) {
        for (int i = 0; i < 6; ++i)
            topics[i] = topicName(target.name, static_cast<Topic>(i));
        serverUri = (target.url.tls ? "ssl://" : "tcp://") +
                    (target.url.host.find(':') != std::string::npos ? "[" + target.url.host + "]"
                                                                    : target.url.host) +
                    ":" + std::to_string(target.url.port);
        clientId = "vexa-tb-" + target.name;
        user = target.user.empty() ? target.url.user : target.user;
        instance = newInstance();
        will = lastWillJson(instance);
        target.frameEvery = std::max(1, target.frameEvery);
    }

    static long long steadyMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   Steady::now().time_since_epoch())
            .count();
    }

    // The message's token, 0 when Paho did not take it. QoS 1 messages
    // report the broker's acknowledgement to acknowledged(). Caller holds
    // the mutex.
    int send(Topic topic, const std::string &payload) {
        const TopicEntry &entry = topicEntry(topic);
        MQTTAsync_message message = MQTTAsync_message_initializer;
        message.payload = const_cast<char *>(payload.data());
        message.payloadlen = static_cast<int>(payload.size());
        message.qos = entry.qos;
        message.retained = entry.retained;
        MQTTAsync_responseOptions options = MQTTAsync_responseOptions_initializer;
        if (entry.qos > 0) {
            options.onSuccess = &Impl::acknowledged;
            options.context = this;
        }
        const int rc = MQTTAsync_sendMessage(client, topics[static_cast<int>(topic)].c_str(),
                                             &message, &options);
        return rc == MQTTASYNC_SUCCESS ? std::max(options.token, 1) : 0;
    }

    // Caller holds the mutex.
    StatusDetails details() const {
        return {target.port, target.program, instance, dropped.load(), eventsDropped.load(),
                lastProblem};
    }
    int sendStatus(State now) {
        return send(Topic::Status, statusJson(now, stream::Clock::now(), details()));
    }
    void sendEvents() {
        events.sendWaiting(
            [this](const std::string &payload) { return send(Topic::Event, payload); });
    }

    void tell(const std::string &news) {
        std::lock_guard<std::mutex> lock(newsMutex);
        if (news == lastNews)
            return;
        lastNews = news;
        if (news != "broker connected") {
            std::lock_guard<std::mutex> held(mutex);
            lastProblem = news;
        }
        if (newsCallback)
            newsCallback(news);
    }

    // --- the keeper's work --------------------------------------------------

    // Caller holds keeperMutex.
    void scheduleRetry() {
        if (takenOver)
            interval = LAST_RETRY;
        retryAt = Steady::now() + interval;
        interval = std::min(interval * 2, LAST_RETRY);
    }

    void connectNow() {
        trace = std::make_unique<ConnectTrace>();
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
        if (const int rc = MQTTAsync_connect(client, &options); rc != MQTTASYNC_SUCCESS) {
            trace.reset();
            tell(std::string("broker unreachable: ") + MQTTAsync_strerror(rc));
            std::lock_guard<std::mutex> lock(keeperMutex);
            scheduleRetry();
        }
    }

    void sendSummary() {
        std::lock_guard<std::mutex> lock(mutex);
        if (!connected)
            return;
        const Summary s = summary.take(state.value_or(State::Online), stream::Clock::now());
        if (const int token = send(Topic::Summary, summaryJson(s)))
            ledger.summarySent(token);
    }

    // The connection is made: this connection's subscription first (its
    // retained status is the one before this connection's own), then what
    // the broker must hold and what waits.
    void madeConnection() {
        {
            std::lock_guard<std::mutex> lock(keeperMutex);
            interval = FIRST_RETRY;
            summaryAt = Steady::now() + SUMMARY_EVERY;
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            ++connections;
            takenOver = false;
            lookingForOthers = true;
            lastHeardMs = steadyMs();
            MQTTAsync_responseOptions options = MQTTAsync_responseOptions_initializer;
            MQTTAsync_subscribe(client, topics[static_cast<int>(Topic::Status)].c_str(), 0,
                                &options);
            if (state)
                sendStatus(*state);
            if (!infoPayload.empty())
                send(Topic::Info, infoPayload);
            sendEvents();
            connected = true;
        }
        tell("broker connected");
        if (connectionChanged)
            connectionChanged(true);
    }

    void lostConnection() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            events.connectionLost();
            dropped += ledger.connectionLost();
        }
        const bool silent = steadyMs() - lastHeardMs >= KEEP_ALIVE_S * 1000;
        tell(std::string("connection lost: ") + (silent ? "the broker stopped answering"
                                                        : "the broker closed the connection"));
        if (connectionChanged)
            connectionChanged(false);
        std::lock_guard<std::mutex> lock(keeperMutex);
        scheduleRetry();
    }

    // A retained status of another run under this name, seen at a
    // connection: after one of ours was lost, that run took the name over;
    // at the first, it holds the name unless it has left it "offline".
    void statusSeen(const std::string &payload, bool retained) {
        std::string news;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!lookingForOthers)
                return;
            lookingForOthers = false;
            const QJsonObject other =
                QJsonDocument::fromJson(QByteArray::fromStdString(payload)).object();
            const std::string them = other.value("instance").toString().toStdString();
            if (!retained || them.empty() || them == instance)
                return;
            if (connections > 1)
                news = "taken over by another client with the name " + target.name;
            else if (other.value("state").toString() != stateText(State::Offline))
                news = "took over the name " + target.name + " from another client";
            else
                return;
            takenOver = true;
        }
        tell(news);
        // The retained status says it at once, not only at the next connection.
        std::lock_guard<std::mutex> lock(mutex);
        if (connected && state)
            sendStatus(*state);
    }

    void handle(const Happening &h) {
        using Kind = Happening::Kind;
        switch (h.kind) {
        case Kind::Connected:
            trace.reset();
            madeConnection();
            break;
        case Kind::Failed: {
            const std::vector<std::string> traced = trace ? trace->lines() : std::vector<std::string>{};
            trace.reset();
            tell("broker unreachable: " + connectProblem(target.url, h.text, traced));
            std::lock_guard<std::mutex> lock(keeperMutex);
            scheduleRetry();
            break;
        }
        case Kind::Refused:
            trace.reset();
            {
                std::lock_guard<std::mutex> lock(mutex);
                refusal = h.text;
            }
            refused = true;
            if (refusedCallback)
                refusedCallback(h.text);
            break;
        case Kind::Lost:
            lostConnection();
            break;
        case Kind::Acknowledged: {
            std::lock_guard<std::mutex> lock(mutex);
            events.acknowledged(h.token);
            ledger.summaryAcknowledged(h.token);
            if (events.waiting() == 0)
                queueFullSaid = false;
            break;
        }
        case Kind::StatusSeen:
            statusSeen(h.text, h.retained);
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
            const Steady::time_point now = Steady::now();
            if (!happened.empty()) {
                lock.unlock();
                for (const Happening &h : happened)
                    handle(h);
                lock.lock();
            } else if (retryAt && now >= *retryAt) {
                retryAt.reset();
                lock.unlock();
                connectNow();
                lock.lock();
            } else if (connected && now >= summaryAt) {
                summaryAt = std::max(summaryAt + SUMMARY_EVERY, now);
                lock.unlock();
                sendSummary();
                lock.lock();
            } else {
                std::optional<Steady::time_point> until = retryAt;
                if (connected && (!until || summaryAt < *until))
                    until = summaryAt;
                const auto woken = [this] {
                    std::lock_guard<std::mutex> held(inboxMutex);
                    return stopping || !inbox.empty();
                };
                if (until)
                    keeperWake.wait_until(lock, *until, woken);
                else
                    keeperWake.wait(lock, woken);
            }
        }
    }

    // --- Paho's callbacks, on Paho's threads: they only tell the keeper -----

    void post(Happening h) {
        {
            std::lock_guard<std::mutex> lock(inboxMutex);
            inbox.push_back(std::move(h));
        }
        std::lock_guard<std::mutex> lock(keeperMutex);
        keeperWake.notify_all();
    }

    static void connectSucceeded(void *context, MQTTAsync_successData *) {
        static_cast<Impl *>(context)->post(Happening(Happening::Kind::Connected));
    }

    static void connectFailed(void *context, MQTTAsync_failureData *response) {
        auto *self = static_cast<Impl *>(context);
        if (const char *reason = response ? refusalText(response->code) : nullptr)
            self->post(Happening(Happening::Kind::Refused, 0, reason));
        else
            self->post(Happening(Happening::Kind::Failed, 0,
                                 response && response->message ? response->message : ""));
    }

    static void connectionLost(void *context, char *cause) {
        auto *self = static_cast<Impl *>(context);
        self->connected = false; // frames from now on count as dropped at once
        if (cause)
            MQTTAsync_free(cause);
        self->post(Happening(Happening::Kind::Lost));
    }

    static void acknowledged(void *context, MQTTAsync_successData *response) {
        auto *self = static_cast<Impl *>(context);
        self->lastHeardMs = steadyMs();
        if (response)
            self->post(Happening(Happening::Kind::Acknowledged, response->token));
    }

    static int messageArrived(void *context, char *topic, int, MQTTAsync_message *message) {
        auto *self = static_cast<Impl *>(context);
        if (self->topics[static_cast<int>(Topic::Status)] == topic)
            self->post(Happening(Happening::Kind::StatusSeen, 0,
                                 std::string(static_cast<const char *>(message->payload),
                                             static_cast<std::size_t>(message->payloadlen)),
                                 message->retained != 0));
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

void Publisher::onNews(std::function<void(const std::string &)> callback) {
    impl_->newsCallback = std::move(callback);
}

std::string Publisher::start() {
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
    d.stopping = false; // a stopped publisher may start again, afresh
    d.disconnected = false;
    d.connections = 0;
    {
        std::lock_guard<std::mutex> lock(d.newsMutex);
        d.lastNews.clear();
    }
    d.interval = FIRST_RETRY;
    d.retryAt = Steady::now();
    d.keeper = std::thread([&d] { d.keep(); });
    return "";
}

void Publisher::status(State state) {
    Impl &d = *impl_;
    std::lock_guard<std::mutex> lock(d.mutex);
    d.state = state;
    if (d.client && d.connected)
        d.sendStatus(state);
}

void Publisher::info(const SensorInfo &info) {
    Impl &d = *impl_;
    std::lock_guard<std::mutex> lock(d.mutex);
    d.infoPayload = infoJson(info, stream::Clock::now());
    if (d.client && d.connected)
        d.send(Topic::Info, d.infoPayload);
}

void Publisher::frame(const stream::Frame &frame) {
    Impl &d = *impl_;
    std::lock_guard<std::mutex> lock(d.mutex);
    const long long seq = ++d.seq;
    d.summary.add(seq, frame);
    if ((seq - 1) % d.target.frameEvery != 0)
        return;
    if (d.client && d.connected && d.send(Topic::Frame, frameJson(seq, frame)))
        d.ledger.handedOver();
    else
        ++d.dropped;
}

void Publisher::video(const stream::VideoPass &pass) {
    Impl &d = *impl_;
    if (!d.target.video)
        return;
    std::lock_guard<std::mutex> lock(d.mutex);
    if (d.client && d.connected && d.send(Topic::Video, videoJson(pass)))
        d.ledger.handedOver();
    else
        ++d.dropped;
}

void Publisher::event(const limits::LimitEvent &event) {
    Impl &d = *impl_;
    bool sayFull = false;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        const std::string id = d.instance + "-" + std::to_string(++d.eventCount);
        if (!d.events.add(eventJson(event, id)) && !d.queueFullSaid)
            sayFull = d.queueFullSaid = true;
        d.eventsDropped = d.events.dropped();
        if (d.client && d.connected)
            d.sendEvents();
    }
    if (sayFull)
        d.tell("the event queue is full (" + std::to_string(EVENTS_KEPT) +
               " waiting): the oldest events are dropped");
}

void Publisher::stop() {
    Impl &d = *impl_;
    if (!d.client)
        return;
    {
        std::lock_guard<std::mutex> lock(d.keeperMutex);
        d.stopping = true;
        d.keeperWake.notify_all();
    }
    d.keeper.join();
    // Waiting for the offline status also waits for the events before it:
    // the broker acknowledges in order.
    MQTTAsync_token token = 0;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        d.state = State::Offline;
        if (d.connected)
            token = d.sendStatus(State::Offline);
    }
    const bool offlineTaken =
        token && MQTTAsync_waitForCompletion(d.client, token, OFFLINE_WAIT_MS) == MQTTASYNC_SUCCESS;
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
    d.trace.reset();
    // The acknowledgements that came while stopping.
    std::deque<Impl::Happening> happened;
    {
        std::lock_guard<std::mutex> lock(d.inboxMutex);
        happened.swap(d.inbox);
    }
    std::lock_guard<std::mutex> lock(d.mutex);
    for (const Impl::Happening &h : happened) {
        if (h.kind == Impl::Happening::Kind::Acknowledged) {
            d.events.acknowledged(h.token);
            d.ledger.summaryAcknowledged(h.token);
        }
    }
    d.eventsUndelivered = static_cast<long long>(d.events.waiting());
    // The acknowledged offline status vouches for every frame before it;
    // without it, the frames no summary vouched for did not reach the broker
    // as far as anyone knows.
    const long long unvouched = d.ledger.connectionLost();
    if (!offlineTaken)
        d.dropped += unvouched;
}

bool Publisher::connected() const {
    return impl_->connected;
}

long long Publisher::dropped() const {
    return impl_->dropped;
}

long long Publisher::eventsDropped() const {
    return impl_->eventsDropped;
}

long long Publisher::eventsUndelivered() const {
    return impl_->eventsUndelivered;
}

std::string Publisher::lastProblem() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->lastProblem;
}

bool Publisher::refused() const {
    return impl_->refused;
}

std::string Publisher::refusal() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->refusal;
}

std::string Publisher::state() const {
    if (refused())
        return "broker: refused, " + refusal();
    return connectionText(connected(), dropped());
}

} // namespace broker

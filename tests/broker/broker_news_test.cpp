// What a publisher says of its broker, once each change: why it cannot
// connect (as a person can act on it), and that another client took its
// name over. Against real mosquittos: plain, TLS, hung.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "broker/publisher.h"
#include "tests/support/mosquitto_broker.h"

using namespace broker;

namespace {

// What a publisher said. The texts live as long as the publisher's callback,
// which its keeper may still run while a test ends.
class News {
  public:
    explicit News(Publisher &publisher) : heard_(std::make_shared<Heard>()) {
        publisher.onNews([heard = heard_](const std::string &text) {
            std::lock_guard<std::mutex> lock(heard->mutex);
            heard->said.push_back(text);
        });
    }
    std::vector<std::string> said() const {
        std::lock_guard<std::mutex> lock(heard_->mutex);
        return heard_->said;
    }
    bool heard(const std::string &text, int ms) const {
        return waitUntil(
            [&] {
                const std::vector<std::string> all = said();
                return std::find(all.begin(), all.end(), text) != all.end();
            },
            ms);
    }

  private:
    struct Heard {
        std::mutex mutex;
        std::vector<std::string> said;
    };
    std::shared_ptr<Heard> heard_;
};

Target targetAt(const std::string &url, const std::string &caFile = "") {
    Target t;
    std::string problem;
    EXPECT_TRUE(parseUrl(url, t.url, problem)) << url << ": " << problem;
    t.name = "news";
    t.caFile = caFile;
    return t;
}

int closedPort() {
    MosquittoBroker unused; // a free port that nothing listens on
    return unused.port();
}

// Leaves `payload` retained on `topic`, as another client's status stays.
bool retain(const std::string &uri, const std::string &topic, const std::string &payload) {
    MQTTClient client;
    MQTTClient_create(&client, uri.c_str(), "vexa-test-retainer", MQTTCLIENT_PERSISTENCE_NONE,
                      nullptr);
    MQTTClient_connectOptions options = MQTTClient_connectOptions_initializer;
    MQTTClient_deliveryToken token = 0;
    const bool done = MQTTClient_connect(client, &options) == MQTTCLIENT_SUCCESS &&
                      MQTTClient_publish(client, topic.c_str(), static_cast<int>(payload.size()),
                                         payload.data(), 1, 1, &token) == MQTTCLIENT_SUCCESS &&
                      MQTTClient_waitForCompletion(client, token, 2000) == MQTTCLIENT_SUCCESS;
    MQTTClient_disconnect(client, 100);
    MQTTClient_destroy(&client);
    return done;
}

} // namespace

TEST(BrokerNews, AFailedConnectSaysWhyOnceAndASuccessSaysConnected) {
    MosquittoBroker tls, plain, hung;
    const std::string dir = tls.folder();
    // The named broker's certificate names a host, not 127.0.0.1: a client
    // that checks the name against the address it dialled refuses it.
    ASSERT_TRUE(makeTestCertificates(dir));
    tls.configure("cafile " + dir + "/ca.pem\ncertfile " + dir + "/server.pem\nkeyfile " + dir +
                  "/server.key\n");
    MosquittoBroker named;
    named.configure("cafile " + dir + "/ca.pem\ncertfile " + dir + "/named.pem\nkeyfile " + dir +
                    "/named.key\n");
    for (MosquittoBroker *b : {&tls, &plain, &hung, &named})
        ASSERT_TRUE(b->start());
    hung.pause();

    const std::string at = "mqtt://127.0.0.1:", tlsAt = "mqtts://127.0.0.1:";
    const struct {
        std::string url, caFile, first;
    } cases[] = {
        {at + std::to_string(closedPort()), "", "broker unreachable: connection refused"},
        {tlsAt + std::to_string(tls.port()), "", "broker unreachable: TLS: unknown CA"},
        {tlsAt + std::to_string(named.port()), dir + "/ca.pem",
         "broker unreachable: TLS: the broker's certificate is not made out to 127.0.0.1"},
        {at + std::to_string(tls.port()), "",
         "broker unreachable: the broker closed the connection at once (a TLS port? then "
         "mqtts://)"},
        {tlsAt + std::to_string(plain.port()), "",
         "broker unreachable: TLS: no TLS answer on port " + std::to_string(plain.port()) +
             " (a plain MQTT port? then mqtt://)"},
        {at + std::to_string(hung.port()), "", "broker unreachable: no answer to the MQTT connect"},
        {tlsAt + std::to_string(tls.port()), dir + "/ca.pem", "broker connected"},
        {at + std::to_string(plain.port()), "", "broker connected"},
    };
    for (const auto &c : cases) {
        Publisher publisher(targetAt(c.url, c.caFile));
        News news(publisher);
        ASSERT_EQ(publisher.start(), "");
        EXPECT_TRUE(waitUntil([&] { return !news.said().empty(); }, 8000)) << c.url;
        EXPECT_EQ(news.said(), std::vector<std::string>{c.first}) << c.url;
        if (c.first != "broker connected") {
            // The retries meet the same fault: said once.
            std::this_thread::sleep_for(std::chrono::milliseconds(1300));
            EXPECT_EQ(news.said().size(), 1u) << c.url;
            EXPECT_EQ(publisher.lastProblem(), c.first);
        }
    }
    hung.resume();
}

TEST(BrokerNews, TwoClientsUnderOneNameBothSayItAndFightSlowly) {
    MosquittoBroker broker;
    ASSERT_TRUE(broker.start());
    Subscriber status(broker.uri(), "vexa-tb/twin/status");
    ASSERT_TRUE(status.connect());
    Target t = targetAt(broker.url());
    t.name = "twin";
    Publisher first(t), second(t);
    News firstNews(first), secondNews(second);
    first.status(State::Online);
    second.status(State::Online);
    ASSERT_EQ(first.start(), "");
    ASSERT_TRUE(waitUntil([&] { return first.connected(); }));
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(second.start(), "");
    const std::string takenOver = "taken over by another client with the name twin";
    EXPECT_TRUE(firstNews.heard(takenOver, 5000)) << testing::PrintToString(firstNews.said());
    EXPECT_TRUE(secondNews.heard(takenOver, 5000)) << testing::PrintToString(secondNews.said());
    // They take the name from each other about every ten seconds, not
    // every second.
    std::this_thread::sleep_until(begin + std::chrono::seconds(12));
    long long connects = 0;
    for (const News *news : {&firstNews, &secondNews})
        for (const std::string &text : news->said())
            connects += text == "broker connected";
    EXPECT_LE(connects, 6) << testing::PrintToString(firstNews.said())
                           << testing::PrintToString(secondNews.said());
    // The retained status says it too, the next time it goes out.
    Received got;
    bool told = false;
    while (!told && status.next(got, 3000))
        told = got.payload.find("\"broker\":\"" + takenOver + "\"") != std::string::npos;
    EXPECT_TRUE(told) << got.payload;
}

// At its first connection a publisher finds the status another run left:
// one that is not "offline" means that run still held the name.
TEST(BrokerNews, AFirstConnectionSaysItTookTheNameOverFromAClientNotOffline) {
    MosquittoBroker broker;
    ASSERT_TRUE(broker.start());
    const std::string tookOver = "took over the name held from another client";
    const struct {
        const char *otherState;
        bool said;
    } cases[] = {{"online", true}, {"port lost", true}, {"offline", false}};
    for (const auto &c : cases) {
        ASSERT_TRUE(retain(broker.uri(), "vexa-tb/held/status",
                           std::string(R"({"instance":"0123456789abcdef","state":")") +
                               c.otherState + "\"}"));
        Target t = targetAt(broker.url());
        t.name = "held";
        Publisher publisher(t);
        News news(publisher);
        publisher.status(State::Online);
        ASSERT_EQ(publisher.start(), "");
        ASSERT_TRUE(news.heard("broker connected", 3000)) << c.otherState;
        EXPECT_EQ(news.heard(tookOver, c.said ? 3000 : 1000), c.said)
            << c.otherState << ": " << testing::PrintToString(news.said());
    }
}

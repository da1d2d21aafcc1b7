// A real MQTT broker for the tests: /usr/sbin/mosquitto on a free loopback
// port with its configuration in a temporary folder, stopped and started
// again on the same port (its retained messages and sessions kept on disk),
// and a subscriber on Paho's synchronous client that reads what arrives.
#pragma once

#include <MQTTClient.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

constexpr const char *MOSQUITTO = "/usr/sbin/mosquitto";

// Polls `done` every 10 ms until it holds or `ms` have passed.
template <typename Done> bool waitUntil(Done done, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class MosquittoBroker {
  public:
    // With `user`, a password file holds that one user and password and
    // other clients are refused; without, anyone may connect.
    explicit MosquittoBroker(const std::string &user = "", const std::string &password = "") {
        char folder[] = "/tmp/vexa-broker-XXXXXX";
        dir_ = mkdtemp(folder) ? folder : "";
        port_ = freePort();
        std::ofstream conf(dir_ + "/mosquitto.conf");
        conf << "listener " << port_ << " 127.0.0.1\n"
             << "persistence true\npersistence_location " << dir_ << "/\n"
             << "log_dest file " << dir_ << "/mosquitto.log\n";
        if (geteuid() == 0)
            conf << "user root\n";
        if (user.empty()) {
            conf << "allow_anonymous true\n";
        } else {
            conf << "allow_anonymous false\npassword_file " << dir_ << "/passwords\n";
            const std::string make = "mosquitto_passwd -b -c " + dir_ + "/passwords " + user + " " +
                                     password + " >/dev/null 2>&1";
            passwordsMade_ = std::system(make.c_str()) == 0;
        }
    }
    ~MosquittoBroker() {
        stop();
        std::system(("rm -rf " + dir_).c_str());
    }
    MosquittoBroker(const MosquittoBroker &) = delete;
    MosquittoBroker &operator=(const MosquittoBroker &) = delete;

    // Starts the broker and waits until it accepts connections.
    bool start() {
        if (dir_.empty() || !passwordsMade_)
            return false;
        pid_ = fork();
        if (pid_ == 0) {
            execl(MOSQUITTO, MOSQUITTO, "-c", (dir_ + "/mosquitto.conf").c_str(),
                  static_cast<char *>(nullptr));
            _exit(127);
        }
        return pid_ > 0 && waitUntil([this] { return accepts(); });
    }
    // Ends the broker as a service stop does (it saves its state first).
    void stop() {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        kill(pid_, SIGCONT); // a paused one, too
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    // A hung broker: its connections stay open, nothing answers.
    void pause() { ::kill(pid_, SIGSTOP); }
    void resume() { ::kill(pid_, SIGCONT); }
    // A crash: no state saved, every connection cut.
    void crash() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    // The broker's own folder, for files its configuration names.
    const std::string &folder() const { return dir_; }
    // Appends lines to the configuration, before start(): options given
    // after the listener line are the listener's own (e.g. its TLS files).
    void configure(const std::string &lines) {
        std::ofstream(dir_ + "/mosquitto.conf", std::ios::app) << lines;
    }

    int port() const { return port_; }
    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(port_); }
    std::string uri() const { return "tcp://127.0.0.1:" + std::to_string(port_); }

  private:
    static int freePort() {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(s, reinterpret_cast<sockaddr *>(&address), size);
        getsockname(s, reinterpret_cast<sockaddr *>(&address), &size);
        close(s);
        return ntohs(address.sin_port);
    }
    bool accepts() const {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port_));
        const bool ok = connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        close(s);
        return ok;
    }

    std::string dir_;
    int port_ = 0;
    pid_t pid_ = -1;
    bool passwordsMade_ = true;
};

// Certificates for TLS tests in `dir`: a certificate authority (ca.pem,
// ca.key), another one that vouches for nothing here (other.pem), a broker's
// certificate for 127.0.0.1 (server.pem, server.key) and one for the name
// vexa-broker.example only (named.pem, named.key), all signed by ca.pem.
inline bool makeTestCertificates(const std::string &dir) {
    const std::string make =
        "cd " + dir +
        " && openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2"
        " -subj /CN=vexa-test-ca"
        " && openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other.pem -days 2"
        " -subj /CN=vexa-other-ca"
        " && printf 'subjectAltName=IP:127.0.0.1\\n' > server.ext"
        " && printf 'subjectAltName=DNS:vexa-broker.example\\n' > named.ext"
        " && for cert in server named; do"
        "   openssl req -newkey rsa:2048 -nodes -keyout $cert.key -out $cert.csr -subj /CN=$cert"
        "   && openssl x509 -req -in $cert.csr -CA ca.pem -CAkey ca.key -CAcreateserial"
        "      -out $cert.pem -days 2 -extfile $cert.ext || exit 1;"
        " done";
    return std::system(("(" + make + ") >/dev/null 2>&1").c_str()) == 0;
}

struct Received {
    std::string topic, payload;
    bool retained = false;
};

// Subscribes to `filter` at QoS 1. With `keepSession` the broker keeps the
// subscription and its QoS 1 messages while the subscriber is away (also
// across a broker restart), until connect() takes them.
class Subscriber {
  public:
    Subscriber(const std::string &uri, std::string filter, bool keepSession = false)
        : filter_(std::move(filter)), keepSession_(keepSession) {
        static int count = 0;
        const std::string id =
            "vexa-test-sub-" + std::to_string(getpid()) + "-" + std::to_string(++count);
        MQTTClient_create(&client_, uri.c_str(), id.c_str(), MQTTCLIENT_PERSISTENCE_NONE, nullptr);
    }
    ~Subscriber() {
        MQTTClient_disconnect(client_, 100);
        MQTTClient_destroy(&client_);
    }
    Subscriber(const Subscriber &) = delete;
    Subscriber &operator=(const Subscriber &) = delete;

    bool connect() {
        MQTTClient_connectOptions options = MQTTClient_connectOptions_initializer;
        options.cleansession = keepSession_ ? 0 : 1;
        return MQTTClient_connect(client_, &options) == MQTTCLIENT_SUCCESS &&
               MQTTClient_subscribe(client_, filter_.c_str(), 1) == MQTTCLIENT_SUCCESS;
    }

    bool connected() { return MQTTClient_isConnected(client_) != 0; }

    // The next message within `ms`; false when none came.
    bool next(Received &out, int ms = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            char *topic = nullptr;
            int length = 0;
            MQTTClient_message *message = nullptr;
            if (MQTTClient_receive(client_, &topic, &length, &message, 100) != MQTTCLIENT_SUCCESS)
                return false;
            if (!message)
                continue;
            out.topic = topic;
            out.payload.assign(static_cast<const char *>(message->payload),
                               static_cast<std::size_t>(message->payloadlen));
            out.retained = message->retained != 0;
            MQTTClient_freeMessage(&message);
            MQTTClient_free(topic);
            return true;
        }
        return false;
    }

    // The next message on `topic`, skipping others.
    bool nextOn(const std::string &topic, Received &out, int ms = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end)
            if (next(out, 100) && out.topic == topic)
                return true;
        return false;
    }

  private:
    MQTTClient client_ = nullptr;
    std::string filter_;
    bool keepSession_;
};

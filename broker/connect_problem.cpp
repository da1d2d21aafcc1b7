// The library's trace is one for the process, so the captures share one
// list of lines, numbered from the first capture on; a line is kept only
// when it can tell a reason, and the list has a bound.
#include "broker/connect_problem.h"

#include <MQTTAsync.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

namespace broker {

namespace {

constexpr std::size_t TRACE_LINES_KEPT = 64;
constexpr std::array<const char *, 5> TELLING{"SSL alert", "X509_check_host",
                                              "SSL certificate verification", "SSL connect:",
                                              "SSL state connect:"};

struct Traced {
    std::mutex mutex;
    int captures = 0;
    std::size_t dropped = 0; // lines before lines.front()
    std::vector<std::string> lines;
};

Traced &traced() {
    static Traced t;
    return t;
}

void keepLine(enum MQTTASYNC_TRACE_LEVELS, char *message) {
    if (!message)
        return;
    const std::string line(message);
    if (std::none_of(TELLING.begin(), TELLING.end(),
                     [&line](const char *key) { return line.find(key) != std::string::npos; }))
        return;
    Traced &t = traced();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (t.captures == 0)
        return;
    if (t.lines.size() >= TRACE_LINES_KEPT) {
        t.lines.erase(t.lines.begin());
        ++t.dropped;
    }
    t.lines.push_back(line);
}

// The text after `key` in the first line that holds it, "" when none does.
std::string after(const std::vector<std::string> &lines, const std::string &key) {
    for (const std::string &line : lines)
        if (const auto at = line.find(key); at != std::string::npos)
            return line.substr(at + key.size());
    return "";
}

bool holds(const std::vector<std::string> &lines, const std::string &key) {
    return std::any_of(lines.begin(), lines.end(),
                       [&key](const std::string &l) { return l.find(key) != std::string::npos; });
}

std::string lowerFirst(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

struct AddressList {
    addrinfo *first = nullptr;
    ~AddressList() {
        if (first)
            freeaddrinfo(first);
    }
};

// "" when a TCP connection to one of the addresses is made within `wait`;
// else why not.
std::string tcpProblem(const addrinfo *addresses, std::chrono::milliseconds wait) {
    std::string problem = "no answer within " + std::to_string((wait.count() + 999) / 1000) + " s";
    for (const addrinfo *a = addresses; a; a = a->ai_next) {
        const int s = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                             a->ai_protocol);
        if (s < 0)
            continue;
        int error = 0;
        if (connect(s, a->ai_addr, a->ai_addrlen) != 0) {
            error = errno;
            if (error == EINPROGRESS) {
                pollfd p{s, POLLOUT, 0};
                if (poll(&p, 1, static_cast<int>(wait.count())) == 1) {
                    socklen_t size = sizeof error;
                    getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &size);
                } else {
                    error = ETIMEDOUT;
                }
            }
        }
        close(s);
        if (error == 0)
            return "";
        if (error != ETIMEDOUT)
            problem = lowerFirst(std::strerror(error));
    }
    return problem;
}

} // namespace

ConnectTrace::ConnectTrace() {
    Traced &t = traced();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (t.captures++ == 0) {
        t.dropped = 0;
        t.lines.clear();
        MQTTAsync_setTraceCallback(&keepLine);
        MQTTAsync_setTraceLevel(MQTTASYNC_TRACE_PROTOCOL);
    }
    first_ = t.dropped + t.lines.size();
}

ConnectTrace::~ConnectTrace() {
    Traced &t = traced();
    std::lock_guard<std::mutex> lock(t.mutex);
    if (--t.captures == 0) {
        MQTTAsync_setTraceLevel(MQTTASYNC_TRACE_FATAL);
        MQTTAsync_setTraceCallback(nullptr);
    }
}

std::vector<std::string> ConnectTrace::lines() const {
    Traced &t = traced();
    std::lock_guard<std::mutex> lock(t.mutex);
    const std::size_t from = first_ > t.dropped ? first_ - t.dropped : 0;
    return {t.lines.begin() + static_cast<std::ptrdiff_t>(std::min(from, t.lines.size())),
            t.lines.end()};
}

std::string connectProblem(const Url &url, const std::string &libraryMessage,
                           const std::vector<std::string> &traced,
                           std::chrono::milliseconds tcpWait) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    AddressList addresses;
    const std::string port = std::to_string(url.port);
    if (const int rc = getaddrinfo(url.host.c_str(), port.c_str(), &hints, &addresses.first))
        return "cannot find the host " + url.host + ": " + gai_strerror(rc);
    if (std::string problem = tcpProblem(addresses.first, tcpWait); !problem.empty())
        return problem;

    // The TCP connection is made: what failed came after it.
    if (url.tls) {
        if (std::string alert = after(traced, "SSL alert write:fatal:"); !alert.empty())
            return "TLS: " + alert;
        if (holds(traced, "X509_check_host"))
            return "TLS: the broker's certificate is not made out to " + url.host;
        if (std::string verified = after(traced, "SSL certificate verification: ");
            !verified.empty() && verified != "X509_V_OK")
            return "TLS: " + verified;
        if (holds(traced, "write client hello") && !holds(traced, "read server hello"))
            return "TLS: no TLS answer on port " + port + " (a plain MQTT port? then mqtt://)";
        return "TLS: the handshake failed";
    }
    if (libraryMessage.find("timeout") != std::string::npos)
        return "no answer to the MQTT connect";
    if (libraryMessage.find("completion failure") != std::string::npos)
        return "the broker closed the connection at once (a TLS port? then mqtts://)";
    return libraryMessage.empty() ? "the connect failed" : lowerFirst(libraryMessage);
}

} // namespace broker

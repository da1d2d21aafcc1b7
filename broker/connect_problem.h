// Why a connection to the broker failed, in a person's words. The client
// library says little ("TCP/TLS connect failure"), so the publisher looks
// for itself: it resolves the host, tries a plain TCP connection, and reads
// the lines the library traced about TLS while it connected.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "broker/target.h"

namespace broker {

// The library's trace lines of interest while at least one capture is open.
// Opening one turns the library's tracing up; closing the last turns it
// off again, so that nothing is traced per message while connected.
class ConnectTrace {
  public:
    ConnectTrace();
    ~ConnectTrace();
    ConnectTrace(const ConnectTrace &) = delete;
    ConnectTrace &operator=(const ConnectTrace &) = delete;

    // What was traced since this capture opened.
    std::vector<std::string> lines() const;

  private:
    std::size_t first_;
};

// "connection refused", "cannot find the host broker.plant: Name or service
// not known", "TLS: unknown CA", ...: the likeliest reason, from what the
// network says now, the traced lines and the library's own message.
std::string connectProblem(const Url &url, const std::string &libraryMessage,
                           const std::vector<std::string> &traced,
                           std::chrono::milliseconds tcpWait = std::chrono::seconds(1));

} // namespace broker

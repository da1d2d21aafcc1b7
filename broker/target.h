// Where a sensor's messages go: the broker's address, the sensor's name in
// the topic tree, the credentials and what the publisher sends. The checks
// here run before anything connects, so that a bad command line or a bad
// entry in the window's dialog is refused with a text that names the fault.
#pragma once

#include <string>

namespace broker {

struct Url {
    bool tls = false; // mqtts://
    std::string host;
    int port = 0; // 1883 for mqtt://, 8883 for mqtts:// when none is given
    std::string user;
};

// mqtt://[user@]host[:port] or mqtts://[user@]host[:port]. False with the
// reason in `problem` for another scheme, no host, a bad port, a path or a
// password in the address (passwords come from a file only).
bool parseUrl(const std::string &text, Url &out, std::string &problem);

// The longest sensor's name: a tile's name, a topic level and the client id
// "vexa-tb-<name>" stay short enough for every broker.
constexpr std::size_t NAME_MAX_LENGTH = 100;

// "" when `name` may stand in a topic (letters, digits, '-', '_', '.', at
// most NAME_MAX_LENGTH of them); otherwise the reason, naming the first
// character that may not.
std::string checkName(const std::string &name);

// "<hostname>-<port's short name>", e.g. "line3pc-ttyUSB0": the short name is
// the device's last path component; characters checkName refuses become '_'.
std::string defaultName(const std::string &portDevice);

// The first line of the file, without its line end. False with the reason
// when the file cannot be read, is not a plain file, its first line is
// empty or holds a NUL, or, unless `allowOpen`, group or others have any
// access to it (as ssh refuses an open key).
bool readPasswordFile(const std::string &path, std::string &password, std::string &problem,
                      bool allowOpen = false);

struct Target {
    Url url;
    std::string name;     // the sensor's topic level: vexa-tb/<name>/...
    std::string user;     // overrides url.user when not empty
    std::string password; // from readPasswordFile; empty: none
    std::string caFile;   // mqtts: the CA certificates; empty: the system's
    std::string program;  // e.g. "vexa-tb-ctl 1.41"
    std::string port;     // the sensor's port device, e.g. "/dev/ttyUSB0"
    int frameEvery = 1;   // every Nth decoded frame goes out (1: each)
    bool video = false;   // whether Data-loop passes go out
};

// "" when the parts fit together; else why not: a CA file for a broker
// without TLS, a NUL in the user or password (which the library would cut
// short there).
std::string checkTarget(const Target &target);

} // namespace broker

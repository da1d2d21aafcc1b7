// The checks of a broker target. The address goes through QUrl, so that
// user names with escapes and IPv6 hosts read as any MQTT tool reads them;
// what QUrl would accept but a broker address cannot hold is refused here.
#include "broker/target.h"

#include <sys/stat.h>

#include <QSysInfo>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace broker {

namespace {

bool allowedInName(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

std::string shown(char c) {
    if (c == ' ')
        return "a space";
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
        return "byte " + std::to_string(static_cast<unsigned char>(c));
    return std::string("\"") + c + "\"";
}

constexpr std::size_t PASSWORD_LINE_MAX = 4096;

} // namespace

bool parseUrl(const std::string &text, Url &out, std::string &problem) {
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    const QString scheme = url.scheme();
    const std::string quoted = " (" + text + ")";
    if (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts")) {
        problem = "the broker's address must begin with mqtt:// or mqtts://" + quoted;
        return false;
    }
    if (!url.isValid()) {
        problem = "the broker's address is not valid: " + url.errorString().toStdString();
        return false;
    }
    const auto at = text.find('@');
    if (at != std::string::npos && text.find(':', text.find("//") + 2) < at) {
        problem = "the broker's address holds a password; give it in a password file";
        return false;
    }
    if (url.host().isEmpty()) {
        problem = "the broker's address names no host" + quoted;
        return false;
    }
    if (url.port() == 0 || text.back() == ':') {
        problem = "the broker's address has a bad port" + quoted;
        return false;
    }
    if (!url.path().isEmpty() || url.hasQuery() || url.hasFragment()) {
        problem = "the broker's address has more than user, host and port" + quoted;
        return false;
    }
    out.tls = scheme == QLatin1String("mqtts");
    out.host = url.host().toStdString();
    out.port = url.port(out.tls ? 8883 : 1883);
    out.user = url.userName().toStdString();
    if (out.user.find('\0') != std::string::npos) {
        problem = "the broker's address holds a NUL character in the user" + quoted;
        return false;
    }
    return true;
}

std::string checkName(const std::string &name) {
    if (name.empty())
        return "the sensor's name is empty";
    if (name.size() > NAME_MAX_LENGTH)
        return "the sensor's name is longer than " + std::to_string(NAME_MAX_LENGTH) +
               " characters (" + std::to_string(name.size()) + ")";
    for (const char c : name)
        if (!allowedInName(c))
            return "the sensor's name may hold letters, digits, \"-\", \"_\" and \".\" only, not " +
                   shown(c) + " (" + name + ")";
    return "";
}

std::string defaultName(const std::string &portDevice) {
    std::string name = QSysInfo::machineHostName().toStdString();
    const std::string shortName = portDevice.substr(portDevice.find_last_of('/') + 1);
    if (!shortName.empty())
        name += (name.empty() ? "" : "-") + shortName;
    for (char &c : name)
        if (!allowedInName(c))
            c = '_';
    return name;
}

bool readPasswordFile(const std::string &path, std::string &password, std::string &problem,
                      bool allowOpen) {
    const std::string where = "the password file " + path;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        problem = "cannot read " + where + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        problem = "cannot read " + where + ": not a plain file";
        return false;
    }
    if ((info.st_mode & 077) != 0 && !allowOpen) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        problem = where + " is open to others (mode " + mode +
                  "): chmod 600 it, or allow it with --allow-open-password-file";
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        problem = "cannot read " + where + ": " + std::strerror(errno);
        return false;
    }
    std::string line;
    char c;
    while (line.size() <= PASSWORD_LINE_MAX && file.get(c) && c != '\n')
        line.push_back(c);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.find('\0') != std::string::npos) {
        problem = where + " holds a NUL character in its first line";
        return false;
    }
    if (line.empty() || line.size() > PASSWORD_LINE_MAX) {
        problem =
            where + (line.empty() ? " has an empty first line" : " has a too long first line");
        return false;
    }
    password = line;
    return true;
}

std::string checkTarget(const Target &target) {
    if (!target.caFile.empty() && !target.url.tls)
        return "a CA file vouches for an mqtts:// broker only; this one is mqtt://";
    if (target.user.find('\0') != std::string::npos)
        return "the user holds a NUL character";
    if (target.password.find('\0') != std::string::npos)
        return "the password holds a NUL character";
    return "";
}

} // namespace broker

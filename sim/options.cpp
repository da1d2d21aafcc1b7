#include "sim/options.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace sim {

namespace {

bool toNumber(const std::string &text, unsigned long long max, unsigned long long &value) {
    if (text.empty() || text.size() > 20 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0 && value <= max;
}

std::vector<std::string> splitList(const std::string &text) {
    std::vector<std::string> items;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ','))
        items.push_back(item);
    if (!text.empty() && text.back() == ',')
        items.push_back("");
    return items;
}

bool toOrder(const std::string &text, std::uint16_t &code) {
    unsigned long long v = 0;
    if (!toNumber(text, 11, v) || v == 0)
        return false;
    code = static_cast<std::uint16_t>(v);
    return true;
}

// "5,10" -> {5, 10}
bool orderList(const std::string &text, std::set<std::uint16_t> &out) {
    for (const std::string &item : splitList(text)) {
        std::uint16_t code = 0;
        if (!toOrder(item, code))
            return false;
        out.insert(code);
    }
    return true;
}

// "8:10,9:100" -> {8: 10, 9: 100}
template <typename T>
bool orderValueList(const std::string &text, unsigned long long max,
                    std::map<std::uint16_t, T> &out) {
    for (const std::string &item : splitList(text)) {
        const auto colon = item.find(':');
        std::uint16_t code = 0;
        unsigned long long v = 0;
        if (colon == std::string::npos || !toOrder(item.substr(0, colon), code) ||
            !toNumber(item.substr(colon + 1), max, v))
            return false;
        out[code] = static_cast<T>(v);
    }
    return true;
}

} // namespace

std::string parseOptions(const std::vector<std::string> &args, Options &out) {
    Faults &faults = out.sensor.faults;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= args.size())
                return false;
            value = args[++i];
            return true;
        };
        const std::string bad = "bad value for " + name + ": ";

        if (name == "--help" || name == "-h") {
            out.help = true;
        } else if (name == "--version" || name == "-V") {
            out.version = true;
        } else if (name == "--once") {
            out.once = true;
        } else if (name == "--verbose" || name == "-v") {
            out.verbose = true;
        } else if (name == "--stats") {
            out.stats = true;
        } else if (name == "--link" || name == "--eeprom" || name == "--replay") {
            if (!takeValue() || value.empty())
                return name + " needs a path";
            (name == "--link" ? out.link : name == "--eeprom" ? out.eeprom : out.replay) = value;
        } else if (name == "--ccd-type") {
            unsigned long long v = 0;
            if (!takeValue() || !toNumber(value, 3, v) || v == 0)
                return bad + value + " (1, 2 or 3)";
            out.sensor.ccdType = static_cast<std::uint16_t>(v);
        } else if (name == "--resolution") {
            unsigned long long v = 0;
            if (!takeValue() || !toNumber(value, 65535, v))
                return bad + value;
            out.sensor.resolution = static_cast<std::uint16_t>(v);
        } else if (name == "--seed") {
            unsigned long long v = 0;
            if (!takeValue() || !toNumber(value, ~0ULL, v))
                return bad + value;
            out.sensor.seed = v;
        } else if (name == "--baud") {
            unsigned long long v = 0;
            if (!takeValue() || !toNumber(value, 10'000'000, v) || (v != 0 && v < 10))
                return bad + value + " (0, or 10 and above)";
            out.baud = static_cast<unsigned>(v);
        } else if (name == "--chunk") {
            unsigned long long v = 0;
            if (!takeValue() || !toNumber(value, 4096, v) || v == 0)
                return bad + value + " (1 to 4096 bytes)";
            out.chunk = static_cast<unsigned>(v);
        } else if (name == "--adapter-latency" || name == "--adapter-packet") {
            const bool latency = name == "--adapter-latency";
            unsigned long long v = 0;
            if (!takeValue() || !toNumber(value, latency ? 255 : 4096, v) || v == 0)
                return bad + value + (latency ? " (1 to 255 ms)" : " (1 to 4096 bytes)");
            (latency ? out.adapterLatencyMs : out.adapterPacket) = static_cast<unsigned>(v);
        } else if (name == "--no-reply" || name == "--bad-header" || name == "--bad-echo" ||
                   name == "--garbage") {
            std::set<std::uint16_t> &set = name == "--no-reply"     ? faults.noReply
                                           : name == "--bad-header" ? faults.badHeader
                                           : name == "--bad-echo"   ? faults.badEcho
                                                                    : faults.garbage;
            if (!takeValue() || !orderList(value, set))
                return bad + value + " (order codes 1 to 11, separated by commas)";
        } else if (name == "--delay-ms") {
            unsigned long long v = 0;
            if (!takeValue())
                return bad + "(missing)";
            if (value.find(':') == std::string::npos) {
                if (!toNumber(value, 600'000, v))
                    return bad + value;
                faults.delayMs = static_cast<unsigned>(v);
            } else if (!orderValueList(value, 600'000, faults.delayMsByOrder)) {
                return bad + value + " (N or ORDER:N,...)";
            }
        } else if (name == "--cut" || name == "--extra") {
            auto &map = name == "--cut" ? faults.cut : faults.extra;
            if (!takeValue() || !orderValueList(value, 65536, map))
                return bad + value + " (ORDER:N,...)";
        } else if (name == "--hangup-after") {
            unsigned long long v = 0;
            if (!takeValue() || !toNumber(value, 4'000'000'000ULL, v) || v == 0)
                return bad + value + " (1 or more frames)";
            faults.hangupAfterFrames = static_cast<unsigned>(v);
        } else {
            return "unknown option: " + args[i];
        }
        if (hasValue &&
            (name == "--help" || name == "-h" || name == "--version" || name == "-V" ||
             name == "--once" || name == "--verbose" || name == "-v" || name == "--stats"))
            return name + " takes no value";
    }
    return {};
}

std::string usageText() {
    return R"(usage: vexa-sim [options]

Simulated V-EXA-TB edge sensor on a pseudo-terminal. The first line on stdout is the path
of the serial port to open; the sensor then answers orders 1 to 11 until it is killed
(SIGTERM, SIGINT) or, with --once, until the program closes the port again.

  --link PATH          also make PATH a symlink to the port where nothing or an old
                       symlink is; removed at exit while it is still that link
  --once               end when the other side closes the port
  --eeprom FILE        keep the EEPROM in FILE (16 lines of numbers): read at start,
                       written on every EEPROM write (order 3)
  --replay FILE        answer order 8 with the frames recorded in FILE (the program's
                       File > Record frames), in order and again from the start, and
                       order 9 with the video passes of FILE's -video.csv beside it
  --ccd-type 1|2|3     1 and 2: 1024 pixels, 3: 512 pixels (default 1)
  --resolution N       resolution reported with the CCD info (default 250;
                       750 with type 2 is the optical variant)
  --seed N             seed of the noise on the CCD line (default 1)
  --baud N             line speed to emulate, N/10 bytes per second both ways
                       (default 19200; 0 answers at once). A request counts 36 byte
                       times after its first byte came; the reply's first byte leaves
                       then, byte k of it k byte times later
  --chunk N            hand reply bytes over in groups of N, each group when its last
                       byte leaves (default 1; 8 is a 16550 UART's receive FIFO);
                       the reply's last byte comes at the same time whatever N is
  --adapter-latency MS act as a USB serial adapter with a latency timer of MS ms (1 to
                       255; FTDI's default is 16): reply bytes are held until a packet
                       is full or MS ms have passed since the last byte came
  --adapter-packet N   the adapter's packet: N data bytes (default 62, an FTDI chip's)
  -v, --verbose        log each order on stderr
  --stats              at exit, print on stderr how long the program took from a reply's
                       last byte to its next request, by the request's order code and
                       by the order the reply answered (count, median, p99, in ms);
                       to time each request as its bytes come, it watches the line
                       without sleeping for 0.5 ms after each reply
  -h, --help           this text
  -V, --version        print the version and end

Faults (ORDERS is a comma list of order codes, e.g. 5,10):
  --no-reply ORDERS    do not answer these orders
  --bad-header ORDERS  36-byte replies begin 00 55 instead of 00 AA
  --bad-echo ORDERS    36-byte replies echo the order code + 1
  --delay-ms N         every reply N ms late; or ORDER:N[,ORDER:N] per order
  --cut ORDER:N        cut the reply to N bytes (comma list allowed)
  --extra ORDER:N      append N bytes 0xEE to the reply (comma list allowed)
  --garbage ORDERS     random bytes instead of the reply
  --hangup-after N     close the line and exit after the N-th measurement frame
)";
}

} // namespace sim

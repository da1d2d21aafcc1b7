// vexa-tb-historian: without a command, the service that keeps what the
// plant's sensors publish; `query COMMAND ...`, the questions to what it
// kept. One QCommandLineParser for both (its --help is the man page's
// source); each option belongs to the service, the queries or both, and one
// given to the other side is refused. The service's threads (Paho's, the
// subscriber's keeper, the writer) start with SIGINT and SIGTERM blocked;
// the main thread waits for either with sigtimedwait.
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <sstream>

#include "broker/target.h"
#include "historian/open_store.h"
#include "historian/query.h"
#include "historian/spool.h"
#include "historian/subscriber.h"
#include "historian/time_spec.h"
#include "historian/writer.h"

namespace {

using namespace historian;

const char *const DEFAULT_BROKER = "mqtt://localhost";
const char *const DEFAULT_DB = "/var/lib/vexa-tb-historian/plant.db";
const char *const DEFAULT_SPOOL = "/var/lib/vexa-tb-historian/spool";
constexpr std::size_t QUEUE_LIMIT = 100000; // messages between the subscription and the writer

// One line at a time on stderr, the service's journal: several threads say things.
void say(const std::string &text) {
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

QString q(const char *text) {
    return QString::fromUtf8(text);
}

struct Options {
    enum Side { Service, Query, Both };
    struct Entry {
        QCommandLineOption option;
        Side side;
    };
    QCommandLineOption help{{"h", "help"}, q("Displays help on commandline options.")};
    QCommandLineOption version{{"V", "version"}, q("Displays version information.")};
    std::vector<Entry> entries{
        {{"broker",
          q("service: the plant's MQTT broker, mqtt://[user@]host[:port] or mqtts://... "
            "(TLS); default mqtt://localhost"),
          "URL"},
         Service},
        {{"client-id",
          q("service: the client id, under which the broker keeps the session while "
            "the historian is away; default vexa-tb-historian-<hostname>"),
          "ID"},
         Service},
        {{"password-file",
          q("service: the password of the URL's user, the first line of FILE; "
            "ignored without a user"),
          "FILE"},
         Service},
        {{"allow-open-password-file",
          q("service: take a password file that group or others may read (refused by default)")},
         Service},
        {{"cafile", q("service: the certificates that vouch for an mqtts:// broker"), "FILE"},
         Service},
        {{"db",
          q("the store: an SQLite file (its folder must exist) or postgresql://... ; "
            "default /var/lib/vexa-tb-historian/plant.db"),
          "DB"},
         Both},
        {{"spool",
          q("service: the file that holds batches while the store is away; default "
            "/var/lib/vexa-tb-historian/spool"),
          "FILE"},
         Service},
        {{"spool-max", q("service: the spool's largest size in MB (default 512)"), "MB"}, Service},
        {{"keep-raw", q("service: keep the raw frames DAYS days (default 7)"), "DAYS"}, Service},
        {{"keep-minutes",
          q("service: keep the minute roll-ups DAYS days (default 400); hour "
            "roll-ups, events, statuses and parameters are kept for ever"),
          "DAYS"},
         Service},
        {{"from", q("query: the span's start, T"), "T"}, Query},
        {{"to", q("query: the span's end, T (default now)"), "T"}, Query},
        {{"every", q("query trend: the step, 1s, 10s, 1m, 10m, 1h or 1d"), "STEP"}, Query},
        {{"kind", q("query events: only events of KIND (repeatable)"), "KIND"}, Query},
        {{"at", q("query parameters: the time, T (default now)"), "T"}, Query},
        {{"shifts",
          q("query report: the shifts' start times, HH:MM,... (default "
            "06:00,14:00,22:00)"),
          "LIST"},
         Query},
        {{"pdf", q("query report: also write the report as a PDF to FILE"), "FILE"}, Query},
        {{"table", q("query: an aligned table for people instead of CSV")}, Query},
    };

    const QCommandLineOption &operator[](const char *name) const {
        for (const Entry &e : entries)
            if (e.option.names().front() == q(name))
                return e.option;
        throw std::logic_error(name);
    }
};

std::string text(const QString &s) {
    return s.toLocal8Bit().toStdString();
}

// Each line cut at word boundaries to `width` columns, its continuation
// indented as the line is, as Qt writes the options above.
std::string wrapped(const std::string &text, std::size_t width = 79) {
    std::string out, line;
    std::istringstream lines(text);
    while (std::getline(lines, line)) {
        const std::size_t indent = line.find_first_not_of(' ');
        if (indent == std::string::npos) {
            out += "\n";
            continue;
        }
        const std::string pad(indent, ' ');
        std::istringstream words(line.substr(indent));
        std::string word, current = pad;
        while (words >> word) {
            if (current.size() > indent && current.size() + 1 + word.size() > width) {
                out += current + "\n";
                current = pad;
            }
            current += (current.size() > indent ? " " : "") + word;
        }
        out += current + "\n";
    }
    return out;
}

std::string helpFooter() {
    return "\n" + queryHelp() +
           "\nThe service subscribes to vexa-tb/+/status, info, frame and event at QoS 1 in a "
           "session the broker keeps, and stores every frame, event, status change and distinct "
           "info, with the measured value rolled up per minute and per hour. While the store is "
           "away it spools batches to --spool and writes them back in order when it answers. "
           "SIGINT or SIGTERM: everything received is committed (or spooled), then a summary "
           "line.\n"
           "\nExit codes: 0 success (the service: ended by SIGINT or SIGTERM); 1 the broker "
           "refused the credentials, or the store cannot be opened at all; 2 a bad command line "
           "or file (an unknown sensor, a time that is none, --from after --to), before anything "
           "is written.\n";
}

int usageError(const std::string &problem) {
    say(problem);
    say("see vexa-tb-historian --help");
    return ExitUsage;
}

// A whole number from `least` to `most`, or the default when not given.
bool numberOption(const QCommandLineParser &parser, const QCommandLineOption &option, long least,
                  long most, long &value) {
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    value = parser.value(option).toLong(&ok);
    return ok && value >= least && value <= most;
}

// The broker's address and credentials; ExitSuccess or why not.
int brokerTarget(const QCommandLineParser &parser, const Options &o, broker::Target &target) {
    const std::string url =
        parser.isSet(o["broker"]) ? text(parser.value(o["broker"])) : DEFAULT_BROKER;
    std::string problem;
    if (!broker::parseUrl(url, target.url, problem))
        return usageError("--broker " + url + ": " + problem);
    const std::string passwordFile = text(parser.value(o["password-file"]));
    if (!target.url.user.empty() && !passwordFile.empty() &&
        !broker::readPasswordFile(passwordFile, target.password, problem,
                                  parser.isSet(o["allow-open-password-file"])))
        return usageError("--password-file " + passwordFile + ": " + problem);
    target.caFile = text(parser.value(o["cafile"]));
    if (!target.caFile.empty() && !QFileInfo::exists(QString::fromLocal8Bit(target.caFile.c_str())))
        return usageError("--cafile " + target.caFile + ": No such file");
    if (const std::string bad = broker::checkTarget(target); !bad.empty())
        return usageError("--broker " + url + ": " + bad);
    return ExitSuccess;
}

int runService(const QCommandLineParser &parser, const Options &o) {
    // Blocked before any thread starts (Paho's included), so that only the
    // sigtimedwait below takes them, also one that comes while the store opens.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    broker::Target target;
    if (const int code = brokerTarget(parser, o, target))
        return code;
    long spoolMb = 512, keepRaw = 7, keepMinutes = 400;
    struct Range {
        const char *name;
        long most;
        long &value;
    };
    for (const Range &r : {Range{"spool-max", 1048576, spoolMb}, Range{"keep-raw", 36500, keepRaw},
                           Range{"keep-minutes", 36500, keepMinutes}})
        if (!numberOption(parser, o[r.name], 1, r.most, r.value))
            return usageError(std::string("--") + r.name + " takes a number from 1 to " +
                              std::to_string(r.most));
    const std::string clientId =
        parser.isSet(o["client-id"]) ? text(parser.value(o["client-id"])) : defaultClientId();
    if (clientId.empty() || clientId.size() > 65535)
        return usageError("--client-id needs an id");
    const std::string db = parser.isSet(o["db"]) ? text(parser.value(o["db"])) : DEFAULT_DB;
    const std::string spoolPath =
        parser.isSet(o["spool"]) ? text(parser.value(o["spool"])) : DEFAULT_SPOOL;

    std::unique_ptr<Store> store;
    try {
        store = openStore(db, StoreUse::Keep);
    } catch (const BadStorePlace &e) {
        return usageError(std::string("--db: ") + e.what());
    } catch (const std::exception &e) {
        say("cannot open the store " + db + ": " + e.what());
        return ExitFailed;
    }
    Spool spool;
    std::string problem;
    if (!spool.open(spoolPath, static_cast<std::uint64_t>(spoolMb) << 20, problem))
        return usageError("--spool: " + problem);

    const std::string url =
        text(parser.isSet(o["broker"]) ? parser.value(o["broker"]) : q(DEFAULT_BROKER));
    say("vexa-tb-historian " VEXA_VERSION ": keeping vexa-tb/+/... from " + url + " as " +
        clientId + " in " + store->describe() + "; spool " + spoolPath + " (at most " +
        grouped(spoolMb) + " MB)");
    MessageQueue queue(QUEUE_LIMIT);
    WriterSettings settings;
    settings.retention.rawDays = static_cast<int>(keepRaw);
    settings.retention.minuteDays = static_cast<int>(keepMinutes);
    Writer writer(*store, spool, queue, settings, say);
    writer.start();
    Subscriber subscriber(target, clientId, queue);
    subscriber.onNews([url](const std::string &news) { say(url + ": " + news); });
    int code = ExitSuccess;
    if (const std::string failed = subscriber.start(); !failed.empty()) {
        say(failed);
        code = ExitFailed;
    }
    while (code == ExitSuccess) {
        const timespec wait{0, 200 * 1000 * 1000};
        const int signal = sigtimedwait(&stops, nullptr, &wait);
        if (signal == SIGINT || signal == SIGTERM)
            break;
        if (subscriber.refused()) {
            say("the broker refused the credentials: " + subscriber.refusal());
            code = ExitFailed;
        }
    }
    subscriber.stop();
    writer.stop();

    const Writer::Figures f = writer.figures();
    std::string summary = "stopped: " + grouped(queue.received()) + " messages received (" +
                          grouped(f.foreign) + " foreign";
    if (queue.dropped() > 0)
        summary += ", " + grouped(queue.dropped()) + " dropped by the full queue";
    summary += "), " + grouped(f.kept.keptRecords) + " records kept, " +
               grouped(f.kept.spooledRecords) + " spooled (" +
               grouped(static_cast<long long>(f.inSpool)) + " still waiting in " + spoolPath +
               "), " + grouped(f.kept.lostRecords) + " lost";
    if (f.kept.lostRecords > 0)
        summary += " (" + grouped(f.kept.lostFrames) + " frames)";
    say(summary);
    return code;
}

int runQueryCommand(const QCommandLineParser &parser, const Options &o, QStringList words) {
    QueryRequest request;
    request.command = words.isEmpty() ? std::string() : text(words.takeFirst());
    for (const QString &word : words)
        request.names.push_back(text(word));
    request.from = text(parser.value(o["from"]));
    request.to = text(parser.value(o["to"]));
    request.every = text(parser.value(o["every"]));
    request.at = text(parser.value(o["at"]));
    request.shifts = text(parser.value(o["shifts"]));
    request.pdf = text(parser.value(o["pdf"]));
    for (const QString &kind : parser.values(o["kind"]))
        request.kinds.push_back(text(kind));
    request.table = parser.isSet(o["table"]);
    for (const Options::Entry &e : o.entries)
        if (parser.isSet(e.option))
            request.options.push_back(text(e.option.names().front()));
    if (const std::string problem = checkQuery(request); !problem.empty())
        return usageError(problem);

    const std::string db = parser.isSet(o["db"]) ? text(parser.value(o["db"])) : DEFAULT_DB;
    try {
        std::unique_ptr<Store> store = openStore(db, StoreUse::Read);
        const int code = runQuery(*store, request, nowMillis(), std::cout, std::cerr);
        std::cout.flush();
        return code;
    } catch (const BadStorePlace &e) {
        return usageError(std::string("--db: ") + e.what());
    } catch (const std::exception &e) {
        say("cannot read the store " + db + ": " + e.what());
        return ExitFailed;
    }
}

int run(QCommandLineParser &parser, const Options &o) {
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(text(parser.errorText()));
    if (parser.isSet(o.help)) {
        std::fputs(parser.helpText().toUtf8().constData(), stdout);
        std::fputs(wrapped(helpFooter()).c_str(), stdout);
        return ExitSuccess;
    }
    if (parser.isSet(o.version)) {
        std::printf("vexa-tb-historian %s\n", VEXA_VERSION);
        return ExitSuccess;
    }
    QStringList words = parser.positionalArguments();
    const bool query = !words.isEmpty() && words.front() == q("query");
    if (!words.isEmpty() && !query)
        return usageError("unknown command '" + text(words.front()) +
                          "'; the only command is query (none: the service)");
    for (const Options::Entry &e : o.entries) {
        const std::string name = text(e.option.names().front());
        if (e.side == Options::Service && query && parser.isSet(e.option))
            return usageError("query does not take --" + name);
        if (e.side == Options::Query && !query && parser.isSet(e.option))
            return usageError("--" + name + " is an option of the query commands");
        if (name != "kind" && parser.values(e.option).size() > 1)
            return usageError("--" + name + " given more than once");
    }
    if (query) {
        words.removeFirst();
        return runQueryCommand(parser, o, words);
    }
    return runService(parser, o);
}

// Qt Gui looks for a runtime folder that a query never uses and warns when
// there is none (under cron or a service): nothing for a reader of the report.
QtMessageHandler qtHandler = nullptr;
void quietAboutTheRuntimeFolder(QtMsgType type, const QMessageLogContext &context,
                                const QString &message) {
    if (message.startsWith(q("QStandardPaths: ")))
        return;
    if (qtHandler)
        qtHandler(type, context, message);
    else
        say(text(message));
}

// A report's PDF is drawn with Qt Gui on the "offscreen" platform; every
// other run needs Qt Core alone.
bool drawsPdf(int argc, char *argv[]) {
    bool query = false, pdf = false;
    for (int i = 1; i < argc; ++i) {
        query = query || std::strcmp(argv[i], "query") == 0;
        pdf = pdf || std::strncmp(argv[i], "--pdf", 5) == 0;
    }
    return query && pdf;
}

} // namespace

int main(int argc, char *argv[]) {
    std::unique_ptr<QCoreApplication> app;
    if (drawsPdf(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qtHandler = qInstallMessageHandler(quietAboutTheRuntimeFolder);
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(q("vexa-tb-historian"));
    QCoreApplication::setApplicationVersion(q(VEXA_VERSION));

    const Options options;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        q("Keeps what the plant's V-EXA-TB sensors publish to an MQTT broker (frames, events, "
          "status changes, parameters) in SQLite or PostgreSQL, and answers queries and shift "
          "reports from it."));
    parser.addOption(options.help);
    parser.addOption(options.version);
    for (const Options::Entry &e : options.entries)
        parser.addOption(e.option);
    parser.addPositionalArgument(q("query"), q("query COMMAND ...: see the query commands below"),
                                 q("[query COMMAND [NAME]]"));
    return run(parser, options);
}

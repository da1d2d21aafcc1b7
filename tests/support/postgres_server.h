// A real PostgreSQL for the tests: Debian's PostgreSQL 15 in a fresh
// temporary folder, listening on a free loopback port only (its socket in
// that folder), without fsync for speed, stopped and started again on the
// same port and data. PostgreSQL refuses to run as root: as root, initdb and
// the server run as `nobody` (no user added to the machine), the identity
// switched in the forked child itself so that the server can also be told to
// quit when the test binary dies (the kernel forgets that request on a switch
// of identity made after it). Folders that a crashed run left are swept.
// One server serves a whole test binary: each test makes its own database.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

class PostgresServer {
  public:
    static constexpr const char *BIN = "/usr/lib/postgresql/15/bin";
    static constexpr const char *SUPERUSER = "vexa";

    // Makes the cluster (initdb); error() says why when it could not.
    PostgresServer() { made_ = makeCluster(); }
    ~PostgresServer() {
        stop();
        if (!dir_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(dir_, ignored);
        }
    }
    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;

    // Starts the server and waits (at most 30 s) until it accepts logins.
    bool start() {
        if (!made_ || pid_ > 0)
            return pid_ > 0;
        pid_ = spawn({std::string(BIN) + "/postgres", "-D", data(), "-p", std::to_string(port_),
                      "-c", "listen_addresses=127.0.0.1", "-c", "unix_socket_directories=" + dir_,
                      "-c", "fsync=off", "-c", "synchronous_commit=off", "-c",
                      "full_page_writes=off", "-c", "max_connections=40"},
                     dir_ + "/server.log");
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        const std::string ping = "host=127.0.0.1 port=" + std::to_string(port_) +
                                 " dbname=postgres connect_timeout=2 user=" + SUPERUSER;
        while (PQping(ping.c_str()) != PQPING_OK) {
            const bool ended = waitpid(pid_, nullptr, WNOHANG) == pid_;
            if (ended || std::chrono::steady_clock::now() > end) {
                error_ = (ended ? "PostgreSQL ended before it accepted logins on port "
                                : "waited 30 s in vain for PostgreSQL to accept logins on port ") +
                         std::to_string(port_) + "\n" + tail(dir_ + "/server.log");
                if (ended)
                    pid_ = -1;
                stop();
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }

    // A fast shutdown, as `pg_ctl stop` does: sessions are cut, open
    // transactions rolled back. Waits at most 30 s, then kills it.
    void stop() {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGINT);
        if (!exited(pid_, 30000, "PostgreSQL to shut down")) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }

    bool running() const { return pid_ > 0; }
    int port() const { return port_; }
    // Why the cluster could not be made or started ("" when it could).
    const std::string &error() const { return error_; }

    // How a client names `database` as the superuser.
    std::string uri(const std::string &database) const {
        return "postgresql://" + std::string(SUPERUSER) + "@127.0.0.1:" + std::to_string(port_) +
               "/" + database;
    }

    // A fresh, empty database: its URI, or "" (and error() says why).
    std::string createDatabase() {
        const std::string name = "test_" + std::to_string(++databases_);
        return execute(uri("postgres"), "CREATE DATABASE " + name) ? uri(name) : "";
    }

    // Runs `sql` on the database `at` names; false (and error() says why)
    // when it fails.
    bool execute(const std::string &at, const std::string &sql) {
        std::vector<std::string> ignored;
        return query(at, sql, ignored);
    }
    // Runs `sql` on the database `at` names, with the first column of its
    // rows in `column`.
    bool query(const std::string &at, const std::string &sql, std::vector<std::string> &column) {
        const char *keywords[] = {"dbname", "connect_timeout", nullptr};
        const char *values[] = {at.c_str(), "5", nullptr};
        std::unique_ptr<PGconn, decltype(&PQfinish)> connection(
            PQconnectdbParams(keywords, values, 1), &PQfinish);
        PQsetNoticeProcessor(
            connection.get(), [](void *, const char *) {}, nullptr);
        std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(connection.get(), sql.c_str()),
                                                             &PQclear);
        const ExecStatusType status = PQresultStatus(result.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            error_ = sql + ": " + PQerrorMessage(connection.get());
            return false;
        }
        column.clear();
        for (int row = 0; row < PQntuples(result.get()); ++row)
            column.push_back(PQgetvalue(result.get(), row, 0));
        return true;
    }

  private:
    std::string data() const { return dir_ + "/data"; }

    bool fail(const std::string &why) {
        error_ = why;
        return false;
    }

    bool makeCluster() {
        sweepLeftovers();
        std::string pattern = "/tmp/vexa-postgres-" + std::to_string(getpid()) + "-XXXXXX";
        if (!mkdtemp(pattern.data()))
            return fail("no temporary folder: " + std::string(std::strerror(errno)));
        dir_ = pattern;
        if (geteuid() == 0) {
            const passwd *nobody = getpwnam("nobody");
            if (!nobody)
                return fail("running as root and there is no user nobody to run PostgreSQL as");
            uid_ = nobody->pw_uid;
            gid_ = nobody->pw_gid;
            if (chown(dir_.c_str(), uid_, gid_) != 0)
                return fail("cannot give " + dir_ + " to nobody");
        }
        port_ = freePort();
        const pid_t initdb =
            spawn({std::string(BIN) + "/initdb", "-D", data(), "-U", SUPERUSER, "--no-locale", "-E",
                   "UTF8", "--no-sync", "--no-instructions", "--auth=trust"},
                  dir_ + "/initdb.log");
        if (!exited(initdb, 60000, "initdb to make the cluster"))
            return fail(error_ + "\n" + tail(dir_ + "/initdb.log"));
        // The superuser logs in without a password; every other role needs
        // its own, so a test can see a login refused.
        std::ofstream(data() + "/pg_hba.conf", std::ios::trunc)
            << "local all all trust\n"
            << "host all " << SUPERUSER << " 127.0.0.1/32 trust\n"
            << "host all all 127.0.0.1/32 scram-sha-256\n";
        return true;
    }

    // Runs `argv` as the server's user with stdout and stderr in `log`,
    // told to quit at once when the test binary dies. (The kernel tells it
    // when the thread that forked it ends: only the main thread lives as
    // long as the binary, so a start from another thread goes without.)
    pid_t spawn(const std::vector<std::string> &argv, const std::string &log) const {
        std::vector<char *> args;
        for (const std::string &arg : argv)
            args.push_back(const_cast<char *>(arg.c_str()));
        args.push_back(nullptr);
        const bool quitWithParent = gettid() == getpid();
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        const bool root = geteuid() == 0;
        const pid_t pid = fork();
        if (pid == 0) {
            if (out >= 0) {
                dup2(out, STDOUT_FILENO);
                dup2(out, STDERR_FILENO);
            }
            if (root && (setgroups(0, nullptr) != 0 || setgid(gid_) != 0 || setuid(uid_) != 0))
                _exit(126);
            if (quitWithParent)
                prctl(PR_SET_PDEATHSIG, SIGQUIT); // PostgreSQL's immediate shutdown
            execv(args[0], args.data());
            _exit(127);
        }
        if (out >= 0)
            close(out);
        return pid;
    }

    // Waits at most `ms` for `pid` to end; false (and error() says what it
    // waited for) when it did not end, or ended with a failure.
    bool exited(pid_t pid, int ms, const std::string &what) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        int status = 0;
        while (pid > 0 && waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                error_ = "waited " + std::to_string(ms / 1000) + " s for " + what + " in vain";
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (pid <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            error_ = what + " failed (status " + std::to_string(status) + ")";
            return false;
        }
        return true;
    }

    static std::string tail(const std::string &file) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        const std::string all = text.str();
        return all.size() > 2000 ? all.substr(all.size() - 2000) : all;
    }

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

    // Removes the folders of earlier runs whose test binary is gone (a crash
    // leaves them; the server itself quit with its parent).
    static void sweepLeftovers() {
        const std::string prefix = "vexa-postgres-";
        std::vector<std::filesystem::path> orphans;
        std::error_code error;
        for (const auto &entry : std::filesystem::directory_iterator("/tmp", error)) {
            const std::string name = entry.path().filename().string();
            const pid_t owner =
                name.rfind(prefix, 0) == 0 ? std::atoi(name.c_str() + prefix.size()) : 0;
            if (owner > 0 && kill(owner, 0) != 0 && errno == ESRCH)
                orphans.push_back(entry.path());
        }
        for (const auto &orphan : orphans)
            std::filesystem::remove_all(orphan, error);
    }

    std::string dir_, error_;
    int port_ = 0;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    pid_t pid_ = -1;
    bool made_ = false; // the cluster is there
    int databases_ = 0;
};

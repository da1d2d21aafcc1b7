// The programs the benchmarks time from outside: each runs in a child
// process, so that its CPU time is its own, with its standard error kept in
// a temporary file, and is ended with SIGTERM as a user or a service would.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

class ChildProcess {
  public:
    ChildProcess(const std::string &program, const std::vector<std::string> &args) {
        int out[2];
        // Another child started later inherits neither.
        if (pipe2(out, O_CLOEXEC) != 0)
            return;
        char name[] = "/tmp/vexa-bench-err-XXXXXX";
        const int err = mkostemp(name, O_CLOEXEC);
        errPath_ = name;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(err, 2);
            close(out[0]);
            std::vector<char *> argv{const_cast<char *>(program.c_str())};
            for (const std::string &a : args)
                argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err);
        out_ = fdopen(out[0], "r");
    }
    ~ChildProcess() {
        stop();
        if (out_)
            fclose(out_);
        unlink(errPath_.c_str());
    }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    pid_t pid() const { return pid_; }
    const std::string &errorPath() const { return errPath_; }

    // The next line it writes on its standard output, without the line end;
    // "" once it has ended.
    std::string readLine() {
        char line[256] = {};
        if (!out_ || !std::fgets(line, sizeof line, out_))
            return "";
        return std::string(line, strcspn(line, "\n"));
    }

    // Ends it with SIGTERM, waits for it and returns the CPU seconds (user
    // and system) it used in its whole life, as wait4 reports them; 0 when
    // it had ended already.
    double stop() {
        if (pid_ <= 0)
            return 0;
        kill(pid_, SIGTERM);
        rusage u{};
        wait4(pid_, nullptr, 0, &u);
        pid_ = -1;
        return u.ru_utime.tv_sec + u.ru_stime.tv_sec +
               (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    }

  private:
    pid_t pid_ = -1;
    FILE *out_ = nullptr;
    std::string errPath_;
};

// vexa-sim: its first line on stdout is the port, and with --stats it says at
// its end how fast the program turned round.
class Simulator : public ChildProcess {
  public:
    Simulator(const std::string &program, const std::vector<std::string> &args)
        : ChildProcess(program, args), port_(readLine()) {}
    const std::string &port() const { return port_; }

    // Ends the simulator; returns the median and p99 turnaround in ms that it
    // printed for `which` ("before order 9", "from order 8 to order 8"), or -1
    // when it printed none.
    std::pair<double, double> stopAndTurnaround(const std::string &which) {
        stop();
        std::ifstream err(errorPath());
        const std::string key = "turnaround " + which + ":";
        std::string line;
        while (std::getline(err, line)) {
            double median = -1, p99 = -1;
            const auto at = line.find(key);
            if (at != std::string::npos &&
                std::sscanf(line.c_str() + at + key.size(), " %*d requests, median %lf ms, p99 %lf",
                            &median, &p99) == 2)
                return {median, p99};
        }
        return {-1, -1};
    }

  private:
    std::string port_;
};

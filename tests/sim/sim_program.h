// vexa-sim run as a child process, the way a user or a test script starts it.
#pragma once

#include "sim_test_support.h"

#include <csignal>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char **environ;

namespace simtest {

// vexa-sim started with `args` (through `launcher`, e.g. prlimit, when given); its stdout and
// stderr come through pipes. Killed (if still running) at the end.
class Program {
  public:
    explicit Program(std::vector<std::string> args, std::vector<std::string> launcher = {}) {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        // Nothing else of the test's (or of ctest's) open files: a child
        // started with few file descriptors must have them all free.
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        args.insert(args.begin(), VEXA_SIM_EXE);
        args.insert(args.begin(), launcher.begin(), launcher.end());
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, args.front().c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
        ::close(err_);
    }

    // The first line on stdout, or "" after the time-out.
    std::string firstLine(std::chrono::milliseconds timeout = 5000ms) {
        return readUntil(out_, '\n', timeout);
    }
    // All of stderr once the program has ended.
    std::string errors() { return readUntil(err_, '\0', 2000ms); }
    std::string output() { return readUntil(out_, '\0', 2000ms); }

    void signal(int sig) { ::kill(pid_, sig); }

    // Exit code, or -1 when it has not ended in time (or ended by a signal).
    int wait(std::chrono::milliseconds timeout = 5000ms) {
        const auto end = Clock::now() + timeout;
        while (Clock::now() < end) {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(5ms);
        }
        return -1;
    }

  private:
    static std::string readUntil(int fd, char stop, std::chrono::milliseconds timeout) {
        std::string text;
        const auto end = Clock::now() + timeout;
        while (Clock::now() < end) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char c;
            if (::read(fd, &c, 1) != 1)
                break;
            if (c == stop && stop != '\0')
                break;
            text += c;
        }
        return text;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
};

} // namespace simtest

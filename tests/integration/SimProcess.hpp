// Drives a zepsim process from a test or a benchmark: starts it with pipes on
// its standard input and output, waits for "ready", sends commands and waits
// for their one-line answers.
//
// One SimProcess is one gateway incarnation. kill() is a crash (SIGKILL);
// stop() is the clean goodbye. The destructor kills and reaps the process and
// joins the reader thread, so nothing of it stays in the calling process.
// Thread-safe: commands are serialised.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "../support/TestSupport.hpp"

extern char** environ;

namespace simtest {

using namespace std::chrono_literals;

class SimProcess {
public:
    // Starts program (zepsim) with args; waits until it has joined the framework.
    SimProcess(const std::string& program, const std::vector<std::string>& args) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        if (pipe2(out, O_CLOEXEC) != 0) {
            close(in[0]);
            close(in[1]);
            throw std::runtime_error("pipe failed");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::vector<std::string> all{program};
        all.insert(all.end(), args.begin(), args.end());
        all = testsupport::launchCommand(all);
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        toChild_ = in[1];
        fromChild_ = out[0];
        if (rc != 0) {
            pid_ = -1;
            closeFds();
            throw std::runtime_error("cannot start " + program);
        }
        reader_ = std::thread([this] { readLines(); });
        const std::string ready = nextLine(60s);
        if (ready.rfind("ready ", 0) != 0) {
            shutDown();
            throw std::runtime_error("zepsim did not start: '" + ready + "'");
        }
    }
    ~SimProcess() { shutDown(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Sends one command line; returns its answer ("" when the process is gone
    // or did not answer within the deadline).
    std::string command(const std::string& line, std::chrono::milliseconds deadline = 120s) {
        std::lock_guard<std::mutex> serial(commandMutex_);
        const std::string text = line + "\n";
        if (toChild_ < 0 || ::write(toChild_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            return "";
        return nextLine(deadline);
    }

    // The next line of output that no command has taken: the answers to a
    // scenario's commands ("" when none came within the deadline).
    std::string readLine(std::chrono::milliseconds deadline = 60s) {
        std::lock_guard<std::mutex> serial(commandMutex_);
        return nextLine(deadline);
    }

    // The "status" answer as key=value pairs.
    std::map<std::string, std::string> status() {
        std::map<std::string, std::string> fields;
        std::istringstream in(command("status"));
        std::string word;
        while (in >> word) {
            const auto eq = word.find('=');
            if (eq != std::string::npos) fields[word.substr(0, eq)] = word.substr(eq + 1);
        }
        return fields;
    }
    uint64_t counter(const std::string& key) {
        const auto s = status();
        const auto it = s.find(key);
        return it == s.end() ? 0 : std::stoull(it->second);
    }

    // Stops (SIGSTOP) or continues (SIGCONT) the process.
    void signal(int number) {
        if (pid_ > 0) ::kill(pid_, number);
    }

    // Crash: SIGKILL, then reap. Idempotent.
    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }
    // Clean goodbye; returns the exit code (-1 when it did not end by itself).
    int stop() {
        if (command("stop") != "ok stop") return -1;
        int status = 0;
        const auto end = std::chrono::steady_clock::now() + 60s;
        while (waitpid(pid_, &status, WNOHANG) != pid_) {
            if (std::chrono::steady_clock::now() > end) return -1;
            std::this_thread::sleep_for(2ms);
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    void readLines() {
        std::string pending;
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::read(fromChild_, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            pending.append(chunk, static_cast<size_t>(n));
            size_t eol;
            while ((eol = pending.find('\n')) != std::string::npos) {
                std::lock_guard<std::mutex> lock(mutex_);
                lines_.push_back(pending.substr(0, eol));
                pending.erase(0, eol + 1);
                changed_.notify_all();
            }
        }
        std::lock_guard<std::mutex> lock(mutex_);
        eof_ = true;
        changed_.notify_all();
    }

    std::string nextLine(std::chrono::milliseconds deadline) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!changed_.wait_for(lock, deadline, [&] { return !lines_.empty() || eof_; }) || lines_.empty()) return "";
        std::string line = lines_.front();
        lines_.pop_front();
        return line;
    }

    void closeFds() {
        if (toChild_ >= 0) close(toChild_);
        if (fromChild_ >= 0) close(fromChild_);
        toChild_ = fromChild_ = -1;
    }

    void shutDown() {
        kill();
        if (reader_.joinable()) reader_.join();  // the child is gone: its output ends
        closeFds();
    }

    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    std::thread reader_;
    std::mutex commandMutex_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> lines_;
    bool eof_ = false;
};

}  // namespace simtest

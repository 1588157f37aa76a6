// Drives a fake_zep process (see fake_zep.cpp for its commands) from a test:
// starts it with pipes on its standard input and output, sends commands and
// waits for their answers, and collects the requests it reports.
//
// One FakeGateway is one gateway incarnation: kill() simulates a crash, and
// the destructor kills and reaps the process and joins the reader thread, so
// nothing of it stays in the test process (threads, descriptors).
// Thread-safe: commands may be sent while another thread reads the requests.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "../support/TestSupport.hpp"

extern char** environ;

namespace faketest {

using namespace std::chrono_literals;

// One request as the gateway received it: the envelope from offset 24 on.
struct Request {
    uint32_t sender = 0;
    std::vector<unsigned char> body;

    uint32_t word(size_t offset) const {
        uint32_t v = 0;
        if (offset + 4 <= body.size()) std::memcpy(&v, body.data() + offset, 4);
        return v;
    }
    uint32_t mark() const { return word(0); }
    uint32_t flag() const { return word(4); }
    uint32_t code() const { return word(12); }
    std::vector<unsigned char> payload() const {
        return body.size() > 16 ? std::vector<unsigned char>(body.begin() + 16, body.end())
                                : std::vector<unsigned char>{};
    }
};

inline std::string toHex(const void* data, size_t n) {
    static const char digits[] = "0123456789abcdef";
    const auto* p = static_cast<const unsigned char*>(data);
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s.push_back(digits[p[i] >> 4]);
        s.push_back(digits[p[i] & 15]);
    }
    return s.empty() ? "-" : s;
}

inline std::vector<unsigned char> fromHex(const std::string& hex) {
    std::vector<unsigned char> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<unsigned char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

class FakeGateway {
public:
    // Starts program (the fake_zep executable) joining as name, and waits
    // until it has joined the framework.
    explicit FakeGateway(const std::string& program, const std::string& name = "zep") {
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
        std::vector<std::string> args = testsupport::launchCommand({program, "--name", name});
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
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
        const std::string ready = nextAnswer(30s);
        if (ready.rfind("ready ", 0) != 0) {
            stop();
            throw std::runtime_error("fake gateway did not start: " + ready);
        }
        handle_ = static_cast<uint32_t>(std::stoul(ready.substr(6)));
    }
    ~FakeGateway() { stop(); }
    FakeGateway(const FakeGateway&) = delete;
    FakeGateway& operator=(const FakeGateway&) = delete;

    // The gateway's framework handle.
    uint32_t handle() const { return handle_; }
    pid_t pid() const { return pid_; }

    // Sends one command line; returns its answer ("" when the process is gone).
    std::string command(const std::string& line, std::chrono::milliseconds deadline = 60s) {
        std::lock_guard<std::mutex> serial(commandMutex_);
        const std::string text = line + "\n";
        if (toChild_ < 0 || ::write(toChild_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            return "";
        return nextAnswer(deadline);
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

    std::vector<Request> requests() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::vector<Request>(requests_.begin(), requests_.end());
    }
    size_t requestCount() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_.size();
    }
    // Waits until at least n requests have arrived.
    bool waitForRequests(size_t n, std::chrono::milliseconds deadline = 20s) const {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, deadline, [&] { return requests_.size() >= n; });
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
                handleLine(pending.substr(0, eol));
                pending.erase(0, eol + 1);
            }
        }
        std::lock_guard<std::mutex> lock(mutex_);
        eof_ = true;
        changed_.notify_all();
    }

    void handleLine(const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (line.rfind("request ", 0) == 0) {
            Request r;
            const size_t space = line.find(' ', 8);
            r.sender = static_cast<uint32_t>(std::stoul(line.substr(8, space - 8)));
            if (space != std::string::npos) r.body = fromHex(line.substr(space + 1));
            requests_.push_back(std::move(r));
        } else {
            answers_.push_back(line);
        }
        changed_.notify_all();
    }

    std::string nextAnswer(std::chrono::milliseconds deadline) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!changed_.wait_for(lock, deadline, [&] { return !answers_.empty() || eof_; })) return "";
        if (answers_.empty()) return "";
        std::string a = answers_.front();
        answers_.pop_front();
        return a;
    }

    void closeFds() {
        if (toChild_ >= 0) close(toChild_);
        if (fromChild_ >= 0) close(fromChild_);
        toChild_ = fromChild_ = -1;
    }

    void stop() {
        kill();
        // The child is gone, so the reader sees the end of its output.
        if (reader_.joinable()) reader_.join();
        closeFds();
    }

    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    uint32_t handle_ = 0;
    std::thread reader_;
    std::mutex commandMutex_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<std::string> answers_;
    std::deque<Request> requests_;
    bool eof_ = false;
};

}  // namespace faketest

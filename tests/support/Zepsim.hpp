// Drives a zepsim process (zepsim --help lists its options and commands) from
// a test or a benchmark: waits for "ready", sends commands and takes their
// one-line answers. One Zepsim is one gateway incarnation: kill() is a crash,
// stop() the clean goodbye; when the object goes, the process is ended as
// testsupport::ChildProcess::stop() ends it. Commands are serialised.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestSupport.hpp"

namespace testsupport {

// Bytes as the zepsim commands "event" and "send" take them, and "received" gives them.
inline std::string toHex(const void* data, size_t size) {
    static const char digits[] = "0123456789abcdef";
    const auto* p = static_cast<const unsigned char*>(data);
    std::string hex;
    for (size_t i = 0; i < size; ++i) hex += {digits[p[i] >> 4], digits[p[i] & 15]};
    return hex;
}
inline std::string toHex(const std::vector<unsigned char>& bytes) { return toHex(bytes.data(), bytes.size()); }

class Zepsim {
public:
    // A message as zepsim received it: its sender and its bytes from the envelope's mark on.
    struct Message {
        uint32_t sender = 0;
        std::vector<unsigned char> body;
    };

    Zepsim(const std::string& program, const std::vector<std::string>& args)
        : process_(withProgram(program, args), {}, Program::Target, Stdio::Piped) {
        std::string ready;
        if (!process_.readLine(ready) || ready.rfind("ready ", 0) != 0)
            throw std::runtime_error("zepsim did not start: '" + ready + "'");
        handle_ = static_cast<uint32_t>(std::stoul(ready.substr(6)));
    }

    // Its framework handle.
    uint32_t handle() const { return handle_; }

    // Sends one command line; its answer ("" when none came within the deadline).
    std::string command(const std::string& line, std::chrono::milliseconds deadline = 120s) {
        std::lock_guard<std::mutex> serial(mutex_);
        std::string answer;
        return process_.writeLine(line) && process_.readLine(answer, deadline) ? answer : "";
    }
    // The next line no command has taken: the answers to a scenario's commands.
    std::string readLine(std::chrono::milliseconds deadline = 60s) {
        std::lock_guard<std::mutex> serial(mutex_);
        std::string line;
        return process_.readLine(line, deadline) ? line : "";
    }

    // The "status" answer as key=value pairs, and one of its counters.
    std::map<std::string, std::string> status() {
        std::map<std::string, std::string> fields;
        std::istringstream in(command("status"));
        for (std::string word; in >> word;)
            if (const size_t eq = word.find('='); eq != std::string::npos) fields[word.substr(0, eq)] = word.substr(eq + 1);
        return fields;
    }
    uint64_t counter(const std::string& key) {
        const auto s = status();
        const auto it = s.find(key);
        return it == s.end() ? 0 : std::stoull(it->second);
    }

    // Message n (1 the first) of those it received; an empty body when it has none such.
    Message received(uint64_t n) {
        std::istringstream in(command("received " + std::to_string(n)));
        std::string ok, word, hex;
        Message m;
        if (in >> ok >> word >> n >> word >> m.sender >> hex && ok == "ok")
            for (size_t i = 0; i + 1 < hex.size(); i += 2)
                m.body.push_back(static_cast<unsigned char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
        return m;
    }
    void signal(int number) { process_.signal(number); }
    void kill() { process_.kill9(); }
    // The clean goodbye ("stop"); its exit code, -1 when it did not end by itself.
    int stop() { return command("stop") == "ok stop" ? process_.wait() : -1; }

private:
    static std::vector<std::string> withProgram(const std::string& program, std::vector<std::string> args) {
        args.insert(args.begin(), program);
        return args;
    }

    ChildProcess process_;
    std::mutex mutex_;
    uint32_t handle_ = 0;
};

}  // namespace testsupport

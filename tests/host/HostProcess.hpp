// Runs the whole stack for end-to-end tests: a private platform sandbox, a
// zepsim gateway, a cimhost with the built provider on a free port, and the
// real wbemcli client.
#pragma once

#include <netinet/in.h>
#include <signal.h>
#include <stdio.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "SimProcess.hpp"
#include "TestSupport.hpp"

namespace hosttest {

using namespace std::chrono_literals;

inline std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

struct Result {
    int status = -1;  // exit status; -1 for a signal
    std::string out;
    std::string err;
};

inline std::ostream& operator<<(std::ostream& o, const Result& r) {
    return o << "exit " << r.status << "\nstdout:\n" << r.out << "stderr:\n" << r.err;
}

// Runs a command line through the shell, capturing both streams.
inline Result runShell(const std::string& command, const std::string& scratch) {
    const std::string errFile = scratch + "/cmd.err";
    Result r;
    FILE* p = popen((command + " 2>" + shellQuote(errFile)).c_str(), "r");
    if (!p) return r;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = readFile(errFile);
    return r;
}

// One HTTP/1.1 connection to a local port, for requests no client would send.
class RawConnection {
public:
    explicit RawConnection(int port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            throw std::runtime_error("cannot connect");
    }
    ~RawConnection() { close(fd_); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    // POSTs body and returns the whole answer, headers included ("" if the
    // connection ends first).
    std::string post(const std::string& body) {
        const std::string request = "POST /cimom HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/xml\r\n"
                                    "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        size_t sent = 0;
        while (sent < request.size()) {
            const ssize_t n = send(fd_, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
        std::string answer;
        char buf[4096];
        size_t length = std::string::npos, headEnd = std::string::npos;
        while (headEnd == std::string::npos || answer.size() < headEnd + 4 + length) {
            const ssize_t n = recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) break;
            answer.append(buf, static_cast<size_t>(n));
            if (headEnd == std::string::npos && (headEnd = answer.find("\r\n\r\n")) != std::string::npos) {
                const size_t at = answer.find("Content-Length: ");
                length = at < headEnd ? std::stoul(answer.substr(at + 16)) : 0;
            }
        }
        return answer;
    }

private:
    int fd_;
};

// One sandbox with a gateway and a host. The host's framework name is
// "cimhost", so one Stack runs at a time in a sandbox.
class Stack {
public:
    explicit Stack(const std::vector<std::string>& simArgs, const std::vector<std::string>& hostArgs = {}) {
        setenv("HUL_MFW_DIR", dir_.path().c_str(), 1);
        setenv("HUL_DIAG_DIR", dir_.path().c_str(), 1);
        unsetenv("HUL_MFW_NAME");
        std::vector<std::string> args{"--peer", "cimhost"};
        args.insert(args.end(), simArgs.begin(), simArgs.end());
        sim_.reset(new simtest::SimProcess(ZEPSIM_PATH, args));
        startHost(hostArgs);
    }
    ~Stack() {
        host_.reset();
        sim_.reset();
    }

    void startHost(const std::vector<std::string>& extra) {
        std::remove(portFile().c_str());
        std::vector<std::string> argv{CIMHOST_PATH, "--port", "0", "--port-file", portFile(), "--log", logFile(),
                                      "--providers", PROVIDER_DIR, "--mof", MOF_PATH};
        argv.insert(argv.end(), extra.begin(), extra.end());
        host_.reset(new testsupport::ChildProcess(argv));
        std::string port;
        if (!testsupport::waitUntil([&] {
                port = readFile(portFile());
                return !port.empty();
            }, 60s))
            throw std::runtime_error("cimhost did not start; log:\n" + readFile(logFile()));
        url_ = "http://127.0.0.1:" + std::to_string(std::stoi(port)) + "/root/cimv2";
    }

    // SIGTERM, then the host's exit status (-1 if it did not end by itself).
    int stopHost() {
        ::kill(host_->pid(), SIGTERM);
        return host_->wait(60s);
    }

    // wbemcli with the arguments; a "URL:" prefix in an argument is replaced by the host's URL + ':'.
    Result wbemcli(const std::vector<std::string>& args) const {
        std::string cmd = WBEMCLI_PATH;
        for (std::string a : args) {
            if (a.rfind("URL", 0) == 0) a = url_ + a.substr(3);
            cmd += " " + shellQuote(a);
        }
        return runShell(cmd, dir_.path());
    }

    // Lines of wbemcli ein for the class (0 when it fails).
    size_t count(const std::string& cls) const {
        const Result r = wbemcli({"ein", "URL:" + cls});
        if (r.status != 0) return 0;
        size_t n = 0;
        for (char c : r.out) n += c == '\n';
        return n;
    }

    simtest::SimProcess& sim() { return *sim_; }
    std::string log() const { return readFile(logFile()); }
    const std::string& url() const { return url_; }
    int port() const { return std::stoi(url_.substr(url_.rfind(':') + 1)); }
    const std::string& scratch() const { return dir_.path(); }

private:
    std::string portFile() const { return dir_.file("port"); }
    std::string logFile() const { return dir_.file("cimhost.log"); }

    testsupport::ScratchDir dir_;
    std::unique_ptr<simtest::SimProcess> sim_;
    std::unique_ptr<testsupport::ChildProcess> host_;
    std::string url_;
};

}  // namespace hosttest

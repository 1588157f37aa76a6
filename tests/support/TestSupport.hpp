// Helpers shared by the test programs: deadlines, scratch directories, child
// processes and process resource counts. Header-only; used from tests only.
#pragma once

#include <dirent.h>
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <stdlib.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

extern char** environ;

namespace testsupport {

using namespace std::chrono_literals;

// Polls pred until it holds or the deadline passes; returns its last value.
// Deadlines are generous: a slow machine only makes a passing test slower.
inline bool waitUntil(const std::function<bool()>& pred,
                      std::chrono::milliseconds deadline = 20s) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= end) return pred();
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// A fresh directory, removed with everything in it when the object goes.
class ScratchDir {
public:
    ScratchDir() {
        const char* base = getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/zeptest.XXXXXX";
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
        path_ = buf.data();
    }
    ~ScratchDir() {
        std::string cmd = "rm -rf '" + path_ + "'";
        if (system(cmd.c_str()) != 0) { /* best effort */ }
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Points the platform stand-ins (message framework sockets, diagnostic logs)
// of this process and of the children it starts at a private directory, so
// tests never meet each other or a developer's running system.
class PlatformSandbox {
public:
    PlatformSandbox() {
        setenv("HUL_MFW_DIR", dir_.path().c_str(), 1);
        setenv("HUL_DIAG_DIR", dir_.path().c_str(), 1);
    }
    const ScratchDir& dir() const { return dir_; }

private:
    ScratchDir dir_;
};

// The sandbox of a program whose gateway link, once started, runs until the
// process ends: never destroyed, since the link's tasks use it through exit,
// and its directory removed by an exit handler. That handler runs after the
// diagnostic log's final flush, which registers itself later; a task still
// writing then writes to a file that is already unlinked.
inline const PlatformSandbox& processSandbox() {
    static const PlatformSandbox* const sandbox = [] {
        const PlatformSandbox* s = new PlatformSandbox;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(processSandbox().dir().path(), ignored);
        });
        return s;
    }();
    return *sandbox;
}

// A cross build's tests run under an emulator, and the kernel cannot run a
// target program by itself there: the build then names the emulator (with its
// arguments) in ZEP_TEST_LAUNCHER.
#ifdef ZEP_TEST_LAUNCHER
inline constexpr bool kUnderEmulator = true;
#else
inline constexpr bool kUnderEmulator = false;
#endif

// The command line that runs program argv[0] with its arguments: through the
// emulator, if the tests run under one.
inline std::vector<std::string> launchCommand(const std::vector<std::string>& argv) {
#ifdef ZEP_TEST_LAUNCHER
    std::vector<std::string> cmd{ZEP_TEST_LAUNCHER};
#else
    std::vector<std::string> cmd;
#endif
    cmd.insert(cmd.end(), argv.begin(), argv.end());
    return cmd;
}

// What a child process runs: a program built for the target (through the
// emulator, if the tests run under one), or one of the machine the tests run
// on (a shell, a client), always as it is.
enum class Program { Target, BuildMachine };
// Its standard input and output: this process's, or one socket pair that the
// test writes lines to and reads lines from.
enum class Stdio { Inherited, Piped };

// Ends child process pid as SIGKILL does, and reaps it. In a coverage build
// the programs under test take SIGUSR2 first: they write their coverage counts
// and then end by SIGKILL themselves (cmake/CoverageDump.c); a program without
// that handler dies of SIGUSR2 all the same.
inline void killAndReap(pid_t pid) {
    int status = 0;
#ifdef ZEP_COVERAGE
    if (::kill(pid, SIGUSR2) == 0 && ::kill(pid, SIGCONT) == 0 &&
        waitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10s))
        return;
#endif
    ::kill(pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// A child process started from argv (a target program through launchCommand),
// with env ("NAME=value") added to this process's environment. It dies with
// the test process; when the object goes it is ended as stop() ends it.
// Not thread-safe: one thread drives it.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                          Program program = Program::Target, Stdio stdio = Stdio::Inherited) {
        std::vector<std::string> cmd = program == Program::Target ? launchCommand(argv) : argv;
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e) {
            bool replaced = false;
            for (const auto& kv : env) replaced |= std::strncmp(*e, kv.c_str(), kv.find('=') + 1) == 0;
            if (!replaced) environment.push_back(*e);
        }
        environment.insert(environment.end(), env.begin(), env.end());
        std::vector<char*> args, envp;
        for (auto& a : cmd) args.push_back(a.data());
        for (auto& e : environment) envp.push_back(e.data());
        args.push_back(nullptr);
        envp.push_back(nullptr);

        // A socket pair rather than two pipes: one descriptor both ways, and a
        // write to a child that is gone fails instead of raising SIGPIPE.
        int ends[2] = {-1, -1};
        if (stdio == Stdio::Piped && socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            throw std::runtime_error("socketpair failed");
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ < 0) {
            for (int end : ends)
                if (end >= 0) close(end);
            throw std::runtime_error("fork failed");
        }
        if (pid_ == 0) {
            // Only async-signal-safe calls from here: the test may run threads.
            // A test that dies leaves no process of its own running.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(127);
            if (ends[1] >= 0 && (dup2(ends[1], 0) < 0 || dup2(ends[1], 1) < 0)) _exit(127);
            execve(args[0], args.data(), envp.data());
            static const char failed[] = "execve failed\n";
            if (::write(2, failed, sizeof failed - 1) < 0) _exit(127);
            _exit(127);
        }
        if (ends[1] >= 0) close(ends[1]);
        fd_ = ends[0];
    }
    ~ChildProcess() {
        stop();
        if (fd_ >= 0) close(fd_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Its process id; -1 once it has been reaped.
    pid_t pid() const { return pid_; }
    // False once it has ended (it is reaped then, its exit status kept).
    bool alive() { return pid_ > 0 && !reaped(WNOHANG); }
    void signal(int number) {
        if (pid_ > 0) ::kill(pid_, number);
    }

    // Writes one line to its standard input; false once it takes no more.
    bool writeLine(const std::string& line) {
        const std::string text = line + "\n";
        for (size_t sent = 0; sent < text.size();) {
            const ssize_t n = send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            sent += static_cast<size_t>(n);
        }
        return true;
    }
    // The next line of its standard output, without the line break; false when
    // none came within the deadline or its output ended.
    bool readLine(std::string& line, std::chrono::milliseconds deadline = 60s) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        size_t eol;
        while ((eol = buffer_.find('\n')) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            const int ready = fd_ < 0 || left.count() < 0 ? 0 : poll(&p, 1, static_cast<int>(left.count()) + 1);
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return false;
            char chunk[4096];
            const ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            buffer_.append(chunk, static_cast<size_t>(n));
        }
        line = buffer_.substr(0, eol);
        buffer_.erase(0, eol + 1);
        return true;
    }

    // Waits for it to end; its exit status, -1 after a signal or at the deadline.
    int wait(std::chrono::milliseconds deadline = 60s) {
        waitUntil([&] { return !alive(); }, deadline);
        return exitStatus();
    }
    // Asks it to end (SIGTERM, and SIGCONT should it be stopped) so that it
    // writes what it keeps for its exit, such as coverage data; SIGKILL only
    // if it has not ended by the deadline. Its exit status, -1 after a signal.
    int stop(std::chrono::milliseconds deadline = 30s) {
        signal(SIGTERM);
        signal(SIGCONT);
        wait(deadline);
        kill9();
        return exitStatus();
    }
    // A crash (see killAndReap).
    void kill9() {
        if (pid_ > 0) killAndReap(pid_);
        pid_ = -1;
    }

private:
    bool reaped(int options) {
        int status = 0;
        const pid_t r = waitpid(pid_, &status, options);
        if (r == 0 || (r < 0 && errno == EINTR)) return false;
        status_ = r == pid_ ? status : -1;
        pid_ = -1;
        return true;
    }
    int exitStatus() const { return pid_ < 0 && status_ >= 0 && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }

    pid_t pid_ = -1;
    int status_ = -1;
    int fd_ = -1;
    std::string buffer_;
};

inline int countDirEntries(const char* path) {
    DIR* d = opendir(path);
    if (!d) return -1;
    int n = 0;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') ++n;
    closedir(d);
    return n;
}

// Threads of this process.
inline int threadCount() { return countDirEntries("/proc/self/task"); }
// True once this process runs no more threads than `count`, so that every thread a test
// started has ended. "No more" rather than "exactly": under an emulator the process also lists
// the emulator's own threads, which come and go.
inline bool threadsBackTo(int count) { return threadCount() <= count; }
// Open file descriptors of this process (the directory stream's own is not counted).
inline int openFdCount() { return countDirEntries("/proc/self/fd") - 1; }

}  // namespace testsupport

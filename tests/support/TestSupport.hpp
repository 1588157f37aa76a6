// Helpers shared by the test programs: deadlines, scratch directories, child
// processes and process resource counts. Header-only; used from tests only.
#pragma once

#include <dirent.h>
#include <signal.h>
#include <sys/prctl.h>
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

// A child process started from argv (a target program through
// launchCommand); killed (SIGKILL) and reaped when the object goes unless it
// was waited for.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv,
                          const std::vector<std::string>& env = {}, Program program = Program::Target) {
        const std::vector<std::string> cmd = program == Program::Target ? launchCommand(argv) : argv;
        pid_ = fork();
        if (pid_ < 0) throw std::runtime_error("fork failed");
        if (pid_ == 0) {
            // A test that dies leaves no server of its own running.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            for (const auto& kv : env) putenv(strdup(kv.c_str()));
            std::vector<char*> args;
            for (const auto& a : cmd) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            perror("execv");
            _exit(127);
        }
    }
    ~ChildProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    void kill9() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }
    // Waits for the child to exit; returns its exit status (-1 on a signal or time-out).
    int wait(std::chrono::milliseconds deadline = 60s) {
        int status = 0;
        bool done = waitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, deadline);
        if (!done) return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
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

// libHulShared figures, each beside its baseline from the same run:
//  - framework messages per second from this process to a second one, beside
//    a raw Unix-domain datagram stream between two processes carrying the same
//    bytes (target: the framework at 50% of raw or better);
//  - diagnostic log entries per second, on disk, beside copying the finished
//    line into a buffered stdio file and beside formatting it there with
//    snprintf (target: 1,000,000 entries/s).
// The receiving processes are this program again, started with a role.
#include <benchmark/benchmark.h>

#include "BenchTable.hpp"
#include <errno.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "HulDiag.h"
#include "HulMfwStandIn.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kRawSink[] = "raw-sink";
constexpr char kRawSource[] = "raw-source";
constexpr char kMfwSink[] = "bench-sink";
constexpr char kMfwSource[] = "bench-source";
// Framework classes between source and sink.
constexpr uint16_t kData = 4, kDone = 5, kCount = 6, kQuit = 7;
constexpr size_t kMaxDatagram = HUL_MFW_HEADER_SIZE + HUL_MFW_MAX_BODY;
const char kLogText[] = "QEL_ZEPCedarTerminalImplInstanceManager::ZepCallback:Updating existing entry, dn=4711";

std::string gDir;                           // scratch directory of this run
std::map<std::string, double> gRates;       // last figure of each benchmark, by name
std::vector<pid_t> gSinks;

sockaddr_un unixAddress(const std::string& path) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
    return a;
}

// True once someone is bound at a.
bool reachable(const sockaddr_un& a) {
    const int probe = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const bool ok = connect(probe, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    close(probe);
    return ok;
}

// ---- receiving processes -------------------------------------------------

// Counts datagrams; a 1-byte datagram asks for the count since the last such
// request, a 2-byte one ends the process.
int runRawSink() {
    const int s = socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un self = unixAddress(gDir + "/" + kRawSink);
    sockaddr_un source = unixAddress(gDir + "/" + kRawSource);
    if (bind(s, reinterpret_cast<sockaddr*>(&self), sizeof self) < 0) return 1;
    static unsigned char buffer[kMaxDatagram];
    uint64_t count = 0;
    for (;;) {
        const ssize_t n = recv(s, buffer, sizeof buffer, 0);
        if (n == 2) return 0;
        if (n == 1) {
            sendto(s, &count, sizeof count, 0, reinterpret_cast<sockaddr*>(&source), sizeof source);
            count = 0;
        } else if (n > 0) {
            ++count;
        }
    }
}

uint64_t gSinkCount = 0;
bool gSinkQuit = false;
void sinkData(uint16_t, uint32_t, void*, uint32_t) { ++gSinkCount; }
void sinkDone(uint16_t, uint32_t, void*, uint32_t sender) {
    unsigned char reply[HUL_MFW_HEADER_SIZE + sizeof(uint64_t)];
    memcpy(reply + HUL_MFW_HEADER_SIZE, &gSinkCount, sizeof gSinkCount);
    HulMfwSendMessage(sender, kCount, 0, reply, sizeof gSinkCount);
    gSinkCount = 0;
}
void sinkQuit(uint16_t, uint32_t, void*, uint32_t) { gSinkQuit = true; }

int runMfwSink() {
    if (HulMfwInitializeAs(kMfwSink) != 0) return 1;
    HulMfwRegisterCallback(kData, sinkData);
    HulMfwRegisterCallback(kDone, sinkDone);
    HulMfwRegisterCallback(kQuit, sinkQuit);
    while (!gSinkQuit) HulMfwProcessNextMessage(HUL_MFW_WAIT_FOREVER);
    HulMfwCleanup();
    return 0;
}

void startSink(const char* role) {
    char* argv[] = {const_cast<char*>("/proc/self/exe"), const_cast<char*>(role), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, argv, environ) == 0) gSinks.push_back(pid);
}

// ---- message benchmarks --------------------------------------------------

// state.range(0): body bytes after the framework header. The raw stream sends
// datagrams of header plus body, the bytes the framework puts on the wire.
void BM_RawDatagramStream(benchmark::State& state) {
    static int s = -1;
    static sockaddr_un sink;
    if (s < 0) {
        s = socket(AF_UNIX, SOCK_DGRAM, 0);
        sockaddr_un self = unixAddress(gDir + "/" + kRawSource);
        sink = unixAddress(gDir + "/" + kRawSink);
        if (bind(s, reinterpret_cast<sockaddr*>(&self), sizeof self) < 0) return state.SkipWithError("bind");
        startSink("--raw-sink");
        const auto end = Clock::now() + std::chrono::seconds(10);
        while (!reachable(sink)) {
            if (Clock::now() > end) return state.SkipWithError("raw sink did not start");
            usleep(1000);
        }
    }
    const size_t size = HUL_MFW_HEADER_SIZE + static_cast<size_t>(state.range(0));
    std::vector<unsigned char> buffer(size, 0x5a);
    const auto start = Clock::now();
    for (auto _ : state) {
        if (sendto(s, buffer.data(), size, 0, reinterpret_cast<sockaddr*>(&sink), sizeof sink) != (ssize_t)size)
            return state.SkipWithError(strerror(errno));
    }
    sendto(s, "d", 1, 0, reinterpret_cast<sockaddr*>(&sink), sizeof sink);
    uint64_t count = 0;
    if (recv(s, &count, sizeof count, 0) != sizeof count || count != static_cast<uint64_t>(state.iterations()))
        return state.SkipWithError("messages lost");
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    gRates["raw/" + std::to_string(state.range(0))] = static_cast<double>(count) / seconds;
    state.SetItemsProcessed(state.iterations());
}

uint64_t gReply = 0;
bool gReplied = false;
void sourceCount(uint16_t, uint32_t, void* message, uint32_t) {
    memcpy(&gReply, static_cast<char*>(message) + HUL_MFW_HEADER_SIZE, sizeof gReply);
    gReplied = true;
}

void BM_FrameworkMessages(benchmark::State& state) {
    static HUL_PROCESS_HANDLE sink = 0;
    if (!sink) {
        if (HulMfwInitializeAs(kMfwSource) != 0) return state.SkipWithError("join");
        HulMfwRegisterCallback(kCount, sourceCount);
        startSink("--mfw-sink");
        const auto end = Clock::now() + std::chrono::seconds(10);
        while (HulMfwGetProcessHandle(kMfwSink, &sink) != 0) {
            if (Clock::now() > end) return state.SkipWithError("framework sink did not start");
            usleep(1000);
        }
    }
    const uint32_t length = static_cast<uint32_t>(state.range(0));
    std::vector<unsigned char> buffer(HUL_MFW_HEADER_SIZE + length, 0x5a);
    const auto start = Clock::now();
    for (auto _ : state) {
        if (HulMfwSendMessage(sink, kData, 0, buffer.data(), length) != 0)
            return state.SkipWithError("send failed");
    }
    gReplied = false;
    HulMfwSendMessage(sink, kDone, 0, buffer.data(), 0);
    while (!gReplied && HulMfwProcessNextMessage(10000) == 0) {
    }
    if (!gReplied || gReply != static_cast<uint64_t>(state.iterations())) return state.SkipWithError("messages lost");
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    gRates["framework/" + std::to_string(state.range(0))] = static_cast<double>(gReply) / seconds;
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_RawDatagramStream)->Arg(64)->Arg(2048)->UseRealTime();
BENCHMARK(BM_FrameworkMessages)->Arg(64)->Arg(2048)->UseRealTime();

// ---- log benchmarks -------------------------------------------------------

HUL_DIAG_HANDLE gLog = 0;

// Entries per second through HulDiagAddLogEntry from 1 and 4 threads. The
// figure printed at the end includes getting every entry onto disk: after the
// loop (whose end all threads pass together) thread 0 deregisters the module,
// which writes the rest.
void BM_DiagLogEntries(benchmark::State& state) {
    static Clock::time_point start;
    if (state.thread_index() == 0) {
        if (HulDiagRegisterModule("BenchAgent", "Bench", "QEL_ZEPProvider", "bench.log", &gLog) != 0)
            return state.SkipWithError("register");
        start = Clock::now();
    }
    uint32_t id = 0;
    for (auto _ : state) HulDiagAddLogEntry(gLog, 6, 4, ++id, kLogText);
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0) {
        HulDiagDeregisterModule(gLog);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        gRates["diag/" + std::to_string(state.threads())] =
            static_cast<double>(state.iterations()) * state.threads() / seconds;
        unlink((gDir + "/bench.log").c_str());
    }
}

BENCHMARK(BM_DiagLogEntries)->Threads(1)->Threads(4)->UseRealTime();

// Baselines, one thread, a buffered stdio stream, no locking:
//  - the floor: the finished line copied into the stream, nothing formatted;
//  - a typical logger: the line formatted with localtime_r and snprintf.
void stdioLines(benchmark::State& state, bool format, const char* key) {
    FILE* f = fopen((gDir + "/baseline.log").c_str(), "w");
    if (!f) return state.SkipWithError("fopen");
    static char buffer[64 * 1024];
    setvbuf(f, buffer, _IOFBF, sizeof buffer);
    char line[256];
    int n = snprintf(line, sizeof line, "2024-01-01 00:00:00.000 sev=4 kind=6 id=%u %s: %s\n", 4711u,
                     "QEL_ZEPProvider", kLogText);
    const auto start = Clock::now();
    uint32_t id = 0;
    for (auto _ : state) {
        if (format) {
            timespec now;
            clock_gettime(CLOCK_REALTIME, &now);
            struct tm local;
            localtime_r(&now.tv_sec, &local);
            n = snprintf(line, sizeof line, "%04d-%02d-%02d %02d:%02d:%02d.%03ld sev=%u kind=%u id=%u %s: %s\n",
                         local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                         local.tm_sec, now.tv_nsec / 1000000, 4u, 6u, ++id, "QEL_ZEPProvider", kLogText);
        }
        fwrite_unlocked(line, 1, static_cast<size_t>(n), f);
    }
    fclose(f);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    gRates[key] = static_cast<double>(state.iterations()) / seconds;
    state.SetItemsProcessed(state.iterations());
    unlink((gDir + "/baseline.log").c_str());
}
void BM_StdioCopyLine(benchmark::State& state) { stdioLines(state, false, "stdio-copy"); }
void BM_StdioFormatLine(benchmark::State& state) { stdioLines(state, true, "stdio-format"); }

BENCHMARK(BM_StdioCopyLine)->UseRealTime();
BENCHMARK(BM_StdioFormatLine)->UseRealTime();

void printComparison() {
    auto rate = [](const std::string& key) {
        auto it = gRates.find(key);
        return it == gRates.end() ? 0.0 : it->second;
    };
    printf("\nlibHulShared against its baselines (same run):\n");
    for (const char* size : {"64", "2048"}) {
        const double raw = rate(std::string("raw/") + size), mfw = rate(std::string("framework/") + size);
        if (raw == 0 && mfw == 0) continue;  // filtered out
        printf("  messages, %4s-byte body: framework %9.0f/s, raw datagrams %9.0f/s: %5.1f%% of raw (target 50%%)\n",
               size, mfw, raw, raw > 0 ? 100.0 * mfw / raw : 0.0);
        benchtable::row(std::string("framework messages between processes, ") + size + "-byte body", mfw, "/s", raw,
                        "raw Unix datagrams", benchtable::shareOfBaselineAtLeast(0.5));
    }
    if (rate("stdio-copy") == 0 && rate("diag/1") == 0) return;
    printf("  log entries (target 1000000/s); baselines: copying a finished line into stdio %.0f/s,\n"
           "    formatting it with snprintf into stdio %.0f/s\n",
           rate("stdio-copy"), rate("stdio-format"));
    for (const auto& [key, value] : gRates) {
        if (key.rfind("diag/", 0) == 0)
        {
            printf("    %s thread(s): %10.0f/s on disk: %5.1f%% of the copying floor\n", key.c_str() + 5, value,
                   rate("stdio-copy") > 0 ? 100.0 * value / rate("stdio-copy") : 0.0);
            benchtable::row(std::string("diagnostic log entries, ") + (key.c_str() + 5) + " thread(s)", value, "/s",
                            rate("stdio-copy"), "finished lines into stdio", benchtable::atLeast(1000000));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const char* dir = getenv("HUL_MFW_DIR");
    if (argc == 2 && dir) {
        gDir = dir;
        if (strcmp(argv[1], "--raw-sink") == 0) return runRawSink();
        if (strcmp(argv[1], "--mfw-sink") == 0) return runMfwSink();
    }
    char scratch[] = "/tmp/hulbench.XXXXXX";
    if (!mkdtemp(scratch)) return 1;
    gDir = scratch;
    setenv("HUL_MFW_DIR", scratch, 1);
    setenv("HUL_DIAG_DIR", scratch, 1);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printComparison();

    HulMfwCleanup();
    for (pid_t pid : gSinks) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    const std::string rm = "rm -rf '" + gDir + "'";
    return system(rm.c_str()) == 0 ? 0 : 1;
}

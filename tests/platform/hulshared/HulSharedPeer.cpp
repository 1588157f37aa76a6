// A second process for the libHulShared tests, started by them with
// testsupport::ChildProcess and HUL_MFW_DIR / HUL_DIAG_DIR in its environment.
//
//   idle <name>                 joins as name and never reads a message
//   echo <name>                 joins as name and sends every class-4 message
//                               back to its sender
//   exchange <name> <peer> <n>  runs the two-way exchange of Exchange.hpp
//   exit-busy <name>            exits from main while its tasks still send,
//                               receive and log (see runExitBusy)
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "Exchange.hpp"
#include "HulDiag.h"
#include "HulMfwStandIn.h"

namespace {

int join(const char* name) {
    const HUL_RESULT rc = HulMfwInitializeAs(name);
    if (rc != 0) fprintf(stderr, "peer: joining as %s failed with %u\n", name, rc);
    return rc == 0 ? 0 : 2;
}

HUL_DIAG_HANDLE busyLog = 0;

// Logs after main has returned and the exit flush has run: such an entry must
// still reach the file.
struct LateLogger {
    ~LateLogger() {
        if (busyLog) HulDiagAddLogEntry(busyLog, 6, 4, 0xFFFFFFFFu, "static destructor entry");
    }
} lateLogger;

void ignore(uint16_t, uint32_t, void*, uint32_t) {}

void echoBack(uint16_t msgClass, uint32_t length, void* message, uint32_t sender) {
    HulMfwSendMessage(sender, msgClass, 0, message, length);
}

// Starts tasks that never stop (a message loop, a sender to itself, two
// loggers), writes a last entry from main and returns: the process must exit
// cleanly around the running tasks, with every entry made before exit in the
// log file.
int runExitBusy(const char* name) {
    if (int rc = join(name)) return rc;
    if (HulDiagRegisterModule("agent", "component", "busy", "busy.log", &busyLog) != 0) return 3;
    HulMfwRegisterCallback(4, ignore);
    std::atomic<int> started{0};
    std::thread([&] {
        started++;
        for (;;) HulMfwProcessNextMessage(HUL_MFW_WAIT_FOREVER);
    }).detach();
    std::thread([&] {
        HUL_PROCESS_HANDLE self = 0;
        HulMfwGetProcessHandle(nullptr, &self);
        unsigned char buffer[HUL_MFW_HEADER_SIZE + 64] = {};
        started++;
        for (;;) HulMfwSendMessage(self, 4, 0, buffer, 64);
    }).detach();
    for (int t = 0; t < 2; ++t) {
        std::thread([&, t] {
            started++;
            for (unsigned i = 0;; ++i) HulDiagAddLogEntry(busyLog, 6, 4, i, t ? "task one" : "task zero");
        }).detach();
    }
    while (started.load() < 4) std::this_thread::yield();
    for (int i = 0; i < 1000; ++i) HulDiagAddLogEntry(busyLog, 7, 2, static_cast<uint32_t>(i), "main entry");
    HulDiagAddLogEntry(busyLog, 7, 1, 1000, "main last entry");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "idle" && argc == 3) {
        if (int rc = join(argv[2])) return rc;
        for (;;) pause();
    }
    if (mode == "echo" && argc == 3) {
        if (int rc = join(argv[2])) return rc;
        HulMfwRegisterCallback(4, echoBack);
        for (;;) HulMfwProcessNextMessage(HUL_MFW_WAIT_FOREVER);
    }
    if (mode == "exchange" && argc == 5) {
        if (int rc = join(argv[2])) return rc;
        const std::string failure = exchange::run(argv[3], static_cast<uint32_t>(strtoul(argv[4], nullptr, 10)));
        if (!failure.empty()) {
            fprintf(stderr, "peer: %s\n", failure.c_str());
            return 1;
        }
        return HulMfwCleanup() == 0 ? 0 : 4;
    }
    if (mode == "exit-busy" && argc == 3) return runExitBusy(argv[2]);
    fprintf(stderr, "usage: %s idle|echo|exchange|exit-busy ...\n", argv[0]);
    return 64;
}

#include "ZepOamMfw.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "HulMfw.h"
#include "TransportInternal.h"
#include "tevo.h"

namespace {

// Shared between the loop task and whoever initialises or stops the link.
std::atomic<uint32_t> gQuit{0};
std::atomic<uint32_t> gLoopTask{0};
std::atomic<uint32_t> gOwnProcess{0};

// Lets a shut-down wait for the loop to have left the framework, so that a
// later initialisation finds the process a non-participant and starts afresh.
// Never destroyed: the link normally lives until the process ends, and its
// tasks may still use these while static destructors run.
struct LoopSync {
    std::mutex mutex;
    std::condition_variable ended;
    bool running = false;  // guarded by mutex
};
LoopSync& loopSync() {
    static LoopSync* const sync = new LoopSync;
    return *sync;
}

thread_local bool tOnLoopTask = false;

constexpr std::chrono::milliseconds kStopWait{10000};

}  // namespace

uint32_t ZepOamMfwInit() {
    HUL_PROCESS_HANDLE own = 0;
    uint32_t rc = HulMfwGetProcessHandle(nullptr, &own);
    if (rc != 0) {
        rc = HulMfwInitialize();
        if (rc != 0) return rc;
        // Our handle exists only now; the quit message needs it.
        HulMfwGetProcessHandle(nullptr, &own);
        gOwnProcess.store(own);
        gQuit.store(0);
        {
            std::lock_guard<std::mutex> lock(loopSync().mutex);
            loopSync().running = true;
        }
        OS_HANDLE task = 0;
        rc = osCreateTask("ZepOamMfwLoop", 0, 10000, ZepOamMfwThread, nullptr, 0, &task);
        if (rc != 0) {
            std::lock_guard<std::mutex> lock(loopSync().mutex);
            loopSync().running = false;
            return rc;
        }
        gLoopTask.store(task);
    }
    gOwnProcess.store(own);
    return HulMfwRegisterCallback(0, ZepOamMfwDefaultCallback);
}

void ZepOamMfwThread(void*) {
    tOnLoopTask = true;
    while (gQuit.load() == 0) {
        const uint32_t rc = HulMfwProcessNextMessage(HUL_MFW_WAIT_FOREVER);
        // A framework that fails at once (the process left it under us) would
        // otherwise turn this loop into a spin.
        if (rc != 0 && rc != HUL_ERR_TIMEOUT) osSleep(10);
    }
    HulMfwCleanup();
    // Notified under the lock: a waiter cannot return before we are done with it.
    std::lock_guard<std::mutex> lock(loopSync().mutex);
    loopSync().running = false;
    loopSync().ended.notify_all();
}

void ZepOamMfwDefaultCallback(uint16_t, uint32_t, void*, uint32_t) {}

void ZepOamMfwSendQuitMessage() {
    unsigned char buffer[HUL_MFW_HEADER_SIZE] = {};
    HulMfwSendMessage(gOwnProcess.load(), HUL_MFW_CLASS_QUIT, 0, buffer, 0);
}

uint32_t ZepOamMfwShutdown() {
    zepoam_detail::stopGatewayListener();
    gQuit.store(1);
    ZepOamMfwSendQuitMessage();
    const uint32_t task = gLoopTask.exchange(0);
    if (task != 0) {
        if (!tOnLoopTask) {
            LoopSync& sync = loopSync();
            std::unique_lock<std::mutex> lock(sync.mutex);
            sync.ended.wait_for(lock, kStopWait, [&] { return !sync.running; });
        }
        osCloseTaskHandle(task);
    }
    return 0;
}

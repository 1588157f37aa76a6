#include "ZepOam.h"

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <mutex>
#include <string>

#include "OperationalLog.h"
#include "Retries.h"
#include "ZepOamMfw.h"
#include "ZepOamUsrlib.h"
#include "tevo.h"

namespace {

constexpr char kConnectEventName[] = "OamZepConnectEvnt";
constexpr uint32_t kConnectAttemptMs = 1000;
constexpr uint32_t kShutdownWaitMs = 10000;

// The callback table; slot order is delivery order. Written under the table
// lock, read without a lock by event delivery.
std::atomic<ZepOamEventHandler> ul[ZEP_OAM_CALLBACK_SLOTS];

// The connection record.
struct ConnectionRecord {
    std::atomic<int32_t> useCount{0};
    std::atomic<uint32_t> connectEvent{0};
    std::atomic<uint32_t> connectTask{0};
    // 1 while a connection task is trying. Changed only under the connection
    // lock, so that the task, a new ZepOamConnect and a shut-down agree on
    // who owns the task and its handle.
    std::atomic<uint32_t> connecting{0};
};
ConnectionRecord il;

// Locks of the connection unit. Never destroyed: the link's tasks normally
// run until the process ends, through static destruction.
struct ConnectionSync {
    std::mutex table;       // writers of the callback table
    std::mutex life;        // first initialisation against last shut-down
    std::mutex connection;  // hand-over of the connection task (see connecting)
    // Another link-down came while the task was trying: its success may
    // predate the loss, so it must make sure of the link once more. Guarded
    // by connection.
    bool connectAgain = false;
    // The set-up steps that are tried again when they fail: joining the
    // framework (guarded by life) and starting a connection (guarded by
    // connection).
    zepoam_detail::SetUpStep join{"joining the message framework"};
    zepoam_detail::SetUpStep connect{"setting up the connection to zep"};
};
ConnectionSync& sync() {
    static ConnectionSync* const s = new ConnectionSync;
    return *s;
}

void logText(const char* text) { AddToLog(0, ZEP_LOG_CODE_INFO, text, 0, 0); }

uintptr_t addressOf(ZepOamEventHandler handler) { return reinterpret_cast<uintptr_t>(handler); }

constexpr char kJoinRetry[] = "join";
constexpr char kConnectRetry[] = "connect";
constexpr char kDataRetryPrefix[] = "data ";
// A data request that does not go out is sent again this many times at most.
constexpr int kDataRetries = 6;

// Joins the framework (the caller holds the life lock); a failure is tried
// again later, for as long as the link has users.
void joinFramework() {
    const uint32_t rc = ZepOamMfwInit();
    if (rc == 0) {
        sync().join.succeeded();
        return;
    }
    zepoam_detail::scheduleRetry(kJoinRetry, sync().join.failed(rc), [] {
        std::lock_guard<std::mutex> life(sync().life);
        if (il.useCount.load() > 0) joinFramework();
    });
}

// A connection set-up step failed (the caller holds the connection lock).
uint32_t connectFailed(uint32_t rc) {
    zepoam_detail::scheduleRetry(kConnectRetry, sync().connect.failed(rc), [] { ZepOamConnect(); });
    return rc;
}

std::string dataRetryKey(uint32_t code, const std::string& payload) {
    return kDataRetryPrefix + std::to_string(code) + " " + payload;
}

// Sends a data request again after a back-off; attempt counts the sends made.
void retryDataRequest(uint32_t code, const std::string& payload, int attempt, uint32_t rc) {
    char text[128];
    if (attempt > kDataRetries) {
        std::snprintf(text, sizeof text, "ZepOam: data request %u not delivered (code %u); given up after %d attempts",
                      code, rc, attempt);
        AddToLog(0, ZEP_LOG_CODE_ERROR, text, 0, 0);
        return;
    }
    if (attempt == 1) {
        std::snprintf(text, sizeof text, "ZepOam: data request %u not delivered (code %u); sending it again", code, rc);
        AddToLog(0, ZEP_LOG_CODE_WARNING, text, 0, 0);
    }
    zepoam_detail::scheduleRetry(dataRetryKey(code, payload), zepoam_detail::retryDelay(attempt), [code, payload, attempt] {
        if (il.useCount.load() < 1) return;
        const uint32_t again = ZepOamSend(code, payload.data(), static_cast<uint32_t>(payload.size()));
        if (again != 0) return retryDataRequest(code, payload, attempt + 1, again);
        char done[96];
        std::snprintf(done, sizeof done, "ZepOam: data request %u delivered on attempt %d", code, attempt + 1);
        AddToLog(0, ZEP_LOG_CODE_INFO, done, 0, 0);
    });
}

}  // namespace

uint32_t ZepOamInit() {
    std::lock_guard<std::mutex> life(sync().life);
    if (il.useCount.load() == 0) {
        {
            std::lock_guard<std::mutex> table(sync().table);
            for (auto& slot : ul) slot.store(nullptr);
        }
        CreateOperationalLog();
        joinFramework();
    }
    il.useCount.fetch_add(1);
    return ZEP_OAM_OK;
}

uint32_t ZepOamRegisterCallback(ZepOamEventHandler handler) {
    char text[64];
    std::snprintf(text, sizeof text, "ZepOamRegisterCallback %" PRIxPTR, addressOf(handler));
    logText(text);
    if (!handler) return ZEP_OAM_INVALID_ARG;

    int chosen = -1;
    {
        std::lock_guard<std::mutex> table(sync().table);
        for (int i = 0; i < ZEP_OAM_CALLBACK_SLOTS; ++i) {
            const ZepOamEventHandler current = ul[i].load();
            if (current == handler) {
                chosen = i;
                break;
            }
            if (chosen < 0 && current == nullptr) chosen = i;
        }
        if (chosen < 0) return ZEP_OAM_TABLE_FULL;
        ul[chosen].store(handler);
    }
    uint32_t rc = ZEP_OAM_OK;
    // The table is complete once the last slot is taken.
    if (chosen == ZEP_OAM_CALLBACK_SLOTS - 1) {
        rc = ZepOamConnect();
        if (rc == 0) rc = ZepOamMfwConnect();
    }
    return rc;
}

uint32_t ZepOamResetCallback(ZepOamEventHandler handler) {
    char text[64];
    std::snprintf(text, sizeof text, "ZepOamResetCallback %p",
                  reinterpret_cast<void*>(addressOf(handler)));
    logText(text);
    std::lock_guard<std::mutex> table(sync().table);
    for (auto& slot : ul) {
        if (slot.load() == handler) slot.store(nullptr);
    }
    return ZEP_OAM_OK;
}

uint32_t ZepOamShutdown() {
    logText("ZepOamShutdown");
    std::lock_guard<std::mutex> life(sync().life);
    if (il.useCount.load() < 1) return ZEP_OAM_OK;
    if (il.useCount.fetch_sub(1) - 1 > 0) return ZEP_OAM_OK;
    zepoam_detail::cancelRetries("");

    // The last user has gone. Take over a connection task that is still
    // trying: from here on it only signals the connect event and ends.
    uint32_t task = 0;
    bool tookOver = false;
    {
        std::lock_guard<std::mutex> conn(sync().connection);
        if (il.connecting.load() == 1) {
            il.connecting.store(0);
            sync().connectAgain = false;
            task = il.connectTask.exchange(0);
            tookOver = true;
        }
    }
    if (tookOver) {
        const uint32_t event = il.connectEvent.load();
        if (task != 0) {
            if (event != 0 && osReceiveEvent(event, kShutdownWaitMs) != 0) osKillTask(task);
            osCloseTaskHandle(task);
        }
        if (event != 0) {
            osKillEvent(event);
            il.connectEvent.store(0);
        }
    }
    ZepOamMfwShutdown();
    DestroyOperationalLog();
    return ZEP_OAM_OK;
}

uint32_t ZepOamSend(uint32_t code, const void* payload, uint32_t length) {
    return ZepOamUsrlibSend(code, payload, length, 0);
}

uint32_t ZepOamRequestData(uint32_t code, const void* payload, uint32_t length) {
    const uint32_t rc = ZepOamSend(code, payload, length);
    if (rc == ZEP_OAM_INVALID_ARG) return rc;
    const std::string bytes(static_cast<const char*>(payload), length);
    if (rc == 0)
        zepoam_detail::cancelRetries(dataRetryKey(code, bytes));  // an older copy need not go again
    else
        retryDataRequest(code, bytes, 1, rc);
    return rc;
}

uint32_t ZepOamConnect() {
    logText("ZepOamConnect");
    std::lock_guard<std::mutex> conn(sync().connection);
    // After the last shut-down there is no one to connect for (a link-down
    // raised while the transport stops must not start a task that outlives it).
    if (il.useCount.load() < 1) return ZEP_OAM_OK;

    OS_HANDLE event = 0;
    uint32_t rc = osCreateEvent(kConnectEventName, 0, &event);
    if (rc != 0 && rc != OS_ERR_EVENT_EXISTS) {
        il.connectEvent.store(0);
        return connectFailed(rc);
    }
    il.connectEvent.store(event);

    // One task tries at a time; two would race to start two listeners.
    if (il.connecting.load() == 1) {
        sync().connectAgain = true;
        return ZEP_OAM_OK;
    }
    il.connecting.store(1);
    sync().connectAgain = false;
    OS_HANDLE task = 0;
    rc = osCreateTask("OamZepConnect", 0, 16000, ZepOamConnectThread, nullptr, 0, &task);
    if (rc != 0) {
        il.connecting.store(0);
        il.connectTask.store(0);
        return connectFailed(rc);
    }
    il.connectTask.store(task);
    sync().connect.succeeded();
    return ZEP_OAM_OK;
}

void ZepOamConnectThread(void*) {
    logText("Trying to connect to zep...!!!");
    uint32_t self = 0;
    {
        // ZepOamConnect holds the lock until our handle is recorded.
        std::lock_guard<std::mutex> conn(sync().connection);
        self = il.connectTask.load();
    }
    for (;;) {
        const uint32_t rc = ConnectToZep(0, 0, 0, kConnectAttemptMs, ZepOamCallback);
        if (rc == 0) logText("ZepOam connection established with zep");

        std::unique_lock<std::mutex> conn(sync().connection);
        if (il.connecting.load() == 0) {
            // A shut-down has taken the task over and waits for our signal;
            // it closes our handle and deletes the event.
            conn.unlock();
            if (const uint32_t event = il.connectEvent.load()) osSendEvent(event);
            return;
        }
        if (rc == 0 && !sync().connectAgain) {
            // Connected: nothing is left for this task. Ending here, instead
            // of lingering until a shut-down, keeps one task per attempt.
            il.connecting.store(0);
            if (il.connectTask.load() == self) il.connectTask.store(0);
            osCloseTaskHandle(self);
            return;
        }
        sync().connectAgain = false;
        conn.unlock();
        // An attempt that failed without waiting (the framework refused at
        // once) must not turn the retries into a spin.
        if (rc != 0 && rc != ZEP_OAM_GATEWAY_NOT_FOUND) osSleep(kConnectAttemptMs);
    }
}

void ZepOamCallback(sZepToOamEvents* event, uint32_t) {
    if (!event) return;
    for (auto& slot : ul) {
        if (const ZepOamEventHandler handler = slot.load()) handler(event);
    }
    if (event->getType() == ZEP_EVT_LINK_DOWN) {
        // What was asked of the lost gateway is asked again after link-up.
        zepoam_detail::cancelRetries(kDataRetryPrefix);
        ZepOamConnect();
    }
}

uint32_t ZepOamMfwConnect() { return ZEP_OAM_OK; }

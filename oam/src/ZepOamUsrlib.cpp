#include "ZepOamUsrlib.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "HulMfw.h"
#include "OperationalLog.h"
#include "TransportInternal.h"
#include "ZepOamResult.h"
#include "tevo.h"

namespace {

constexpr char kGatewayName[] = "zep";
constexpr uint32_t kPollMs = 1000;
constexpr std::chrono::milliseconds kPollInterval{kPollMs};
constexpr std::chrono::milliseconds kStopWait{10000};

// Offsets inside a received framework buffer.
constexpr uint32_t kSenderOffset = HUL_MFW_SENDER_OFFSET;
constexpr uint32_t kEventOffset = ZEP_ENVELOPE_CODE_OFFSET;
static_assert(ZEP_ENVELOPE_MARK_OFFSET == HUL_MFW_HEADER_SIZE, "the envelope follows the framework's header");
// Body bytes needed for the event type, and for a complete event record.
constexpr uint32_t kMinBody = ZEP_BODY_CODE_OFFSET + 4;
constexpr uint32_t kFullBody = ZEP_EVENT_BODY_LENGTH;

// The link record. Its words are shared by the connection task, the
// listener, the framework's dispatching task and every sending thread.
struct LinkRecord {
    std::atomic<uint32_t> listenerTask{0};
    std::atomic<uint32_t> linkUp{0};
    std::atomic<ZepOamLinkCallback> callback{nullptr};
    std::atomic<uint32_t> ownProcess{0};
    std::atomic<uint32_t> gatewayProcess{0};

    void clear() {
        listenerTask.store(0);
        linkUp.store(0);
        callback.store(nullptr);
        ownProcess.store(0);
        gatewayProcess.store(0);
    }
};
LinkRecord l;

// Set once ConnectToZep's one-time set-up has succeeded.
std::atomic<bool> bLocalMfwInitialized{false};

// Serialises starting the listener against its end and against a stop, and
// carries the stop request: the listener waits on it between polls, so a stop
// takes effect at once instead of after the poll interval. Never destroyed:
// the listener normally runs until the process ends, through static
// destruction.
struct LinkSync {
    // Held while an event reaches the handlers, so that they see one event at
    // a time and in the order the link lived it: a link-down is delivered to
    // every handler before a new gateway's link-up is taken. Taken before
    // mutex, never while holding it.
    std::mutex delivery;
    std::mutex mutex;
    std::condition_variable changed;
    bool stopListener = false;  // guarded by mutex
    int liveListeners = 0;      // listener tasks not yet returned; guarded by mutex
};
LinkSync& linkSync() {
    static LinkSync* const sync = new LinkSync;
    return *sync;
}

thread_local bool tOnListener = false;

// Sleeps until the next poll; true when a stop was asked for instead.
bool waitForNextPoll() {
    LinkSync& sync = linkSync();
    std::unique_lock<std::mutex> lock(sync.mutex);
    return sync.changed.wait_for(lock, kPollInterval, [&] { return sync.stopListener; });
}

// Notified under the lock: a stopper cannot return before we are done with it.
void listenerDone() {
    LinkSync& sync = linkSync();
    std::lock_guard<std::mutex> lock(sync.mutex);
    --sync.liveListeners;
    sync.changed.notify_all();
}

// Closes the listener's own handle and clears the record's word, so that the
// next successful ConnectToZep may start a new listener. Caller holds the
// link lock.
void releaseListenerHandle(uint32_t self) {
    if (l.listenerTask.load() == self) l.listenerTask.store(0);
    osCloseTaskHandle(self);
}

// The locally made link-down event: the gateway is gone.
void raiseLinkDown() {
    sZepToOamEvents down = sZepToOamEvents::ofType(ZEP_EVT_LINK_DOWN);
    if (ZepOamLinkCallback cb = l.callback.load()) cb(&down, 0);
}

// Raises the link-down for a link that went up but lost its gateway before a
// listener was started; a running listener reports losses itself.
void reportLossBeforeListening() {
    std::lock_guard<std::mutex> deliver(linkSync().delivery);
    {
        std::lock_guard<std::mutex> lock(linkSync().mutex);
        if (l.listenerTask.load() != 0 || linkSync().stopListener) return;
        uint32_t up = 1;
        if (!l.linkUp.compare_exchange_strong(up, 0)) return;
    }
    raiseLinkDown();
}

}  // namespace

uint32_t ConnectToZep(uint32_t, uint32_t, uint32_t, uint32_t timeout,
                      ZepOamLinkCallback callback) {
    if (!callback) return ZEP_OAM_INVALID_ARG;
    {
        std::lock_guard<std::mutex> lock(linkSync().mutex);
        if (!bLocalMfwInitialized.load()) {
            l.clear();
            HUL_PROCESS_HANDLE own = 0;
            const uint32_t rc = HulMfwGetProcessHandle(nullptr, &own);
            if (rc != 0) return rc;
            l.ownProcess.store(own);
            HulMfwRegisterCallback(ZEP_MFW_CLASS_ENVELOPE, ZepOamUsrlibCallback);
            bLocalMfwInitialized.store(true);
        }
    }
    l.callback.store(callback);

    bool found = false;
    while (timeout != 0) {
        HUL_PROCESS_HANDLE gateway = 0;
        const uint32_t rc = HulMfwGetProcessHandle(kGatewayName, &gateway);
        if (l.linkUp.load() == 1) {
            // The link was announced by the process that sent the link-up.
            if (rc == 0 && gateway == l.gatewayProcess.load()) {
                found = true;
                break;
            }
            // That process died, or was replaced under the name, before a
            // listener watched it: report the loss as the listener would,
            // or the caches would keep what a dead gateway sent.
            reportLossBeforeListening();
        } else if (rc == 0) {
            l.gatewayProcess.store(gateway);
        }
        const uint32_t slice = std::min(timeout, kPollMs);
        timeout -= slice;
        osSleep(slice);
    }
    if (!found) return ZEP_OAM_GATEWAY_NOT_FOUND;

    std::lock_guard<std::mutex> lock(linkSync().mutex);
    // One listener watches one gateway; a second would raise a second
    // link-down for the same loss.
    if (l.listenerTask.load() != 0) return 0;
    if (linkSync().stopListener) return 0;  // the transport is being stopped
    OS_HANDLE task = 0;
    const uint32_t rc =
        osCreateTask("OamZepUsrlibLstner", 0, 10000, ListenForMessages, nullptr, 0, &task);
    if (rc != 0) return rc;
    l.listenerTask.store(task);
    ++linkSync().liveListeners;
    return 0;
}

void ListenForMessages(void*) {
    tOnListener = true;
    uint32_t self = 0;
    uint32_t watched = 0;
    {
        // ConnectToZep holds the lock until our handle is in the record.
        std::lock_guard<std::mutex> lock(linkSync().mutex);
        self = l.listenerTask.load();
        watched = l.gatewayProcess.load();
    }
    // Ends the task without a link-down: the transport is being stopped.
    auto endOnStop = [self] {
        {
            std::lock_guard<std::mutex> lock(linkSync().mutex);
            releaseListenerHandle(self);
        }
        listenerDone();
    };
    for (;;) {
        HUL_PROCESS_HANDLE now = 0;
        const uint32_t rc = HulMfwGetProcessHandle(kGatewayName, &now);
        // A new handle under the name is a restarted gateway: the one we were
        // linked to is gone just as if the name had disappeared.
        if (rc != 0 || now != watched) break;
        if (waitForNextPoll()) return endOnStop();
    }
    bool stopping = false;
    // No message from the next gateway reaches the handlers between the link
    // going down and every handler having heard of it.
    std::unique_lock<std::mutex> deliver(linkSync().delivery);
    {
        std::lock_guard<std::mutex> lock(linkSync().mutex);
        stopping = linkSync().stopListener;
        if (!stopping) {
            l.linkUp.store(0);
            // Cleared before the event goes out: the reconnection it triggers
            // may succeed before this task has returned.
            releaseListenerHandle(self);
        }
    }
    if (stopping) {
        deliver.unlock();
        return endOnStop();
    }
    raiseLinkDown();
    deliver.unlock();
    listenerDone();
}

// The transport's one assumption about the framework: that a callback's
// second argument is the message's body length (HUL_MFW_CALLBACK in
// HulMfw.h). It decides only what happens to a short message: one too short
// for an event type is dropped, a shorter record is completed with zeros.
// Built with ZEP_MFW_CALLBACK_GIVES_LENGTH=0 (CMake: ZEP_MFW_CALLBACK_LENGTH
// OFF), for a framework whose second argument is something else, every
// message is delivered as the record that its buffer holds.
#ifndef ZEP_MFW_CALLBACK_GIVES_LENGTH
#define ZEP_MFW_CALLBACK_GIVES_LENGTH 1
#endif
constexpr bool kCallbackGivesLength = ZEP_MFW_CALLBACK_GIVES_LENGTH != 0;

namespace {

// Messages dropped because another process than the linked gateway sent
// them. Each drop is counted; the log gets a line at the 1st, 2nd, 4th, 8th...
// so that a flood cannot flood the log as well.
std::atomic<uint64_t> foreignMessages{0};

void dropForeignMessage(uint32_t sender, uint32_t type) {
    const uint64_t n = foreignMessages.fetch_add(1) + 1;
    if ((n & (n - 1)) != 0) return;
    char text[160];
    std::snprintf(text, sizeof text,
                  "ZepOamUsrlibCallback: message (event type %u) from process %u, not the gateway %u, dropped; "
                  "%llu dropped so far",
                  type, sender, l.gatewayProcess.load(), static_cast<unsigned long long>(n));
    AddToLog(0, ZEP_LOG_CODE_WARNING, text, 0, 0);
}

}  // namespace

void ZepOamUsrlibCallback(uint16_t, uint32_t length, void* message, uint32_t) {
    if (!message) return;
    if (!kCallbackGivesLength) length = kFullBody;
    if (length < kMinBody) return;  // no event type: nothing to deliver
    unsigned char* bytes = static_cast<unsigned char*>(message);
    const uint32_t type = zeprec::loadU32(bytes + kEventOffset);
    const uint32_t sender = zeprec::loadU32(bytes + kSenderOffset);
    std::lock_guard<std::mutex> deliver(linkSync().delivery);
    if (l.linkUp.load() == 0) {
        l.gatewayProcess.store(sender);
        if (type == ZEP_EVT_LINK_UP) l.linkUp.store(1);
    } else if (sender != l.gatewayProcess.load()) {
        // Only the gateway speaks for the gateway: a link-down, a deletion or
        // a record from anyone else would empty or change the caches.
        return dropForeignMessage(sender, type);
    }
    ZepOamLinkCallback cb = l.callback.load();
    if (!cb) return;
    const uint32_t value = zeprec::loadU32(bytes + ZEP_ENVELOPE_FLAG_OFFSET);
    if (length >= kFullBody) {
        cb(reinterpret_cast<sZepToOamEvents*>(bytes + kEventOffset), value);
    } else {
        // A short message: the handlers read whole records, so they get the
        // bytes that came followed by zeros.
        sZepToOamEvents event = zeprec::fromBytes<sZepToOamEvents>(bytes + kEventOffset,
                                                                   length - ZEP_BODY_CODE_OFFSET);
        cb(&event, value);
    }
}

uint32_t ZepOamUsrlibSend(uint32_t code, const void* payload, uint32_t length, uint32_t flag) {
    if (!payload || length > ZEP_ENVELOPE_MAX_PAYLOAD) return ZEP_OAM_INVALID_ARG;
    unsigned char buffer[ZEP_ENVELOPE_BUFFER_SIZE];
    std::memset(buffer, 0, ZEP_ENVELOPE_PAYLOAD_OFFSET);
    zeprec::storeU32(buffer + ZEP_ENVELOPE_MARK_OFFSET, ZEP_ENVELOPE_MARK);
    zeprec::storeU32(buffer + ZEP_ENVELOPE_FLAG_OFFSET, flag);
    zeprec::storeU32(buffer + ZEP_ENVELOPE_CODE_OFFSET, code);
    if (length) std::memcpy(buffer + ZEP_ENVELOPE_PAYLOAD_OFFSET, payload, length);
    return HulMfwSendMessage(l.gatewayProcess.load(), ZEP_MFW_CLASS_ENVELOPE, 0, buffer,
                             length + ZEP_BODY_PAYLOAD_OFFSET);
}

namespace zepoam_detail {

void stopGatewayListener() {
    LinkSync& sync = linkSync();
    std::unique_lock<std::mutex> lock(sync.mutex);
    sync.stopListener = true;
    sync.changed.notify_all();
    // A listener delivering link-down may be running the handlers; wait for
    // it too (but not for ourselves, should a handler be the one stopping).
    const int self = tOnListener ? 1 : 0;
    sync.changed.wait_for(lock, kStopWait, [&] { return sync.liveListeners <= self; });
    sync.stopListener = false;
    l.linkUp.store(0);
    l.gatewayProcess.store(0);
    bLocalMfwInitialized.store(false);
}

}  // namespace zepoam_detail

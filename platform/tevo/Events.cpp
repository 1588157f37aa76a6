// Named auto-reset events.
//
// The signal is a single flag, not a count: signals sent while nobody takes
// them collapse into one, and a signal sent before anyone waits is kept for
// the next waiter (the gateway link's connection task signals before the
// shut-down starts waiting). Every change wakes all waiters and each re-checks
// under the lock; waiters are few, and this way a waiter that leaves without
// taking the signal (its task was stopped, its wait timed out) can never
// swallow the wake-up another waiter needed.
#include "Registry.hpp"

namespace tevo {
namespace {

enum class WaitOutcome { Signalled, TimedOut, Killed, TaskStopped, BadHandle };

WaitOutcome waitFor(OS_HANDLE handle, uint32_t timeoutMs) {
    Registry& registry = Registry::instance();
    Task* self = currentTask();
    std::unique_lock<std::mutex> lock(registry.mutex);
    auto it = registry.events.find(handle);
    if (it == registry.events.end()) return WaitOutcome::BadHandle;
    const std::shared_ptr<Event> event = it->second;

    const auto ready = [&] {
        return event->signalled || event->killed || (self && self->stopRequested);
    };
    if (self) self->waitingOn = &event->changed;
    if (timeoutMs == OS_WAIT_FOREVER)
        event->changed.wait(lock, ready);
    else
        event->changed.wait_until(lock, deadlineAfter(timeoutMs), ready);
    if (self) self->waitingOn = nullptr;

    // A stopping task leaves the signal for whoever waits next.
    if (self && self->stopRequested) return WaitOutcome::TaskStopped;
    if (event->signalled) {
        event->signalled = false;
        return WaitOutcome::Signalled;
    }
    return event->killed ? WaitOutcome::Killed : WaitOutcome::TimedOut;
}

}  // namespace
}  // namespace tevo

using namespace tevo;

OS_RESULT osCreateEvent(const char* name, uint32_t /*flags*/, OS_HANDLE* event) {
    if (!name || !*name || !event) return OS_ERR_INVALID_ARG;
    try {
        Registry& registry = Registry::instance();
        std::lock_guard<std::mutex> lock(registry.mutex);
        auto named = registry.eventNames.find(name);
        if (named != registry.eventNames.end()) {
            *event = named->second;
            return OS_ERR_EVENT_EXISTS;
        }
        auto created = std::make_shared<Event>();
        created->name = name;
        const OS_HANDLE handle = registry.allocateHandle();
        registry.events.emplace(handle, created);
        try {
            registry.eventNames.emplace(created->name, handle);
        } catch (...) {
            registry.events.erase(handle);
            throw;
        }
        *event = handle;
        return 0;
    } catch (const std::exception&) {
        return OS_ERR_NO_RESOURCE;
    }
}

OS_RESULT osSendEvent(OS_HANDLE event) {
    Registry& registry = Registry::instance();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto it = registry.events.find(event);
    if (it == registry.events.end()) return OS_ERR_BAD_HANDLE;
    it->second->signalled = true;
    it->second->changed.notify_all();
    return 0;
}

OS_RESULT osReceiveEvent(OS_HANDLE event, uint32_t timeoutMs) {
    switch (waitFor(event, timeoutMs)) {
        case WaitOutcome::Signalled: return 0;
        case WaitOutcome::TimedOut: return OS_ERR_TIMEOUT;
        case WaitOutcome::Killed: return OS_ERR_EVENT_KILLED;
        case WaitOutcome::TaskStopped: endCallingThread();
        case WaitOutcome::BadHandle: break;
    }
    return OS_ERR_BAD_HANDLE;
}

OS_RESULT osKillEvent(OS_HANDLE event) {
    Registry& registry = Registry::instance();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto it = registry.events.find(event);
    if (it == registry.events.end()) return OS_ERR_BAD_HANDLE;
    // Waiters hold their own reference; the event dies with the last of them.
    const std::shared_ptr<Event> killed = std::move(it->second);
    registry.events.erase(it);
    registry.eventNames.erase(killed->name);
    killed->killed = true;
    killed->changed.notify_all();
    return 0;
}

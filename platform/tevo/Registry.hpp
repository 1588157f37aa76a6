// Internal to libtevo: the one table behind every task and event handle, and
// the bookkeeping that lets a task be asked to stop while it sleeps or waits.
//
// Thread-safety: every field marked "guarded" is read and written only with
// Registry::mutex held. One lock for the whole library keeps the lock order
// trivial (there is no second lock to order against); no call holds it while
// running caller code, and every wait releases it.
#pragma once

#include "Exports.hpp"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace tevo {

// A thread started by osCreateTask. Owned by the registry's task table from
// creation until the thread itself has ended, so the thread may use its Task
// for its whole life without holding a reference of its own.
struct Task {
    OS_HANDLE handle = 0;
    std::string name;  // already cut to the 15 characters a thread name holds
    OS_TASK_ENTRY entry = nullptr;
    void* argument = nullptr;

    bool handleOpen = true;      // guarded; false after osCloseTaskHandle
    bool stopRequested = false;  // guarded; set by osKillTask from another thread
    std::condition_variable wake;  // osSleep waits here
    // guarded; the condition an event wait is blocked on, so that a stop
    // request can wake it as well as a sleep.
    std::condition_variable* waitingOn = nullptr;
};

// A named auto-reset event. Shared: a waiter keeps its event alive while
// osKillEvent removes it from the table, so it can still see `killed`.
struct Event {
    std::string name;
    std::condition_variable changed;
    bool signalled = false;  // guarded
    bool killed = false;     // guarded
};

class Registry {
public:
    // The process-wide registry. Created on first use and never destroyed:
    // detached tasks may still sleep on its conditions or look up handles
    // while exit() runs static destructors, so it must outlive them all.
    static Registry& instance();

    std::mutex mutex;

    // All guarded. A task stays in `tasks` while its thread runs, whether or
    // not its handle is still open; an event stays until osKillEvent.
    std::unordered_map<OS_HANDLE, std::unique_ptr<Task>> tasks;
    std::unordered_map<OS_HANDLE, std::shared_ptr<Event>> events;
    std::unordered_map<std::string, OS_HANDLE> eventNames;

    // A handle no live task or event has, never 0. Requires mutex held.
    OS_HANDLE allocateHandle();

    // Thread-specific slot holding the running thread's Task*; its destructor
    // retires the task from the table however the thread ends (return from
    // the entry, or pthread_exit through osKillTask).
    bool taskKeyValid() const { return taskKeyValid_; }
    pthread_key_t taskKey() const { return taskKey_; }

    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

private:
    Registry();
    ~Registry() = delete;

    OS_HANDLE nextHandle_ = 1;  // guarded
    pthread_key_t taskKey_{};
    bool taskKeyValid_ = false;
};

// The Task of the calling thread, or null when it was not started by
// osCreateTask.
Task* currentTask();

// Ends the calling thread (pthread_exit). Callers make sure none of their own
// frames still owns a lock or an object with a non-trivial destructor.
[[noreturn]] void endCallingThread();

// Milliseconds from now as an absolute deadline on the monotonic clock.
inline std::chrono::steady_clock::time_point deadlineAfter(uint32_t ms) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

}  // namespace tevo

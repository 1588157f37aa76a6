// Tasks on POSIX threads: creation, cooperative ends, handles, sleeping.
//
// How a task ends. A task's thread is detached; it ends when its entry
// returns or when it calls pthread_exit, which osKillTask(0) does, and which
// osSleep and osReceiveEvent do once another thread has asked the task to stop
// with osKillTask(handle). No thread is ever cancelled from outside, so a task
// only ends at one of those calls and never in the middle of a lock it holds.
//
// pthread_exit on glibc unwinds the thread's stack like an exception that no
// one may stop: destructors of C++ objects in the caller's frames run. Our own
// frames call it with no lock held and no object with a non-trivial destructor
// alive, and none of them is noexcept (unwinding through a noexcept frame
// would terminate the process). Cleanup of the task's table entry does not
// depend on unwinding at all: a thread-specific-data destructor does it.
#include "Registry.hpp"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <thread>

namespace tevo {
namespace {

// Requests of 10000 or 16000 bytes, the sizes the gateway link asks for, are
// far below what a thread needs here: the system minimum alone barely holds the
// static TLS, and the sanitizer builds multiply stack use. Every task gets at
// least this much; larger requests are honoured.
constexpr size_t kStackFloor = 256 * 1024;

// 0 when the request cannot be represented (only possible on 32-bit hosts).
size_t stackBytesFor(uint32_t requested) {
    size_t minimum = kStackFloor;
    const long systemMin = sysconf(_SC_THREAD_STACK_MIN);
    if (systemMin > 0) minimum = std::max(minimum, static_cast<size_t>(systemMin));
    minimum = std::max(minimum, static_cast<size_t>(PTHREAD_STACK_MIN));
    const long pageSize = sysconf(_SC_PAGESIZE);
    const size_t page = pageSize > 0 ? static_cast<size_t>(pageSize) : 4096;
    const size_t bytes = std::max(minimum, static_cast<size_t>(requested));
    if (bytes > std::numeric_limits<size_t>::max() - page) return 0;
    return (bytes + page - 1) / page * page;
}

class ThreadAttributes {
public:
    ThreadAttributes() : ok_(pthread_attr_init(&attr_) == 0) {}
    ~ThreadAttributes() {
        if (ok_) pthread_attr_destroy(&attr_);
    }
    ThreadAttributes(const ThreadAttributes&) = delete;
    ThreadAttributes& operator=(const ThreadAttributes&) = delete;

    bool configure(size_t stackBytes) {
        return ok_ && pthread_attr_setstacksize(&attr_, stackBytes) == 0 &&
               pthread_attr_setdetachstate(&attr_, PTHREAD_CREATE_DETACHED) == 0;
    }
    const pthread_attr_t* get() const { return &attr_; }

private:
    pthread_attr_t attr_;
    bool ok_;
};

void* runTask(void* slot) {
    auto* task = static_cast<Task*>(slot);
    Registry& registry = Registry::instance();
    // From here the key's destructor retires the task however the thread ends.
    if (pthread_setspecific(registry.taskKey(), task) != 0) {
        std::lock_guard<std::mutex> lock(registry.mutex);
        registry.tasks.erase(task->handle);
        return nullptr;
    }
    pthread_setname_np(pthread_self(), task->name.c_str());
    bool stopped;
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        stopped = task->stopRequested;
    }
    // A task asked to stop before it got going never runs its entry.
    if (!stopped) task->entry(task->argument);
    return nullptr;
}

// Sleeps on the task's own condition so that osKillTask can cut the sleep
// short; true when the task has been asked to stop.
bool sleepUnlessStopped(Task& self, uint32_t ms) {
    Registry& registry = Registry::instance();
    std::unique_lock<std::mutex> lock(registry.mutex);
    if (ms > 0)
        self.wake.wait_until(lock, deadlineAfter(ms), [&] { return self.stopRequested; });
    const bool stop = self.stopRequested;
    lock.unlock();
    if (!stop && ms == 0) sched_yield();
    return stop;
}

enum class KillOutcome { Requested, EndSelf, BadHandle };

KillOutcome requestStop(OS_HANDLE handle) {
    Registry& registry = Registry::instance();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto it = registry.tasks.find(handle);
    if (it == registry.tasks.end() || !it->second->handleOpen) return KillOutcome::BadHandle;
    Task& task = *it->second;
    if (&task == currentTask()) return KillOutcome::EndSelf;
    task.stopRequested = true;
    task.wake.notify_all();
    if (task.waitingOn) task.waitingOn->notify_all();
    return KillOutcome::Requested;
}

}  // namespace
}  // namespace tevo

using namespace tevo;

OS_RESULT osCreateTask(const char* name, uint32_t /*priority*/, uint32_t stackSize,
                       OS_TASK_ENTRY entry, void* argument, uint32_t /*options*/,
                       OS_HANDLE* task) {
    if (!name || !entry || !task) return OS_ERR_INVALID_ARG;
    try {
        Registry& registry = Registry::instance();
        const size_t stackBytes = stackBytesFor(stackSize);
        ThreadAttributes attributes;
        if (!registry.taskKeyValid() || stackBytes == 0 || !attributes.configure(stackBytes))
            return OS_ERR_NO_RESOURCE;

        auto owned = std::make_unique<Task>();
        owned->name.assign(name, strnlen(name, 15));
        owned->entry = entry;
        owned->argument = argument;
        Task* created = owned.get();
        {
            std::lock_guard<std::mutex> lock(registry.mutex);
            created->handle = registry.allocateHandle();
            registry.tasks.emplace(created->handle, std::move(owned));
        }
        // The entry may read its handle from *task at once; thread creation
        // orders this store before anything the new thread does.
        *task = created->handle;

        pthread_t thread;
        if (pthread_create(&thread, attributes.get(), runTask, created) != 0) {
            std::lock_guard<std::mutex> lock(registry.mutex);
            registry.tasks.erase(created->handle);
            *task = 0;
            return OS_ERR_NO_RESOURCE;
        }
        return 0;
    } catch (const std::exception&) {
        return OS_ERR_NO_RESOURCE;
    }
}

OS_RESULT osKillTask(OS_HANDLE task) {
    if (task == 0) endCallingThread();
    switch (requestStop(task)) {
        case KillOutcome::Requested: return 0;
        case KillOutcome::EndSelf: endCallingThread();
        case KillOutcome::BadHandle: break;
    }
    return OS_ERR_BAD_HANDLE;
}

OS_RESULT osCloseTaskHandle(OS_HANDLE task) {
    Registry& registry = Registry::instance();
    std::lock_guard<std::mutex> lock(registry.mutex);
    auto it = registry.tasks.find(task);
    if (it == registry.tasks.end() || !it->second->handleOpen) return OS_ERR_BAD_HANDLE;
    // The entry itself stays until the thread ends: the thread still uses it.
    it->second->handleOpen = false;
    return 0;
}

OS_RESULT osSleep(uint32_t ms) {
    Task* self = currentTask();
    if (!self) {
        if (ms == 0)
            sched_yield();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return 0;
    }
    if (sleepUnlessStopped(*self, ms)) endCallingThread();
    return 0;
}

#include "Registry.hpp"

namespace tevo {
namespace {

// Runs on the ending thread after its entry has returned or pthread_exit has
// unwound it. Removing the task here, and not when the handle is closed, is
// what keeps finished tasks from piling up in the table when their creator
// never closes the handle.
void retireTask(void* slot) {
    auto* task = static_cast<Task*>(slot);
    Registry& registry = Registry::instance();
    std::unique_ptr<Task> gone;
    {
        std::lock_guard<std::mutex> lock(registry.mutex);
        auto it = registry.tasks.find(task->handle);
        if (it != registry.tasks.end() && it->second.get() == task) {
            gone = std::move(it->second);
            registry.tasks.erase(it);
        }
    }
}

}  // namespace

Registry::Registry() {
    taskKeyValid_ = pthread_key_create(&taskKey_, retireTask) == 0;
}

Registry& Registry::instance() {
    // Deliberately leaked, see the declaration.
    static Registry* const registry = new Registry;
    return *registry;
}

OS_HANDLE Registry::allocateHandle() {
    // Counting up means a handle comes back only after 2^32 allocations, and
    // even then the scan skips any that still names a live object.
    for (;;) {
        const OS_HANDLE handle = nextHandle_++;
        if (nextHandle_ == 0) nextHandle_ = 1;
        if (handle != 0 && tasks.count(handle) == 0 && events.count(handle) == 0)
            return handle;
    }
}

Task* currentTask() {
    Registry& registry = Registry::instance();
    if (!registry.taskKeyValid()) return nullptr;
    return static_cast<Task*>(pthread_getspecific(registry.taskKey()));
}

void endCallingThread() {
    pthread_exit(nullptr);
}

}  // namespace tevo

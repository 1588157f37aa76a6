#include "Retries.h"

#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "OperationalLog.h"

namespace zepoam_detail {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kFirstDelay{1000};
constexpr std::chrono::milliseconds kLongestDelay{30000};

struct Job {
    Clock::time_point due;
    std::function<void()> run;
};

// Never destroyed: the retry thread may be waiting on it while static
// destructors run.
struct RetryQueue {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, Job> jobs;  // guarded by mutex
    bool started = false;             // guarded by mutex
};
RetryQueue& queue() {
    static RetryQueue* const q = new RetryQueue;
    return *q;
}

void runRetries() {
    RetryQueue& q = queue();
    std::unique_lock<std::mutex> lock(q.mutex);
    for (;;) {
        if (q.jobs.empty()) {
            q.changed.wait(lock);
            continue;
        }
        auto next = q.jobs.begin();
        for (auto it = q.jobs.begin(); it != q.jobs.end(); ++it)
            if (it->second.due < next->second.due) next = it;
        if (Clock::now() < next->second.due) {
            q.changed.wait_until(lock, next->second.due);
            continue;
        }
        std::function<void()> run = std::move(next->second.run);
        q.jobs.erase(next);
        lock.unlock();
        run();
        lock.lock();
    }
}

}  // namespace

bool scheduleRetry(const std::string& key, std::chrono::milliseconds delay, std::function<void()> job) {
    RetryQueue& q = queue();
    std::lock_guard<std::mutex> lock(q.mutex);
    if (!q.started) {
        try {
            std::thread(runRetries).detach();
        } catch (const std::system_error&) {
            AddToLog(0, ZEP_LOG_CODE_ERROR, "ZepOam: the retry thread cannot be started; nothing is retried", 0, 0);
            return false;
        }
        q.started = true;
    }
    q.jobs[key] = Job{Clock::now() + delay, std::move(job)};
    q.changed.notify_all();
    return true;
}

void cancelRetries(const std::string& prefix) {
    RetryQueue& q = queue();
    std::lock_guard<std::mutex> lock(q.mutex);
    for (auto it = q.jobs.lower_bound(prefix); it != q.jobs.end() && it->first.compare(0, prefix.size(), prefix) == 0;)
        it = q.jobs.erase(it);
}

std::chrono::milliseconds retryDelay(unsigned attempt) {
    const unsigned doublings = attempt > 1 ? std::min(attempt - 1, 5u) : 0u;  // 32 s > 30 s
    return std::min(kFirstDelay * (1 << doublings), kLongestDelay);
}

std::chrono::milliseconds SetUpStep::failed(uint32_t code) {
    ++failures_;
    if (code != loggedCode_) {
        char text[160];
        std::snprintf(text, sizeof text, "ZepOam: %s failed (code %u); trying again, every %lld s at most", name_,
                      code, static_cast<long long>(kLongestDelay.count() / 1000));
        AddToLog(0, ZEP_LOG_CODE_ERROR, text, 0, 0);
        loggedCode_ = code;
    }
    return retryDelay(failures_);
}

void SetUpStep::succeeded() {
    if (failures_ != 0) {
        char text[160];
        std::snprintf(text, sizeof text, "ZepOam: %s succeeded after %u failed attempts", name_, failures_);
        AddToLog(0, ZEP_LOG_CODE_INFO, text, 0, 0);
    }
    failures_ = 0;
    loggedCode_ = 0;
}

}  // namespace zepoam_detail

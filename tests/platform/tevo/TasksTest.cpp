// Tasks: start-up, the ways a task ends, handles, and thread hygiene.
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.hpp"
#include "ThreadProbe.hpp"
#include "tevo.h"

namespace {

using testsupport::waitUntil;
using tevotest::threadAlive;

// What a task saw of itself from the inside.
struct Inside {
    const OS_HANDLE* handleWord = nullptr;
    std::atomic<OS_HANDLE> handleSeen{0};
    std::atomic<size_t> stackBytes{0};
    std::atomic<pid_t> tid{0};
    char name[16] = {};
};

void recordInside(void* argument) {
    auto* in = static_cast<Inside*>(argument);
    in->handleSeen = *in->handleWord;
    pthread_attr_t attr;
    size_t stack = 0;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        pthread_attr_getstacksize(&attr, &stack);
        pthread_attr_destroy(&attr);
    }
    in->stackBytes = stack;
    pthread_getname_np(pthread_self(), in->name, sizeof in->name);
    in->tid = gettid();  // last: the test reads the rest once this is set
}

TEST(TevoTask, RunsWithItsHandleStoredBeforeItStartsWhateverTheStackSize) {
    // 10000 and 16000 are what the gateway link asks for: below the minimum.
    for (uint32_t size : {0u, 10000u, 16000u, (1u << 20) + 1u}) {
        SCOPED_TRACE(size);
        Inside in;
        OS_HANDLE handle = 0;
        in.handleWord = &handle;
        ASSERT_EQ(0u, osCreateTask("OamZepConnectAndMore", 0, size, recordInside, &in, 0,
                                   &handle));
        EXPECT_NE(0u, handle);
        ASSERT_TRUE(waitUntil([&] { return in.tid != 0; }));
        EXPECT_EQ(handle, in.handleSeen.load());
        EXPECT_GE(in.stackBytes.load(), size);
        EXPECT_GE(in.stackBytes.load(), static_cast<size_t>(PTHREAD_STACK_MIN));
        EXPECT_STREQ("OamZepConnectAn", in.name);
        EXPECT_TRUE(waitUntil([&] { return !threadAlive(in.tid); }));
    }
}

TEST(TevoTask, RefusesNullArguments) {
    OS_HANDLE handle = 7;
    EXPECT_EQ(OS_ERR_INVALID_ARG, osCreateTask(nullptr, 0, 0, recordInside, nullptr, 0, &handle));
    EXPECT_EQ(OS_ERR_INVALID_ARG, osCreateTask("t", 0, 0, nullptr, nullptr, 0, &handle));
    EXPECT_EQ(OS_ERR_INVALID_ARG, osCreateTask("t", 0, 0, recordInside, nullptr, 0, nullptr));
    EXPECT_EQ(7u, handle);
}

// A task that ends itself, and what it got done before and after.
struct SelfEnding {
    enum class How { ByZero, ByOwnHandle } how = How::ByZero;
    OS_HANDLE handle = 0;
    std::atomic<pid_t> tid{0};
    std::atomic<bool> before{false}, after{false}, unwound{false};
};

struct SetOnDestruction {
    std::atomic<bool>& flag;
    ~SetOnDestruction() { flag = true; }
};

void endItself(void* argument) {
    auto* s = static_cast<SelfEnding*>(argument);
    SetOnDestruction guard{s->unwound};
    s->tid = gettid();
    s->before = true;
    osKillTask(s->how == SelfEnding::How::ByZero ? 0 : s->handle);
    s->after = true;
}

TEST(TevoTask, KillingItselfEndsTheCallerAtOnceAndReleasesItsHandle) {
    for (auto how : {SelfEnding::How::ByZero, SelfEnding::How::ByOwnHandle}) {
        SelfEnding s;
        s.how = how;
        ASSERT_EQ(0u, osCreateTask("selfend", 0, 16000, endItself, &s, 0, &s.handle));
        ASSERT_TRUE(waitUntil([&] { return s.tid != 0 && !threadAlive(s.tid); }));
        EXPECT_TRUE(s.before);
        EXPECT_FALSE(s.after);
        EXPECT_TRUE(s.unwound) << "the task's stack objects were not destroyed";
        // Ended without anyone closing the handle: the handle names nothing.
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osKillTask(s.handle));
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osCloseTaskHandle(s.handle));
    }
    // Any thread may end itself this way, not only a task.
    SelfEnding s;
    std::thread plain(endItself, &s);
    plain.join();
    EXPECT_TRUE(s.before);
    EXPECT_FALSE(s.after);
    EXPECT_TRUE(s.unwound);
}

// A task that waits in one of the calls where a stop request reaches it.
struct Waiting {
    enum class In { ShortSleeps, Yields, EndlessSleep, EndlessEventWait } in;
    OS_HANDLE event = 0;
    std::atomic<pid_t> tid{0};
    std::atomic<unsigned> laps{0};
    std::atomic<bool> unwound{false};
};

void waitForever(void* argument) {
    auto* w = static_cast<Waiting*>(argument);
    SetOnDestruction guard{w->unwound};
    w->tid = gettid();
    for (;;) {
        ++w->laps;
        switch (w->in) {
            case Waiting::In::ShortSleeps: osSleep(5); break;
            case Waiting::In::Yields: osSleep(0); break;
            case Waiting::In::EndlessSleep: osSleep(0xFFFFFFFFu); break;
            case Waiting::In::EndlessEventWait: osReceiveEvent(w->event, OS_WAIT_FOREVER); break;
        }
    }
}

TEST(TevoTask, KillingAnotherTaskEndsItAtItsNextSleepOrWait) {
    OS_HANDLE event = 0;
    ASSERT_EQ(0u, osCreateEvent("TevoKillWhileWaiting", 0, &event));
    for (auto in : {Waiting::In::ShortSleeps, Waiting::In::Yields, Waiting::In::EndlessSleep,
                    Waiting::In::EndlessEventWait}) {
        SCOPED_TRACE(static_cast<int>(in));
        Waiting w{in, event};
        OS_HANDLE handle = 0;
        ASSERT_EQ(0u, osCreateTask("waiter", 0, 10000, waitForever, &w, 0, &handle));
        ASSERT_TRUE(waitUntil([&] { return w.laps > 0; }));
        EXPECT_EQ(0u, osKillTask(handle));
        EXPECT_TRUE(waitUntil([&] { return !threadAlive(w.tid); }));
        EXPECT_TRUE(w.unwound);
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osKillTask(handle));
    }
    // The task that died waiting on the event took no signal with it.
    EXPECT_EQ(0u, osSendEvent(event));
    EXPECT_EQ(0u, osReceiveEvent(event, 0));
    EXPECT_EQ(0u, osKillEvent(event));
}

struct Closing {
    OS_HANDLE handle = 0;
    bool closeOwnHandle = false;
    std::atomic<OS_RESULT> ownCloseResult{~0u};
    std::atomic<pid_t> tid{0};
    std::atomic<unsigned> laps{0};
    std::atomic<bool> quit{false};
    std::atomic<bool> done{false};  // the task's last touch of this object
};

void runUntilQuit(void* argument) {
    auto* c = static_cast<Closing*>(argument);
    c->tid = gettid();
    if (c->closeOwnHandle) c->ownCloseResult = osCloseTaskHandle(c->handle);
    while (!c->quit) {
        ++c->laps;
        osSleep(1);
    }
    c->done = true;
}

TEST(TevoTask, ClosingTheHandleLeavesTheTaskRunning) {
    for (bool own : {false, true}) {
        SCOPED_TRACE(own ? "closed by the task" : "closed by the creator");
        Closing c;
        c.closeOwnHandle = own;
        ASSERT_EQ(0u, osCreateTask("closing", 0, 10000, runUntilQuit, &c, 0, &c.handle));
        ASSERT_TRUE(waitUntil([&] { return c.laps > 0; }));
        if (own)
            EXPECT_EQ(0u, c.ownCloseResult.load());
        else
            EXPECT_EQ(0u, osCloseTaskHandle(c.handle));
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osCloseTaskHandle(c.handle));
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osKillTask(c.handle));
        const unsigned seen = c.laps;
        EXPECT_TRUE(waitUntil([&] { return c.laps > seen + 3; }));
        c.quit = true;
        EXPECT_TRUE(waitUntil([&] { return c.done && !threadAlive(c.tid); }));
    }
}

void countAndReturn(void* argument) { ++*static_cast<std::atomic<unsigned>*>(argument); }

TEST(TevoTask, HandlesAreNeverRepeatedAndUnknownOnesAreRefused) {
    // Several threads creating and releasing tasks and events at once.
    constexpr int kThreads = 4, kRounds = 100;
    std::vector<std::vector<OS_HANDLE>> seen(kThreads);
    std::atomic<unsigned> ran{0};
    std::vector<std::thread> creators;
    for (int t = 0; t < kThreads; ++t) {
        creators.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                OS_HANDLE task = 0, event = 0;
                const std::string name = "TevoUnique" + std::to_string(t) + "_" + std::to_string(i);
                if (osCreateTask("unique", 0, 0, countAndReturn, &ran, 0, &task) == 0)
                    seen[t].push_back(task);
                if (osCreateEvent(name.c_str(), 0, &event) == 0) seen[t].push_back(event);
                osCloseTaskHandle(task);
                osKillEvent(event);
            }
        });
    }
    for (auto& c : creators) c.join();
    std::set<OS_HANDLE> distinct;
    size_t total = 0;
    for (const auto& list : seen) {
        total += list.size();
        distinct.insert(list.begin(), list.end());
    }
    EXPECT_EQ(size_t{2 * kThreads * kRounds}, total);
    EXPECT_EQ(total, distinct.size());
    EXPECT_EQ(0u, distinct.count(0));
    EXPECT_TRUE(waitUntil([&] { return ran == kThreads * kRounds; }));

    // Unknown, released and wrong-kind handles: an error, never a crash.
    OS_HANDLE event = 0, task = 0;
    Closing running;
    ASSERT_EQ(0u, osCreateEvent("TevoWrongKind", 0, &event));
    ASSERT_EQ(0u, osCreateTask("wrongkind", 0, 0, runUntilQuit, &running, 0, &task));
    running.handle = task;
    for (OS_HANDLE bad : {0xFFFFFFFFu, *distinct.begin(), *distinct.rbegin()}) {
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osKillTask(bad));
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osCloseTaskHandle(bad));
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osSendEvent(bad));
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osReceiveEvent(bad, 0));
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osKillEvent(bad));
    }
    EXPECT_EQ(OS_ERR_BAD_HANDLE, osCloseTaskHandle(0));
    EXPECT_EQ(OS_ERR_BAD_HANDLE, osSendEvent(0));
    EXPECT_EQ(OS_ERR_BAD_HANDLE, osKillTask(event));
    EXPECT_EQ(OS_ERR_BAD_HANDLE, osCloseTaskHandle(event));
    EXPECT_EQ(OS_ERR_BAD_HANDLE, osSendEvent(task));
    EXPECT_EQ(OS_ERR_BAD_HANDLE, osReceiveEvent(task, 0));
    EXPECT_EQ(OS_ERR_BAD_HANDLE, osKillEvent(task));
    running.quit = true;
    EXPECT_TRUE(waitUntil([&] { return running.done && !threadAlive(running.tid); }));
    EXPECT_EQ(0u, osKillEvent(event));
}

struct Ending {
    int how = 0;
    OS_HANDLE handle = 0;
    std::atomic<unsigned>* finished = nullptr;
};

void endOneOfThreeWays(void* argument) {
    auto* e = static_cast<Ending*>(argument);
    const int how = e->how;
    if (how == 2) osCloseTaskHandle(e->handle);
    ++*e->finished;  // the last touch of *e
    if (how == 1) osKillTask(0);
}

TEST(TevoTask, AThousandEndedTasksLeaveNoThreadOrHandleBehind) {
    constexpr unsigned kTasks = 1000, kBatch = 100;
    // One task first: a runtime may start helper threads of its own with the
    // first thread (the thread sanitizer does); they are not ours to count.
    Inside warmUp;
    OS_HANDLE first = 0;
    warmUp.handleWord = &first;
    ASSERT_EQ(0u, osCreateTask("warmup", 0, 0, recordInside, &warmUp, 0, &first));
    ASSERT_TRUE(waitUntil([&] { return warmUp.tid != 0 && !threadAlive(warmUp.tid); }));
    const int baseline = testsupport::threadCount();
    std::vector<Ending> tasks(kTasks);
    std::atomic<unsigned> finished{0};
    for (unsigned i = 0; i < kTasks; ++i) {
        tasks[i].how = static_cast<int>(i % 3);
        tasks[i].finished = &finished;
        ASSERT_EQ(0u, osCreateTask("churn", 0, 10000, endOneOfThreeWays, &tasks[i], 0,
                                   &tasks[i].handle));
        // Bounded bursts keep the peak thread count modest on small machines.
        if ((i + 1) % kBatch == 0) {
            ASSERT_TRUE(waitUntil([&] { return finished == i + 1; }));
        }
    }
    EXPECT_TRUE(waitUntil([&] { return testsupport::threadCount() == baseline; }))
        << testsupport::threadCount() << " threads, " << baseline << " before";
    for (const auto& t : tasks) EXPECT_EQ(OS_ERR_BAD_HANDLE, osCloseTaskHandle(t.handle));
}

void sleepInLoop(void* argument) {
    ++*static_cast<std::atomic<unsigned>*>(argument);
    for (;;) osSleep(1);
}

void waitOnEvent(void* argument) {
    OS_HANDLE event = 0;
    osCreateEvent("TevoExitWhileWaiting", 0, &event);
    ++*static_cast<std::atomic<unsigned>*>(argument);
    for (;;) osReceiveEvent(event, OS_WAIT_FOREVER);
}

void signalInLoop(void* argument) {
    OS_HANDLE event = 0;
    osCreateEvent("TevoExitWhileWaiting", 0, &event);
    ++*static_cast<std::atomic<unsigned>*>(argument);
    for (;;) {
        osSendEvent(event);
        osSleep(0);
    }
}

TEST(TevoTask, ProcessExitsCleanlyWhileTasksStillRun) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atomic<unsigned> started{0};
            OS_HANDLE handle = 0;
            for (OS_TASK_ENTRY entry : {sleepInLoop, waitOnEvent, signalInLoop, sleepInLoop})
                osCreateTask("busy", 0, 10000, entry, &started, 0, &handle);
            waitUntil([&] { return started == 4; });
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace

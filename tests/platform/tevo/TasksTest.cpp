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

// One task body for every scenario; `mode` says what it does. Its last touch
// of the Probe is `gone` (or the unwinding that sets it), so a test that has
// seen `gone` and the thread's disappearance may reuse the memory.
struct Probe {
    enum class Mode { Record, EndByZero, EndByOwnHandle, ShortSleeps, Yields, EndlessSleep,
                      EndlessEventWait, RunUntilQuit, CloseOwnThenRunUntilQuit };
    Mode mode = Mode::Record;
    OS_HANDLE handle = 0;  // the creator's handle word
    OS_HANDLE event = 0;
    std::atomic<OS_HANDLE> handleSeen{0};
    std::atomic<size_t> stackBytes{0};
    char name[16] = {};
    std::atomic<pid_t> tid{0};
    std::atomic<unsigned> laps{0};
    std::atomic<OS_RESULT> ownClose{~0u};
    std::atomic<bool> quit{false}, after{false}, gone{false};

    bool ended() const { return gone && !threadAlive(tid); }
};

struct SetOnDestruction {
    std::atomic<bool>& flag;
    ~SetOnDestruction() { flag = true; }
};

void probeTask(void* argument) {
    auto* p = static_cast<Probe*>(argument);
    SetOnDestruction guard{p->gone};  // runs on return and on pthread_exit alike
    p->handleSeen = p->handle;
    pthread_attr_t attr;
    size_t stack = 0;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        pthread_attr_getstacksize(&attr, &stack);
        pthread_attr_destroy(&attr);
    }
    p->stackBytes = stack;
    pthread_getname_np(pthread_self(), p->name, sizeof p->name);
    p->tid = gettid();
    using M = Probe::Mode;
    if (p->mode == M::CloseOwnThenRunUntilQuit) p->ownClose = osCloseTaskHandle(p->handle);
    if (p->mode == M::EndByZero) osKillTask(0);
    if (p->mode == M::EndByOwnHandle) osKillTask(p->handle);
    for (;;) {
        ++p->laps;
        switch (p->mode) {
            case M::ShortSleeps: osSleep(5); break;
            case M::Yields: osSleep(0); break;
            case M::EndlessSleep: osSleep(0xFFFFFFFFu); break;
            case M::EndlessEventWait: osReceiveEvent(p->event, OS_WAIT_FOREVER); break;
            case M::RunUntilQuit:
            case M::CloseOwnThenRunUntilQuit:
                if (p->quit) return;
                osSleep(1);
                break;
            default: p->after = p->mode != M::Record; return;
        }
    }
}

OS_RESULT start(Probe& p, uint32_t stackSize = 10000, const char* name = "probe") {
    return osCreateTask(name, 0, stackSize, probeTask, &p, 0, &p.handle);
}

TEST(TevoTask, RunsWithItsHandleStoredBeforeItStartsWhateverTheStackSize) {
    // 10000 and 16000 are what the gateway link asks for: below the minimum.
    for (uint32_t size : {0u, 10000u, 16000u, (1u << 20) + 1u}) {
        SCOPED_TRACE(size);
        Probe p;
        ASSERT_EQ(0u, start(p, size, "OamZepConnectAndMore"));
        EXPECT_NE(0u, p.handle);
        ASSERT_TRUE(waitUntil([&] { return p.ended(); }));
        EXPECT_EQ(p.handle, p.handleSeen.load());
        EXPECT_GE(p.stackBytes.load(), size);
        EXPECT_GE(p.stackBytes.load(), static_cast<size_t>(PTHREAD_STACK_MIN));
        EXPECT_STREQ("OamZepConnectAn", p.name);
    }
    OS_HANDLE untouched = 7;
    EXPECT_EQ(OS_ERR_INVALID_ARG, osCreateTask(nullptr, 0, 0, probeTask, nullptr, 0, &untouched));
    EXPECT_EQ(OS_ERR_INVALID_ARG, osCreateTask("t", 0, 0, nullptr, nullptr, 0, &untouched));
    EXPECT_EQ(OS_ERR_INVALID_ARG, osCreateTask("t", 0, 0, probeTask, nullptr, 0, nullptr));
    EXPECT_EQ(7u, untouched);
}

TEST(TevoTask, KillingItselfEndsTheCallerAtOnceUnwindingItsStack) {
    for (auto mode : {Probe::Mode::EndByZero, Probe::Mode::EndByOwnHandle}) {
        Probe p;
        p.mode = mode;
        ASSERT_EQ(0u, start(p));
        ASSERT_TRUE(waitUntil([&] { return p.ended(); }));
        EXPECT_FALSE(p.after) << "code after osKillTask ran";
        // Ended without anyone closing the handle: the handle names nothing.
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osKillTask(p.handle));
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osCloseTaskHandle(p.handle));
    }
    // Any thread may end itself this way, not only a task.
    Probe p;
    p.mode = Probe::Mode::EndByZero;
    std::thread plain(probeTask, &p);
    plain.join();
    EXPECT_TRUE(p.gone);
    EXPECT_FALSE(p.after);
}

TEST(TevoTask, KillingAnotherTaskEndsItAtItsNextSleepOrWait) {
    OS_HANDLE event = 0;
    ASSERT_EQ(0u, osCreateEvent("TevoKillWhileWaiting", 0, &event));
    using M = Probe::Mode;
    for (auto mode : {M::ShortSleeps, M::Yields, M::EndlessSleep, M::EndlessEventWait}) {
        SCOPED_TRACE(static_cast<int>(mode));
        Probe p;
        p.mode = mode;
        p.event = event;
        ASSERT_EQ(0u, start(p));
        ASSERT_TRUE(waitUntil([&] { return p.laps > 0; }));
        EXPECT_EQ(0u, osKillTask(p.handle));
        EXPECT_TRUE(waitUntil([&] { return p.ended(); }));
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osKillTask(p.handle));
    }
    // The task that died waiting on the event took no signal with it.
    EXPECT_EQ(0u, osSendEvent(event));
    EXPECT_EQ(0u, osReceiveEvent(event, 0));
    EXPECT_EQ(0u, osKillEvent(event));
}

TEST(TevoTask, ClosingTheHandleLeavesTheTaskRunning) {
    for (auto mode : {Probe::Mode::RunUntilQuit, Probe::Mode::CloseOwnThenRunUntilQuit}) {
        SCOPED_TRACE(static_cast<int>(mode));
        Probe p;
        p.mode = mode;
        ASSERT_EQ(0u, start(p));
        ASSERT_TRUE(waitUntil([&] { return p.laps > 0; }));
        EXPECT_EQ(0u, mode == Probe::Mode::RunUntilQuit ? osCloseTaskHandle(p.handle)
                                                        : p.ownClose.load());
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osCloseTaskHandle(p.handle));
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osKillTask(p.handle));
        const unsigned seen = p.laps;
        EXPECT_TRUE(waitUntil([&] { return p.laps > seen + 3; }));
        p.quit = true;
        EXPECT_TRUE(waitUntil([&] { return p.ended(); }));
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
    for (const auto& list : seen) distinct.insert(list.begin(), list.end());
    EXPECT_EQ(size_t{2 * kThreads * kRounds}, distinct.size());
    EXPECT_EQ(0u, distinct.count(0));
    EXPECT_TRUE(waitUntil([&] { return ran == kThreads * kRounds; }));

    // Unknown, released and wrong-kind handles: an error, never a crash.
    OS_HANDLE event = 0;
    Probe running;
    running.mode = Probe::Mode::RunUntilQuit;
    ASSERT_EQ(0u, osCreateEvent("TevoWrongKind", 0, &event));
    ASSERT_EQ(0u, start(running));
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
    EXPECT_EQ(OS_ERR_BAD_HANDLE, osSendEvent(running.handle));
    EXPECT_EQ(OS_ERR_BAD_HANDLE, osReceiveEvent(running.handle, 0));
    EXPECT_EQ(OS_ERR_BAD_HANDLE, osKillEvent(running.handle));
    running.quit = true;
    EXPECT_TRUE(waitUntil([&] { return running.ended(); }));
    EXPECT_EQ(0u, osKillEvent(event));
}

TEST(TevoTask, AThousandEndedTasksLeaveNoThreadOrHandleBehind) {
    // One task first: a runtime may start helper threads of its own with the
    // first thread (the thread sanitizer does); they are not ours to count.
    Probe warmUp;
    ASSERT_EQ(0u, start(warmUp));
    ASSERT_TRUE(waitUntil([&] { return warmUp.ended(); }));
    const int baseline = testsupport::threadCount();

    // Ending by return, by osKillTask(0), and by return after closing its own handle.
    constexpr unsigned kTasks = 1000, kBatch = 100;
    const Probe::Mode modes[] = {Probe::Mode::Record, Probe::Mode::EndByZero,
                                 Probe::Mode::CloseOwnThenRunUntilQuit};
    std::vector<Probe> probes(kTasks);
    for (unsigned i = 0; i < kTasks; ++i) {
        probes[i].mode = modes[i % 3];
        probes[i].quit = true;
        ASSERT_EQ(0u, start(probes[i]));
        // Bounded bursts keep the peak thread count modest on small machines.
        if ((i + 1) % kBatch == 0) {
            ASSERT_TRUE(waitUntil([&] { return probes[i].gone.load(); }));
        }
    }
    EXPECT_TRUE(waitUntil([&] { return testsupport::threadsBackTo(baseline); }))
        << testsupport::threadCount() << " threads, " << baseline << " before";
    for (const auto& p : probes) {
        EXPECT_TRUE(p.gone);
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osCloseTaskHandle(p.handle));
    }
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
    // "threadsafe" re-executes the test program, which cannot start by itself
    // under an emulator; there the child is forked, which is safe enough when
    // ctest runs each test in a process of its own.
    GTEST_FLAG_SET(death_test_style, testsupport::kUnderEmulator ? "fast" : "threadsafe");
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

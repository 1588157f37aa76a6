// Tasks and named events as the gateway link uses them: tasks started with small stacks that
// close their own handles, a task asked to end while it sleeps or waits, the connection
// hand-shake over a named event, and no thread or handle left behind.
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
    enum class Mode { Record, ShortSleeps, EndlessSleep, EndlessEventWait, RunUntilQuit,
                      CloseOwnThenRunUntilQuit };
    Mode mode = Mode::Record;
    OS_HANDLE handle = 0;  // the creator's handle word
    OS_HANDLE event = 0;
    std::atomic<OS_HANDLE> handleSeen{0};
    std::atomic<size_t> stackBytes{0};
    std::atomic<pid_t> tid{0};
    std::atomic<unsigned> laps{0};
    std::atomic<OS_RESULT> ownClose{~0u};
    std::atomic<bool> quit{false}, gone{false};

    bool ended() const { return gone && !threadAlive(tid); }
};

struct SetOnDestruction {
    std::atomic<bool>& flag;
    ~SetOnDestruction() { flag = true; }
};

void probeTask(void* argument) {
    auto* p = static_cast<Probe*>(argument);
    SetOnDestruction guard{p->gone};  // runs on return and on the unwinding of a kill alike
    p->handleSeen = p->handle;
    pthread_attr_t attr;
    size_t stack = 0;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        pthread_attr_getstacksize(&attr, &stack);
        pthread_attr_destroy(&attr);
    }
    p->stackBytes = stack;
    p->tid = gettid();
    using M = Probe::Mode;
    if (p->mode == M::CloseOwnThenRunUntilQuit) p->ownClose = osCloseTaskHandle(p->handle);
    for (;;) {
        ++p->laps;
        switch (p->mode) {
            case M::ShortSleeps: osSleep(5); break;
            case M::EndlessSleep: osSleep(0xFFFFFFFFu); break;
            case M::EndlessEventWait: osReceiveEvent(p->event, OS_WAIT_FOREVER); break;
            case M::RunUntilQuit:
            case M::CloseOwnThenRunUntilQuit:
                if (p->quit) return;
                osSleep(1);
                break;
            default: return;
        }
    }
}

OS_RESULT start(Probe& p, uint32_t stackSize = 10000) {
    return osCreateTask("probe", 0, stackSize, probeTask, &p, 0, &p.handle);
}

TEST(TevoTask, RunsWithItsHandleStoredBeforeItStartsWhateverTheStackSize) {
    // 10000 and 16000 are what the gateway link asks for: below the minimum.
    for (uint32_t size : {0u, 10000u, 16000u, (1u << 20) + 1u}) {
        SCOPED_TRACE(size);
        Probe p;
        ASSERT_EQ(0u, start(p, size));
        EXPECT_NE(0u, p.handle);
        ASSERT_TRUE(waitUntil([&] { return p.ended(); }));
        EXPECT_EQ(p.handle, p.handleSeen.load());
        EXPECT_GE(p.stackBytes.load(), size);
        EXPECT_GE(p.stackBytes.load(), static_cast<size_t>(PTHREAD_STACK_MIN));
    }
}

TEST(TevoTask, KillingAnotherTaskEndsItAtItsNextSleepOrWait) {
    OS_HANDLE event = 0;
    ASSERT_EQ(0u, osCreateEvent("TevoKillWhileWaiting", 0, &event));
    using M = Probe::Mode;
    for (auto mode : {M::ShortSleeps, M::EndlessSleep, M::EndlessEventWait}) {
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

TEST(TevoTask, HandlesAreNeverRepeatedAndStaleOnesAreRefused) {
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

    // Released handles: an error, never a crash.
    for (OS_HANDLE bad : {0xFFFFFFFFu, *distinct.begin(), *distinct.rbegin()}) {
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osKillTask(bad));
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osCloseTaskHandle(bad));
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osSendEvent(bad));
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osReceiveEvent(bad, 0));
        EXPECT_EQ(OS_ERR_BAD_HANDLE, osKillEvent(bad));
    }
}

TEST(TevoTask, AThousandEndedTasksLeaveNoThreadOrHandleBehind) {
    // One task first: a runtime may start helper threads of its own with the
    // first thread (the thread sanitizer does); they are not ours to count.
    Probe warmUp;
    ASSERT_EQ(0u, start(warmUp));
    ASSERT_TRUE(waitUntil([&] { return warmUp.ended(); }));
    const int baseline = testsupport::threadCount();

    // Ending by return, with the handle open and after closing it.
    constexpr unsigned kTasks = 1000, kBatch = 100;
    std::vector<Probe> probes(kTasks);
    for (unsigned i = 0; i < kTasks; ++i) {
        probes[i].mode = i % 2 ? Probe::Mode::Record : Probe::Mode::CloseOwnThenRunUntilQuit;
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

// Runs until the process ends: sleeping (0), waiting on an event (1) or signalling it (2).
std::atomic<unsigned> busyTasks{0};
void busyTask(void* argument) {
    const auto kind = reinterpret_cast<uintptr_t>(argument);
    OS_HANDLE event = 0;
    osCreateEvent("TevoExitWhileBusy", 0, &event);
    ++busyTasks;
    for (;;) {
        if (kind == 1) osReceiveEvent(event, OS_WAIT_FOREVER);
        if (kind == 2) osSendEvent(event);
        osSleep(kind == 0 ? 1 : 0);
    }
}

// The gateway link's tasks run until the process ends.
TEST(TevoTask, ProcessExitsCleanlyWhileTasksStillRun) {
    // "threadsafe" re-executes the test program, which cannot start by itself
    // under an emulator; there the child is forked, which is safe enough when
    // ctest runs each test in a process of its own.
    GTEST_FLAG_SET(death_test_style, testsupport::kUnderEmulator ? "fast" : "threadsafe");
    EXPECT_EXIT(
        {
            OS_HANDLE handle = 0;
            for (uintptr_t kind : {0, 1, 2, 0})
                osCreateTask("busy", 0, 10000, busyTask, reinterpret_cast<void*>(kind), 0, &handle);
            waitUntil([] { return busyTasks == 4; });
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST(TevoEvent, ANameNamesOneEventUntilItIsKilled) {
    OS_HANDLE first = 0, again = 0, other = 0, renewed = 0;
    ASSERT_EQ(0u, osCreateEvent("OamZepConnectEvnt", 0, &first));
    EXPECT_NE(0u, first);
    EXPECT_EQ(OS_ERR_EVENT_EXISTS, osCreateEvent("OamZepConnectEvnt", 0, &again));
    EXPECT_EQ(first, again);
    ASSERT_EQ(0u, osCreateEvent("OamZepConnectEvnt2", 0, &other));
    EXPECT_NE(first, other);

    EXPECT_EQ(0u, osKillEvent(first));
    EXPECT_EQ(OS_ERR_BAD_HANDLE, osKillEvent(first));
    ASSERT_EQ(0u, osCreateEvent("OamZepConnectEvnt", 0, &renewed));
    EXPECT_NE(first, renewed);
    // The old handle stays dead; it does not reach the new event.
    EXPECT_EQ(OS_ERR_BAD_HANDLE, osSendEvent(first));
    EXPECT_EQ(OS_ERR_TIMEOUT, osReceiveEvent(renewed, 0));
    EXPECT_EQ(0u, osKillEvent(other));
    EXPECT_EQ(0u, osKillEvent(renewed));
}

TEST(TevoEvent, ASignalIsKeptUntilTakenAndSignalsDoNotAddUp) {
    OS_HANDLE event = 0;
    ASSERT_EQ(0u, osCreateEvent("TevoKeptSignal", 0, &event));
    EXPECT_EQ(OS_ERR_TIMEOUT, osReceiveEvent(event, 0));
    EXPECT_EQ(OS_ERR_TIMEOUT, osReceiveEvent(event, 20));
    EXPECT_EQ(0u, osSendEvent(event));
    EXPECT_EQ(0u, osSendEvent(event));
    EXPECT_EQ(0u, osReceiveEvent(event, 10000));
    EXPECT_EQ(OS_ERR_TIMEOUT, osReceiveEvent(event, 0)) << "signals added up, or not reset when taken";
    EXPECT_EQ(0u, osKillEvent(event));
}

// The gateway link's connection hand-shake at shut-down: the connection task
// signals the event and returns; the shut-down waits for the signal, closes
// the task's handle (ended or not) and deletes the event.
struct Handshake {
    OS_HANDLE event = 0;
    pid_t shutdownTid = 0;  // when set, signal only once that thread is blocked
    std::atomic<pid_t> tid{0};
    std::atomic<bool> sent{false};
};

void connectionTask(void* argument) {
    auto* h = static_cast<Handshake*>(argument);
    h->tid = gettid();
    while (h->shutdownTid != 0 && !tevotest::threadBlocked(h->shutdownTid)) osSleep(1);
    osSendEvent(h->event);
    h->sent = true;
}

TEST(TevoEvent, ConnectionHandshakeCompletesAndTheTaskEnds) {
    for (bool signalFirst : {true, false}) {
        SCOPED_TRACE(signalFirst ? "signal before the wait" : "wait before the signal");
        Handshake h;
        OS_HANDLE task = 0;
        ASSERT_EQ(0u, osCreateEvent("OamZepConnectEvnt", 0, &h.event));
        if (!signalFirst) h.shutdownTid = gettid();
        ASSERT_EQ(0u, osCreateTask("OamZepConnect", 0, 16000, connectionTask, &h, 0, &task));
        if (signalFirst) {
            ASSERT_TRUE(waitUntil([&] { return h.sent && !threadAlive(h.tid); }));
        }
        EXPECT_EQ(0u, osReceiveEvent(h.event, 60000));
        const OS_RESULT closed = osCloseTaskHandle(task);
        EXPECT_TRUE(closed == 0 || closed == OS_ERR_BAD_HANDLE) << closed;
        EXPECT_EQ(0u, osKillEvent(h.event));
        ASSERT_TRUE(waitUntil([&] { return h.sent && !threadAlive(h.tid); }));
    }
}

}  // namespace

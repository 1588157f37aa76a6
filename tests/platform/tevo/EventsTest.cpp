// Named events: creation by name, signals kept and taken, waits that end by
// signal, time-out or deletion.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "TestSupport.hpp"
#include "ThreadProbe.hpp"
#include "tevo.h"

namespace {

using testsupport::waitUntil;
using tevotest::threadAlive;
using tevotest::threadBlocked;

constexpr OS_RESULT kPending = 0xDEADu;

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
    EXPECT_EQ(OS_ERR_BAD_HANDLE, osSendEvent(first));
    ASSERT_EQ(0u, osCreateEvent("OamZepConnectEvnt", 0, &renewed));
    EXPECT_NE(first, renewed);
    // The old handle stays dead; it does not reach the new event.
    EXPECT_EQ(OS_ERR_BAD_HANDLE, osSendEvent(first));
    EXPECT_EQ(OS_ERR_TIMEOUT, osReceiveEvent(renewed, 0));

    OS_HANDLE untouched = 5;
    EXPECT_EQ(OS_ERR_INVALID_ARG, osCreateEvent(nullptr, 0, &untouched));
    EXPECT_EQ(OS_ERR_INVALID_ARG, osCreateEvent("", 0, &untouched));
    EXPECT_EQ(OS_ERR_INVALID_ARG, osCreateEvent("TevoNoOutput", 0, nullptr));
    EXPECT_EQ(5u, untouched);
    EXPECT_EQ(0u, osKillEvent(other));
    EXPECT_EQ(0u, osKillEvent(renewed));
}

TEST(TevoEvent, ASignalIsKeptUntilTakenAndSignalsDoNotAddUp) {
    OS_HANDLE event = 0;
    ASSERT_EQ(0u, osCreateEvent("TevoKeptSignal", 0, &event));
    EXPECT_EQ(OS_ERR_TIMEOUT, osReceiveEvent(event, 0));
    EXPECT_EQ(OS_ERR_TIMEOUT, osReceiveEvent(event, 20));
    // Signalled before anyone waits: the next wait takes it.
    EXPECT_EQ(0u, osSendEvent(event));
    EXPECT_EQ(0u, osReceiveEvent(event, 0));
    EXPECT_EQ(OS_ERR_TIMEOUT, osReceiveEvent(event, 0)) << "not reset when taken";
    EXPECT_EQ(0u, osSendEvent(event));
    EXPECT_EQ(0u, osSendEvent(event));
    EXPECT_EQ(0u, osReceiveEvent(event, 10000));
    EXPECT_EQ(OS_ERR_TIMEOUT, osReceiveEvent(event, 0));
    EXPECT_EQ(0u, osKillEvent(event));
}

// Threads blocked in osReceiveEvent, and what each got back.
class Waiters {
public:
    Waiters(OS_HANDLE event, size_t count) : results_(count) {
        for (auto& r : results_) r = kPending;
        for (size_t i = 0; i < count; ++i)
            threads_.emplace_back([this, event, i] {
                tids_[i] = gettid();
                results_[i] = osReceiveEvent(event, OS_WAIT_FOREVER);
            });
    }
    ~Waiters() {
        for (auto& t : threads_) t.join();
    }
    // Waits until every waiter has most likely reached its wait.
    bool allBlocked() {
        return waitUntil([&] {
            for (size_t i = 0; i < threads_.size(); ++i)
                if (tids_[i] == 0 || results_[i] != kPending || !threadBlocked(tids_[i]))
                    return false;
            return true;
        });
    }
    size_t count(OS_RESULT result) const {
        size_t n = 0;
        for (const auto& r : results_) n += r == result;
        return n;
    }
    size_t finished() const { return results_.size() - count(kPending); }

private:
    std::vector<std::atomic<OS_RESULT>> results_;
    std::array<std::atomic<pid_t>, 8> tids_{};
    std::vector<std::thread> threads_;
};

TEST(TevoEvent, EachSignalReleasesOneBlockedWaiter) {
    OS_HANDLE event = 0;
    ASSERT_EQ(0u, osCreateEvent("TevoOneByOne", 0, &event));
    {
        Waiters waiters(event, 2);
        ASSERT_TRUE(waiters.allBlocked());
        EXPECT_EQ(0u, osSendEvent(event));
        ASSERT_TRUE(waitUntil([&] { return waiters.finished() >= 1; }));
        EXPECT_EQ(1u, waiters.count(0)) << "one signal released two waiters";
        EXPECT_EQ(0u, osSendEvent(event));
        ASSERT_TRUE(waitUntil([&] { return waiters.finished() == 2; }));
        EXPECT_EQ(2u, waiters.count(0));
    }
    EXPECT_EQ(OS_ERR_TIMEOUT, osReceiveEvent(event, 0));
    EXPECT_EQ(0u, osKillEvent(event));
}

TEST(TevoEvent, KillingTheEventWakesEveryWaiterWithAnError) {
    OS_HANDLE event = 0;
    ASSERT_EQ(0u, osCreateEvent("TevoKilledUnderWaiters", 0, &event));
    {
        Waiters waiters(event, 3);
        ASSERT_TRUE(waiters.allBlocked());
        EXPECT_EQ(0u, osKillEvent(event));
        ASSERT_TRUE(waitUntil([&] { return waiters.finished() == 3; }));
        // A waiter that had not yet looked the handle up finds none.
        EXPECT_EQ(3u, waiters.count(OS_ERR_EVENT_KILLED) + waiters.count(OS_ERR_BAD_HANDLE));
    }
    OS_HANDLE renewed = 0;
    EXPECT_EQ(0u, osCreateEvent("TevoKilledUnderWaiters", 0, &renewed));
    EXPECT_EQ(0u, osKillEvent(renewed));
}

// The gateway link's connection hand-shake: the connection task signals, then
// polls with 1-ms sleeps until the shut-down has deleted the event, then ends
// itself; the shut-down waits for the signal, closes the task's handle and
// deletes the event.
struct Handshake {
    std::atomic<OS_HANDLE> event{0};
    std::atomic<pid_t> tid{0};
    pid_t shutdownTid = 0;  // when set, signal only once that thread is blocked
    std::atomic<bool> sent{false};
    std::atomic<bool> leaving{false};  // the task's last touch of this object
};

void connectionTask(void* argument) {
    auto* h = static_cast<Handshake*>(argument);
    h->tid = gettid();
    while (h->shutdownTid != 0 && !tevotest::threadBlocked(h->shutdownTid)) osSleep(1);
    osSendEvent(h->event);
    h->sent = true;
    while (h->event != 0) osSleep(1);
    h->leaving = true;
    osKillTask(0);
}

TEST(TevoEvent, ConnectionHandshakeCompletesAndTheTaskEnds) {
    for (bool signalFirst : {true, false}) {
        SCOPED_TRACE(signalFirst ? "signal before the wait" : "wait before the signal");
        Handshake h;
        OS_HANDLE event = 0, task = 0;
        ASSERT_EQ(0u, osCreateEvent("OamZepConnectEvnt", 0, &event));
        h.event = event;
        if (!signalFirst) h.shutdownTid = gettid();
        ASSERT_EQ(0u, osCreateTask("OamZepConnect", 0, 16000, connectionTask, &h, 0, &task));
        if (signalFirst) {
            ASSERT_TRUE(waitUntil([&] { return h.sent.load(); }));
        }
        EXPECT_EQ(0u, osReceiveEvent(event, 60000));
        EXPECT_EQ(0u, osCloseTaskHandle(task));
        EXPECT_EQ(0u, osKillEvent(event));
        h.event = 0;
        ASSERT_TRUE(waitUntil([&] { return h.leaving && !threadAlive(h.tid); }));
    }
}

}  // namespace

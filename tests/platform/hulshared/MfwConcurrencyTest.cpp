// The message framework across threads and processes: the two-way exchange,
// participants that die or stop reading, waking a waiting message loop, and
// participants whose socket files disappear.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Exchange.hpp"
#include "HulMfw.h"
#include "HulMfwStandIn.h"
#include "TestSupport.hpp"

namespace {

using testsupport::ChildProcess;
using testsupport::waitUntil;

class MfwConcurrency : public ::testing::Test {
protected:
    void TearDown() override { HulMfwCleanup(); }

    static HUL_PROCESS_HANDLE waitForName(const char* name) {
        HUL_PROCESS_HANDLE h = 0;
        EXPECT_TRUE(waitUntil([&] { return HulMfwGetProcessHandle(name, &h) == 0; }, std::chrono::seconds(60)))
            << name << " never joined";
        return h;
    }
    static HUL_PROCESS_HANDLE self() {
        HUL_PROCESS_HANDLE h = 0;
        HulMfwGetProcessHandle(nullptr, &h);
        return h;
    }

    testsupport::PlatformSandbox sandbox_;
};

// True once the thread sleeps in the kernel, i.e. is blocked in a wait.
bool sleepingInKernel(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t paren = text.rfind(')');
    return paren != std::string::npos && paren + 2 < text.size() && text[paren + 2] == 'S';
}

TEST_F(MfwConcurrency, TwoProcessesExchangeHundredThousandMessagesEachWay) {
    constexpr uint32_t kCount = 100000;
    ASSERT_EQ(HulMfwInitializeAs("acceptor"), 0u);
    ChildProcess peer({HULSHARED_PEER, "exchange", "peer", "acceptor", std::to_string(kCount)});
    EXPECT_EQ(exchange::run("peer", kCount), "");
    EXPECT_EQ(exchange::receiver().received.load(), kCount);
    EXPECT_EQ(peer.wait(std::chrono::minutes(5)), 0);
}

TEST_F(MfwConcurrency, KilledParticipantIsGoneAndItsNameGoesToANewProcess) {
    ASSERT_EQ(HulMfwInitializeAs("observer"), 0u);
    ChildProcess first({HULSHARED_PEER, "idle", "victim"});
    const HUL_PROCESS_HANDLE before = waitForName("victim");
    ASSERT_NE(before, 0u);
    EXPECT_EQ(HulMfwInitializeAs("victim"), HUL_ERR_ALREADY_JOINED);

    first.kill9();
    HUL_PROCESS_HANDLE h = 0;
    EXPECT_EQ(HulMfwGetProcessHandle("victim", &h), HUL_ERR_NO_PROCESS);
    unsigned char buffer[HUL_MFW_HEADER_SIZE + 4] = {};
    EXPECT_EQ(HulMfwSendMessage(before, 4, 0, buffer, 4), HUL_ERR_NO_PROCESS);

    ChildProcess second({HULSHARED_PEER, "idle", "victim"});
    const HUL_PROCESS_HANDLE after = waitForName("victim");
    EXPECT_NE(after, before);
    EXPECT_EQ(HulMfwSendMessage(after, 4, 0, buffer, 4), 0u);

    // A live holder keeps its name.
    ASSERT_EQ(HulMfwCleanup(), 0u);
    EXPECT_EQ(HulMfwInitializeAs("victim"), HUL_ERR_NAME_IN_USE);
    ASSERT_EQ(HulMfwGetProcessHandle("victim", &h), 0u);
    EXPECT_EQ(h, after);
}

TEST_F(MfwConcurrency, SendingToAReceiverThatNeverReadsFailsInsteadOfHanging) {
    ASSERT_EQ(HulMfwInitializeAs("filler"), 0u);
    ChildProcess sink({HULSHARED_PEER, "idle", "sink"});
    const HUL_PROCESS_HANDLE to = waitForName("sink");
    unsigned char buffer[HUL_MFW_HEADER_SIZE + 512] = {};
    HUL_RESULT rc = 0;
    int sent = 0;
    while (sent < 100000 && (rc = HulMfwSendMessage(to, 4, 0, buffer, 512)) == 0) ++sent;
    EXPECT_EQ(rc, HUL_ERR_TIMEOUT);
    EXPECT_GT(sent, 0);
    // The sender is none the worse for it.
    HulMfwRegisterCallback(4, [](uint16_t, uint32_t, void*, uint32_t) {});
    EXPECT_EQ(HulMfwSendMessage(self(), 4, 0, buffer, 512), 0u);
    EXPECT_EQ(HulMfwProcessNextMessage(5000), 0u);
}

TEST_F(MfwConcurrency, QuitMessageToOneselfWakesALoopWaitingWithoutLimit) {
    ASSERT_EQ(HulMfwInitializeAs("looper"), 0u);
    std::atomic<bool> quit{false}, ended{false};
    std::atomic<pid_t> tid{0};
    std::thread loop([&] {
        tid = static_cast<pid_t>(syscall(SYS_gettid));
        while (!quit.load()) HulMfwProcessNextMessage(HUL_MFW_WAIT_FOREVER);
        ended = true;
    });
    ASSERT_TRUE(waitUntil([&] { return tid.load() != 0 && sleepingInKernel(tid.load()); }));
    quit = true;
    unsigned char buffer[HUL_MFW_HEADER_SIZE] = {};
    EXPECT_EQ(HulMfwSendMessage(self(), HUL_MFW_CLASS_QUIT, 0, buffer, 0), 0u);
    EXPECT_TRUE(waitUntil([&] { return ended.load(); }));
    if (!ended.load()) HulMfwCleanup();  // free the loop so the test can end
    loop.join();
}

TEST_F(MfwConcurrency, CleanupWakesALoopWaitingWithoutLimit) {
    ASSERT_EQ(HulMfwInitializeAs("leaver"), 0u);
    std::atomic<pid_t> tid{0};
    std::atomic<HUL_RESULT> result{0xFFFFFFFF};
    std::thread loop([&] {
        tid = static_cast<pid_t>(syscall(SYS_gettid));
        result = HulMfwProcessNextMessage(HUL_MFW_WAIT_FOREVER);
    });
    ASSERT_TRUE(waitUntil([&] { return tid.load() != 0 && sleepingInKernel(tid.load()); }));
    ASSERT_EQ(HulMfwCleanup(), 0u);
    EXPECT_TRUE(waitUntil([&] { return result.load() != 0xFFFFFFFF; }));
    loop.join();
    EXPECT_EQ(result.load(), HUL_ERR_NOT_JOINED);
    EXPECT_EQ(HulMfwProcessNextMessage(HUL_MFW_WAIT_FOREVER), HUL_ERR_NOT_JOINED);
}

// A socket file removed under a participant, its peer's or its own, or with
// the whole directory: each binds again under the same handle and name, and
// messages flow both ways again. This process waits as the gateway link does,
// in a loop without limit, while another thread sends.
std::atomic<uint32_t> echoes{0};
void countEcho(uint16_t, uint32_t, void*, uint32_t) { echoes++; }

TEST_F(MfwConcurrency, ParticipantsBindAgainWhenTheirSocketFilesDisappear) {
    ASSERT_EQ(HulMfwInitializeAs("caller"), 0u);
    const HUL_PROCESS_HANDLE own = self();
    HulMfwRegisterCallback(4, countEcho);
    std::atomic<bool> stop{false};
    std::thread loop([&] {
        while (!stop.load()) HulMfwProcessNextMessage(HUL_MFW_WAIT_FOREVER);
    });
    ChildProcess peer({HULSHARED_PEER, "echo", "echo"});
    const HUL_PROCESS_HANDLE echo = waitForName("echo");
    // True once a message to the peer came back; sent again while none does.
    auto roundTrip = [&] {
        const uint32_t before = echoes.load();
        unsigned char buffer[HUL_MFW_HEADER_SIZE + 8] = {};
        return waitUntil([&] {
            HulMfwSendMessage(echo, 4, 0, buffer, 8);
            return waitUntil([&] { return echoes.load() != before; }, std::chrono::milliseconds(200));
        });
    };
    const std::string dir = sandbox_.dir().path();
    auto socketFile = [&](HUL_PROCESS_HANDLE h) {
        char name[16];
        snprintf(name, sizeof name, "/p%08x", h);
        return dir + name;
    };
    ASSERT_TRUE(roundTrip());

    ASSERT_EQ(unlink(socketFile(echo).c_str()), 0);
    EXPECT_TRUE(roundTrip()) << "peer's socket file removed";
    ASSERT_EQ(unlink(socketFile(own).c_str()), 0);
    EXPECT_TRUE(roundTrip()) << "own socket file removed";

    // The directory goes away at once, then its contents.
    ASSERT_EQ(rename(dir.c_str(), (dir + ".gone").c_str()), 0);
    std::error_code ignored;
    std::filesystem::remove_all(dir + ".gone", ignored);
    EXPECT_TRUE(roundTrip()) << "directory removed";
    struct stat st;
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    HUL_PROCESS_HANDLE h = 0;
    EXPECT_TRUE(waitUntil([&] { return HulMfwGetProcessHandle("caller", &h) == 0 && h == own; }));
    EXPECT_TRUE(waitUntil([&] { return HulMfwGetProcessHandle("echo", &h) == 0 && h == echo; }));
    EXPECT_EQ(self(), own);

    stop = true;
    ASSERT_EQ(HulMfwCleanup(), 0u);  // wakes the loop
    loop.join();
}

// Several threads send while one loop dispatches: every message arrives once,
// in each sender's order.
std::vector<std::atomic<uint32_t>> nextFrom(8);
std::atomic<uint32_t> disorder{0};
void countInOrder(uint16_t, uint32_t, void* message, uint32_t) {
    uint32_t sender = 0, seq = 0;
    memcpy(&sender, static_cast<char*>(message) + HUL_MFW_HEADER_SIZE, 4);
    memcpy(&seq, static_cast<char*>(message) + HUL_MFW_HEADER_SIZE + 4, 4);
    if (sender >= nextFrom.size() || nextFrom[sender].load() != seq) disorder++;
    else nextFrom[sender]++;
}

TEST_F(MfwConcurrency, ManySendingThreadsAndOneLoopLoseNothing) {
    constexpr uint32_t kThreads = 4, kEach = 5000;
    for (auto& n : nextFrom) n = 0;
    disorder = 0;
    ASSERT_EQ(HulMfwInitializeAs("crowd"), 0u);
    HulMfwRegisterCallback(9, countInOrder);
    std::atomic<bool> stop{false};
    std::thread loop([&] {
        while (!stop.load()) HulMfwProcessNextMessage(100);
    });
    std::vector<std::thread> senders;
    std::atomic<uint32_t> failures{0};
    for (uint32_t t = 0; t < kThreads; ++t) {
        senders.emplace_back([&, t] {
            unsigned char buffer[HUL_MFW_HEADER_SIZE + 64] = {};
            for (uint32_t i = 0; i < kEach; ++i) {
                memcpy(buffer + HUL_MFW_HEADER_SIZE, &t, 4);
                memcpy(buffer + HUL_MFW_HEADER_SIZE + 4, &i, 4);
                if (HulMfwSendMessage(self(), 9, 0, buffer, 64) != 0) failures++;
            }
        });
    }
    for (auto& s : senders) s.join();
    EXPECT_TRUE(waitUntil([&] {
        uint32_t total = 0;
        for (uint32_t t = 0; t < kThreads; ++t) total += nextFrom[t].load();
        return total == kThreads * kEach || disorder.load() != 0;
    }));
    stop = true;
    loop.join();
    EXPECT_EQ(failures.load(), 0u);
    EXPECT_EQ(disorder.load(), 0u);
    for (uint32_t t = 0; t < kThreads; ++t) EXPECT_EQ(nextFrom[t].load(), kEach) << "sender " << t;
}

// Joining and leaving over and over while other threads send and wait for
// messages: calls fail with error codes while the process is not joined,
// none touches a closed socket (the sanitizer builds see to that).
TEST_F(MfwConcurrency, JoinAndLeaveRaceWithSendersAndLoops) {
    HulMfwRegisterCallback(4, [](uint16_t, uint32_t, void*, uint32_t) {});
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> unexpected{0};
    std::vector<std::thread> users;
    users.emplace_back([&] {
        while (!stop.load()) {
            const HUL_RESULT rc = HulMfwProcessNextMessage(5);
            if (rc != 0 && rc != HUL_ERR_TIMEOUT && rc != HUL_ERR_NOT_JOINED) unexpected++;
        }
    });
    users.emplace_back([&] {
        while (!stop.load()) {
            const HUL_RESULT rc = HulMfwProcessNextMessage(HUL_MFW_WAIT_FOREVER);
            if (rc != 0 && rc != HUL_ERR_NOT_JOINED) unexpected++;
        }
    });
    for (int t = 0; t < 2; ++t) {
        users.emplace_back([&] {
            unsigned char buffer[HUL_MFW_HEADER_SIZE + 32] = {};
            while (!stop.load()) {
                HUL_PROCESS_HANDLE h = 0;
                HulMfwGetProcessHandle(nullptr, &h);
                const HUL_RESULT rc = HulMfwSendMessage(h, 4, 0, buffer, 32);
                if (rc != 0 && rc != HUL_ERR_NOT_JOINED && rc != HUL_ERR_NO_PROCESS) unexpected++;
            }
        });
    }
    for (int round = 0; round < 200; ++round) {
        ASSERT_EQ(HulMfwInitializeAs("flicker"), 0u);
        ASSERT_EQ(HulMfwCleanup(), 0u);
    }
    // The last cleanup woke every waiter, and calls fail at once from here.
    stop = true;
    for (auto& u : users) u.join();
    EXPECT_EQ(unexpected.load(), 0u);
}

}  // namespace

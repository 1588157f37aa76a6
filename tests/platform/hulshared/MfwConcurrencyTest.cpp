// The message framework across threads and processes: the two-way exchange,
// participants that die or stop reading, waking a waiting message loop,
// participants whose socket files disappear, and many senders to one loop.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "Exchange.hpp"
#include "HulMfw.h"
#include "HulMfwStandIn.h"
#include "TestSupport.hpp"
#include "ThreadProbe.hpp"

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
        tid = gettid();
        while (!quit.load()) HulMfwProcessNextMessage(HUL_MFW_WAIT_FOREVER);
        ended = true;
    });
    ASSERT_TRUE(waitUntil([&] { return tid.load() != 0 && tevotest::threadBlocked(tid.load()); }));
    quit = true;
    unsigned char buffer[HUL_MFW_HEADER_SIZE] = {};
    EXPECT_EQ(HulMfwSendMessage(self(), HUL_MFW_CLASS_QUIT, 0, buffer, 0), 0u);
    EXPECT_TRUE(waitUntil([&] { return ended.load(); }));
    if (!ended.load()) HulMfwCleanup();  // free the loop so the test can end
    loop.join();
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

}  // namespace

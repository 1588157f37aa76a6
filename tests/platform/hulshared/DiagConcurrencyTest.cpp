// The diagnostic log under many threads, and a process that exits while its
// tasks still log and exchange messages.
#include <gtest/gtest.h>
#include <stdio.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "HulDiag.h"
#include "LogLines.hpp"
#include "TestSupport.hpp"

namespace {

TEST(DiagConcurrency, EightThreadsWritingTenThousandEntriesEachLoseNothing) {
    constexpr int kThreads = 8, kEach = 10000;
    testsupport::PlatformSandbox sandbox;
    HUL_DIAG_HANDLE h = 0;
    ASSERT_EQ(HulDiagRegisterModule("Agent", "Component", "crowd", "crowd.log", &h), 0u);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([h, t] {
            char text[64];
            for (int i = 0; i < kEach; ++i) {
                snprintf(text, sizeof text, "thread %d entry %d", t, i);
                HulDiagAddLogEntry(h, 7, static_cast<uint16_t>(1 + t % 4), static_cast<uint32_t>(t), text);
            }
        });
    }
    for (auto& t : threads) t.join();
    ASSERT_EQ(HulDiagDeregisterModule(h), 0u);

    const auto all = loglines::read(sandbox.dir().file("crowd.log"));
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kEach));
    std::vector<int> next(kThreads, 0);
    int malformed = 0, disordered = 0;
    for (const std::string& line : all) {
        loglines::Entry e;
        int t = -1, i = -1;
        if (!loglines::parse(line, &e) || e.module != "crowd" ||
            sscanf(e.text.c_str(), "thread %d entry %d", &t, &i) != 2 || t < 0 || t >= kThreads ||
            e.id != static_cast<unsigned long>(t)) {
            ++malformed;
            continue;
        }
        if (i != next[t]++) ++disordered;
    }
    EXPECT_EQ(malformed, 0);
    EXPECT_EQ(disordered, 0);
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(next[t], kEach) << "thread " << t;
}

// Modules come and go while threads log to them: entries for a module that
// is gone land in the default log, nothing crashes, and a registration's own
// file holds only its own well-formed entries.
TEST(DiagConcurrency, ModulesComeAndGoWhileThreadsLogToThem) {
    testsupport::PlatformSandbox sandbox;
    std::atomic<HUL_DIAG_HANDLE> current{0};
    std::atomic<bool> stop{false};
    std::atomic<unsigned> unexpected{0};
    std::vector<std::thread> loggers;
    for (int t = 0; t < 3; ++t) {
        loggers.emplace_back([&] {
            while (!stop.load()) {
                const HUL_DIAG_RESULT rc = HulDiagAddLogEntry(current.load(), 6, 4, 1, "churn");
                if (rc != 0 && rc != HUL_DIAG_ERR_BAD_HANDLE) unexpected++;
            }
        });
    }
    for (int round = 0; round < 300; ++round) {
        HUL_DIAG_HANDLE h = 0;
        const std::string file = "churn" + std::to_string(round % 3) + ".log";
        ASSERT_EQ(HulDiagRegisterModule("Agent", "Component", "churn", file.c_str(), &h), 0u);
        current = h;
        ASSERT_EQ(HulDiagAddLogEntry(h, 7, 1, static_cast<uint32_t>(round), "marker"), 0u);
        ASSERT_EQ(HulDiagDeregisterModule(h), 0u);
    }
    stop = true;
    for (auto& t : loggers) t.join();
    EXPECT_EQ(unexpected.load(), 0u);

    int markers = 0;
    for (int f = 0; f < 3; ++f) {
        for (const std::string& line : loglines::read(sandbox.dir().file("churn" + std::to_string(f) + ".log"))) {
            loglines::Entry e;
            ASSERT_TRUE(loglines::parse(line, &e)) << line;
            EXPECT_EQ(e.module, "churn");
            markers += e.text == "marker";
        }
    }
    EXPECT_EQ(markers, 300);
}

// The peer's main returns while its tasks send, receive and log; entries made
// before exit, and one made by a static destructor after it, are all on disk.
TEST(DiagConcurrency, ProcessExitsCleanlyAroundRunningTasksAndKeepsItsEntries) {
    testsupport::PlatformSandbox sandbox;
    testsupport::ChildProcess peer({HULSHARED_PEER, "exit-busy", "busy"});
    ASSERT_EQ(peer.wait(std::chrono::minutes(2)), 0);

    int mainEntries = 0;
    bool last = false, late = false;
    size_t malformed = 0;
    const auto all = loglines::read(sandbox.dir().file("busy.log"));
    for (const std::string& line : all) {
        loglines::Entry e;
        if (!loglines::parse(line, &e)) {
            ++malformed;
            continue;
        }
        mainEntries += e.text == "main entry";
        last = last || e.text == "main last entry";
        late = late || e.text == "static destructor entry";
    }
    EXPECT_EQ(mainEntries, 1000);
    EXPECT_TRUE(last);
    EXPECT_TRUE(late);
    // Files are written in whole lines, even while the process ends.
    EXPECT_EQ(malformed, 0u);
}

}  // namespace

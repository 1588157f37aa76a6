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

// Modules come and go while threads log to them, as the operational log is
// closed while the link's tasks may still write: an entry for a module that is
// gone goes to the default log, nothing crashes, and every entry made while a
// module was registered is in its file.
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
    unsigned failed = 0;
    for (uint32_t round = 0; round < 300; ++round) {
        HUL_DIAG_HANDLE h = 0;
        failed += HulDiagRegisterModule("Agent", "Component", "churn", "churn.log", &h) != 0;
        current = h;
        failed += HulDiagAddLogEntry(h, 7, 1, round, "marker") != 0;
        failed += HulDiagDeregisterModule(h) != 0;
    }
    stop = true;
    for (auto& t : loggers) t.join();
    EXPECT_EQ(failed, 0u);
    EXPECT_EQ(unexpected.load(), 0u);
    int markers = 0;
    for (const std::string& line : loglines::read(sandbox.dir().file("churn.log"))) {
        loglines::Entry e;
        EXPECT_TRUE(loglines::parse(line, &e)) << line;
        markers += e.text == "marker";
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

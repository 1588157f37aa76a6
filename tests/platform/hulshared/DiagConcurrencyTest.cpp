// The diagnostic log under many threads, and a process that exits while its
// tasks still log and exchange messages.
#include <gtest/gtest.h>
#include <stdio.h>

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

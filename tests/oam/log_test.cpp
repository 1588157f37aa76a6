// The operational log through the real diagnostic stand-in: the severity
// table, entry kinds and ids, results, and the module's life cycle.
#include <gtest/gtest.h>

#include "HulDiag.h"
#include "LogReader.hpp"
#include "OperationalLog.h"
#include "TestSupport.hpp"

namespace {

constexpr char kLogFile[] = "QEL_ZEPProvider.log";

class OperationalLog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0u, CreateOperationalLog()); }
    void TearDown() override { DestroyOperationalLog(); }

    // Deregistering writes the module's entries out; then read them.
    std::vector<logtest::Entry> closeAndRead() {
        DestroyOperationalLog();
        return logtest::readEntries(sandbox_.dir().file(kLogFile));
    }

    testsupport::PlatformSandbox sandbox_;
};

TEST_F(OperationalLog, SeverityFollowsTheCodeTableAtEveryBoundary) {
    struct Case {
        uint32_t code;
        int severity;  // 0: refused
    };
    const Case cases[] = {
        {1, 4},     {57000, 4}, {57249, 4}, {2, 2},     {57250, 2}, {57499, 2},
        {3, 1},     {57500, 1}, {57749, 1}, {4, 1},     {57750, 1}, {57999, 1},
        {0, 0},     {5, 0},     {56999, 0}, {58000, 0}, {0xFFFFFFFFu, 0},
    };
    std::vector<int> expected;
    for (const Case& c : cases) {
        const std::string text = "code " + std::to_string(c.code);
        const uint32_t rc = AddToLog(0, c.code, text.c_str(), 0, 0);
        if (c.severity == 0) {
            EXPECT_EQ(ZEP_OAM_INVALID_ARG, rc) << text;
        } else {
            EXPECT_EQ(0u, rc) << text;
            expected.push_back(c.severity);
        }
    }
    std::vector<int> logged;
    for (const auto& e : closeAndRead()) {
        logged.push_back(e.severity);
        EXPECT_EQ("QEL_ZEPProvider", e.module);
    }
    EXPECT_EQ(expected, logged);  // and nothing of the refused codes
}

TEST_F(OperationalLog, CodedEntriesCarryTheirCodePlainOnesAllBits) {
    EXPECT_EQ(0u, AddToLog(0, 57300, "plain", 0, 0));
    EXPECT_EQ(0u, AddToLog(0, 57300, "coded", 1, 0));
    EXPECT_EQ(0u, AddToLog(0, 57300, "other flag", 2, 1));
    const auto entries = closeAndRead();
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ(6, entries[0].kind);
    EXPECT_EQ(0xFFFFFFFFu, entries[0].id);
    EXPECT_EQ(2, entries[0].severity);
    EXPECT_EQ(7, entries[1].kind);
    EXPECT_EQ(57300u, entries[1].id);
    EXPECT_EQ(2, entries[1].severity);
    EXPECT_EQ(6, entries[2].kind);  // only 1 asks for a coded entry
    EXPECT_EQ("other flag", entries[2].text);
}

TEST_F(OperationalLog, RefusesMissingTextAndPassesPlatformResultsBack) {
    EXPECT_EQ(ZEP_OAM_INVALID_ARG, AddToLog(0, 1, nullptr, 0, 0));
    EXPECT_EQ(ZEP_OAM_INVALID_ARG, AddToLog(0, 1, nullptr, 1, 1));
    // A handle the platform does not know: its own code comes back unchanged.
    EXPECT_EQ(HUL_DIAG_ERR_BAD_HANDLE, AddToLog(0x7FFFFFF0u, 1, "nowhere", 0, 0));
    EXPECT_TRUE(closeAndRead().empty());
}

TEST_F(OperationalLog, RegistersOnceAndAgainAfterDestroy) {
    EXPECT_EQ(ZEP_OAM_ALREADY_DONE, CreateOperationalLog());
    EXPECT_EQ(0u, AddToLog(0, 1, "first", 0, 0));  // the first registration stays
    EXPECT_EQ(0u, DestroyOperationalLog());
    EXPECT_EQ(0u, CreateOperationalLog());
    EXPECT_EQ(0u, AddToLog(0, 1, "second", 0, 0));
    const auto entries = closeAndRead();
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ("first", entries[0].text);
    EXPECT_EQ("second", entries[1].text);
}

}  // namespace

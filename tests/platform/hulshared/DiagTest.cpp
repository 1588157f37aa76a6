// The diagnostic log from one thread: line format, flushing, the default log
// and file modes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "HulDiag.h"
#include "LogLines.hpp"
#include "TestSupport.hpp"

namespace {

using testsupport::waitUntil;

class Diag : public ::testing::Test {
protected:
    HUL_DIAG_HANDLE registerModule(const char* module, const char* file) {
        HUL_DIAG_HANDLE h = 0;
        EXPECT_EQ(HulDiagRegisterModule("Agent", "Component", module, file, &h), 0u);
        EXPECT_NE(h, 0u);
        return h;
    }
    std::vector<std::string> lines(const char* file) const { return loglines::read(sandbox_.dir().file(file)); }
    // The last entry of file, once it has one whose text is text.
    bool hasEntry(const char* file, const std::string& text, loglines::Entry* found = nullptr) const {
        for (const std::string& line : lines(file)) {
            loglines::Entry e;
            if (loglines::parse(line, &e) && e.text == text) {
                if (found) *found = e;
                return true;
            }
        }
        return false;
    }

    testsupport::PlatformSandbox sandbox_;
};

// One line per entry, line breaks made spaces; deregistration writes every
// entry before it returns.
TEST_F(Diag, EachEntryIsOneLineWithSeverityKindIdModuleAndText) {
    const HUL_DIAG_HANDLE h = registerModule("QEL_ZEPProvider", "provider.log");
    EXPECT_EQ(HulDiagAddLogEntry(h, 7, 2, 57300, "first\nsecond\r\nthird"), 0u);
    for (int i = 0; i < 20000; ++i) HulDiagAddLogEntry(h, 6, 4, static_cast<uint32_t>(i), "burst entry");
    ASSERT_EQ(HulDiagDeregisterModule(h), 0u);

    const auto all = lines("provider.log");
    ASSERT_EQ(all.size(), 20001u);
    loglines::Entry e;
    ASSERT_TRUE(loglines::parse(all[0], &e)) << all[0];
    EXPECT_EQ(e.severity, 2u);
    EXPECT_EQ(e.kind, 7u);
    EXPECT_EQ(e.id, 57300u);
    EXPECT_EQ(e.module, "QEL_ZEPProvider");
    EXPECT_EQ(e.text, "first second  third");
    ASSERT_TRUE(loglines::parse(all.back(), &e)) << all.back();
    EXPECT_EQ(e.severity, 4u);
    EXPECT_EQ(e.kind, 6u);
    EXPECT_EQ(e.id, 19999u);
    EXPECT_EQ(e.text, "burst entry");
}

TEST_F(Diag, EntriesReachTheFileWithoutDeregistration) {
    const HUL_DIAG_HANDLE h = registerModule("m", "pending.log");
    // Twice: the second entry finds the flusher idle after its first round.
    for (const char* text : {"soon on disk", "again soon on disk"}) {
        ASSERT_EQ(HulDiagAddLogEntry(h, 6, 1, 1, text), 0u);
        EXPECT_TRUE(waitUntil([&] { return hasEntry("pending.log", text); })) << text;
    }
    HulDiagDeregisterModule(h);
}

TEST_F(Diag, HandleZeroAndUnknownHandlesGoToTheDefaultLog) {
    EXPECT_EQ(HulDiagAddLogEntry(0, 6, 4, 1, "for nobody"), 0u);
    EXPECT_EQ(HulDiagAddLogEntry(424242, 6, 4, 2, "for a stranger"), HUL_DIAG_ERR_BAD_HANDLE);
    const HUL_DIAG_HANDLE gone = registerModule("gone", "gone.log");
    ASSERT_EQ(HulDiagDeregisterModule(gone), 0u);
    EXPECT_EQ(HulDiagAddLogEntry(gone, 6, 4, 3, "after deregistration"), HUL_DIAG_ERR_BAD_HANDLE);

    loglines::Entry e;
    ASSERT_TRUE(waitUntil([&] { return hasEntry("HulDiagDefault.log", "after deregistration"); }));
    ASSERT_TRUE(hasEntry("HulDiagDefault.log", "for nobody", &e));
    EXPECT_EQ(e.module, "default");
    ASSERT_TRUE(hasEntry("HulDiagDefault.log", "for a stranger", &e));
    EXPECT_EQ(e.module, "handle#424242");
    EXPECT_TRUE(lines("gone.log").empty());
}

TEST_F(Diag, LogFilesAreMadeWithTheirModeExactly) {
    auto modeOf = [](const std::string& path) {
        struct stat st = {};
        return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    };
    auto logTo = [&](const char* file) { HulDiagDeregisterModule(registerModule("m", file)); };
    const mode_t savedMask = umask(0);
    logTo("private.log");
    EXPECT_EQ(modeOf(sandbox_.dir().file("private.log")), 0600u);
    close(open(sandbox_.dir().file("earlier.log").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0666));
    logTo("earlier.log");
    EXPECT_EQ(modeOf(sandbox_.dir().file("earlier.log")), 0600u);

    umask(077);
    setenv("HUL_DIAG_MODE", "0640", 1);
    logTo("group.log");
    EXPECT_EQ(modeOf(sandbox_.dir().file("group.log")), 0640u);
    unsetenv("HUL_DIAG_MODE");
    umask(savedMask);

    setenv("HUL_DIAG_DIR", sandbox_.dir().file("made").c_str(), 1);
    logTo("new.log");
    EXPECT_EQ(modeOf(sandbox_.dir().file("made")), 0700u);
    EXPECT_EQ(modeOf(sandbox_.dir().file("made/new.log")), 0600u);

    ASSERT_EQ(symlink("new.log", sandbox_.dir().file("made/link.log").c_str()), 0);
    HUL_DIAG_HANDLE h = 0;
    EXPECT_EQ(HulDiagRegisterModule("a", "c", "m", "link.log", &h), HUL_DIAG_ERR_IO);
}

}  // namespace

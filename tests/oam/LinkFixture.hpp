// Shared by the gateway-link tests: recording event handlers for the seven
// slots (and two more, to overfill the table), and a fixture that gives each
// test its own platform sandbox, starts zepsim gateways that talk to this
// process, and leaves the link shut down behind it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <dirent.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "LogReader.hpp"
#include "OperationalLog.h"
#include "TestSupport.hpp"
#include "ZepOam.h"
#include "Zepsim.hpp"

namespace linktest {

using namespace std::chrono_literals;

using testsupport::Zepsim;

// The framework name of the test process, to which the gateways talk.
inline constexpr char kSelf[] = "zeplink";

// Threads of this process with the given name (tasks are named after theirs).
inline int threadsNamed(const std::string& name) {
    int n = 0;
    DIR* d = opendir("/proc/self/task");
    if (!d) return -1;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
        std::string line;
        if (std::getline(comm, line) && line == name) ++n;
    }
    closedir(d);
    return n;
}

struct Seen {
    int slot;
    uint32_t type;
    bool operator==(const Seen& o) const { return slot == o.slot && type == o.type; }
};

inline std::mutex seenMutex;
inline std::vector<Seen> seen;
// Slot 0 answers link-up with a mode request, as the mode class does.
inline std::atomic<bool> answerLinkUp{false};
// Every handler writes "slot <n> saw <type>" to the operational log.
inline std::atomic<bool> logEachEvent{false};

// While held, slot 0 stays inside its link-down handler (at most a minute).
inline std::mutex holdMutex;
inline std::condition_variable holdReleased;
inline bool holdLinkDown = false;  // guarded by holdMutex
inline void setHoldLinkDown(bool hold) {
    std::lock_guard<std::mutex> lock(holdMutex);
    holdLinkDown = hold;
    holdReleased.notify_all();
}

template <int N>
void handler(sZepToOamEvents* event) {
    const uint32_t type = event->getType();
    {
        std::lock_guard<std::mutex> lock(seenMutex);
        seen.push_back({N, type});
    }
    if (N == 0 && type == ZEP_EVT_LINK_DOWN) {
        std::unique_lock<std::mutex> lock(holdMutex);
        holdReleased.wait_for(lock, std::chrono::minutes(1), [] { return !holdLinkDown; });
    }
    if (logEachEvent.load()) {
        const std::string text = "slot " + std::to_string(N) + " saw " + std::to_string(type);
        AddToLog(0, 1, text.c_str(), 0, 0);
    }
    if (N == 0 && type == ZEP_EVT_LINK_UP && answerLinkUp.load())
        ZepOamSendRecord(ZEP_REQ_GET_MODE, sZepSettingsRequest(0));
}

inline const ZepOamEventHandler handlers[] = {handler<0>, handler<1>, handler<2>,
                                              handler<3>, handler<4>, handler<5>,
                                              handler<6>, handler<7>, handler<8>};

inline std::vector<Seen> seenEvents() {
    std::lock_guard<std::mutex> lock(seenMutex);
    return seen;
}
inline void clearSeen() {
    std::lock_guard<std::mutex> lock(seenMutex);
    seen.clear();
}
inline size_t countSeen(uint32_t type) {
    size_t n = 0;
    for (const Seen& s : seenEvents()) n += s.type == type;
    return n;
}
// The slots that saw events of type, in the order they saw them.
inline std::vector<int> slotsThatSaw(uint32_t type) {
    std::vector<int> slots;
    for (const Seen& s : seenEvents())
        if (s.type == type) slots.push_back(s.slot);
    return slots;
}

class LinkTest : public ::testing::Test {
protected:
    static constexpr char kConnected[] = "ZepOam connection established with zep";

    void SetUp() override {
        setenv("HUL_MFW_NAME", kSelf, 1);
        clearSeen();
        answerLinkUp.store(false);
        logEachEvent.store(false);
    }
    void TearDown() override {
        setHoldLinkDown(false);
        for (ZepOamEventHandler h : handlers) ZepOamResetCallback(h);
        for (; users_ > 0; --users_) ZepOamShutdown();
    }

    void init() {
        ASSERT_EQ(0u, ZepOamInit());
        ++users_;
    }
    void shutdown() {
        ASSERT_GT(users_, 0);
        --users_;
        ZepOamShutdown();
    }
    // Registers the first seven handlers, the last of which starts the connection.
    void registerSeven() {
        for (int i = 0; i < 7; ++i) ASSERT_EQ(0u, ZepOamRegisterCallback(handlers[i])) << i;
    }

    std::string logPath() const { return sandbox_.dir().file("QEL_ZEPProvider.log"); }
    std::vector<std::string> logTexts() const { return logtest::readTexts(logPath()); }
    // Waits until the operational log holds at least n entries with text.
    bool waitForLog(const std::string& text, size_t n = 1,
                    std::chrono::milliseconds deadline = 30s) const {
        return testsupport::waitUntil(
            [&] { return logtest::countText(logTexts(), text) >= n; }, deadline);
    }

    // A gateway process joined as name that sends to this process; it
    // announces the link every announceMs until asked for the mode, or never.
    static std::unique_ptr<Zepsim> startGateway(const std::string& name = "zep", int announceMs = 0) {
        return std::make_unique<Zepsim>(ZEPSIM_PATH, std::vector<std::string>{"--name", name, "--peer", kSelf,
                                                                             "--announce-ms", std::to_string(announceMs)});
    }
    // Has the gateway send this event record to this process.
    static bool sendEvent(Zepsim& gateway, const sZepToOamEvents& e) {
        return gateway.command("event " + testsupport::toHex(e.data(), e.size())).rfind("ok event", 0) == 0;
    }
    // The request code of the nth message the gateway received.
    static uint32_t requestCode(Zepsim& gateway, uint64_t n) {
        const auto m = gateway.received(n);
        return m.body.size() >= ZEP_BODY_PAYLOAD_OFFSET ? zeprec::loadU32(m.body.data() + ZEP_BODY_CODE_OFFSET) : 0;
    }

    testsupport::PlatformSandbox sandbox_;
    int users_ = 0;
};

}  // namespace linktest

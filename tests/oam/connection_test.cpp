// The connection layer without a gateway: callback slots, delivery order,
// reconnection on link-down, use counts and shut-down.
#include <dlfcn.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "HulMfw.h"
#include "LinkFixture.hpp"
#include "tevo.h"

// The link is linked statically into this program, so its calls bind to this
// definition: it refuses the connection task as often as a test asks, as a
// system out of threads would, and hands every other call on.
std::atomic<int> refuseConnectTasks{0};

extern "C" OS_RESULT osCreateTask(const char* name, uint32_t priority, uint32_t stackSize, OS_TASK_ENTRY entry,
                                  void* argument, uint32_t options, OS_HANDLE* task) {
    if (name && std::strcmp(name, "OamZepConnect") == 0 && refuseConnectTasks.load() > 0) {
        refuseConnectTasks.fetch_sub(1);
        if (task) *task = 0;
        return OS_ERR_NO_RESOURCE;
    }
    typedef OS_RESULT (*Create)(const char*, uint32_t, uint32_t, OS_TASK_ENTRY, void*, uint32_t, OS_HANDLE*);
    static const Create real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "osCreateTask"));
    return real(name, priority, stackSize, entry, argument, options, task);
}

namespace linktest {
namespace {

constexpr char kConnect[] = "ZepOamConnect";
constexpr char kTrying[] = "Trying to connect to zep...!!!";

std::string registerText(ZepOamEventHandler h) {
    char text[64];
    std::snprintf(text, sizeof text, "ZepOamRegisterCallback %" PRIxPTR, reinterpret_cast<uintptr_t>(h));
    return text;
}

std::vector<int> deliveryOrder() {
    clearSeen();
    sZepToOamEvents e = sZepToOamEvents::ofType(ZEP_EVT_IPSET_RECORD);
    ZepOamCallback(&e, 0);
    return slotsThatSaw(ZEP_EVT_IPSET_RECORD);
}

using ConnectionTest = LinkTest;

TEST_F(ConnectionTest, SlotRules) {
    init();
    for (int i = 0; i < 6; ++i) EXPECT_EQ(0u, ZepOamRegisterCallback(handlers[i]));
    EXPECT_EQ(0u, ZepOamRegisterCallback(handlers[6]));  // completes the table: connects
    ASSERT_TRUE(waitForLog(kTrying));
    {
        // Six registrations started nothing; the seventh started the connection.
        const auto texts = logTexts();
        std::vector<std::string> expected;
        for (int i = 0; i < 7; ++i) expected.push_back(registerText(handlers[i]));
        expected.push_back(kConnect);
        std::vector<std::string> got;
        for (const auto& t : texts)
            if (t.rfind("ZepOamRegisterCallback", 0) == 0 || t == kConnect) got.push_back(t);
        EXPECT_EQ(expected, got);
    }
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5, 6}), deliveryOrder());

    // Registering again keeps the slot; an eighth distinct handler finds no room.
    EXPECT_EQ(0u, ZepOamRegisterCallback(handlers[3]));
    EXPECT_EQ(ZEP_OAM_TABLE_FULL, ZepOamRegisterCallback(handlers[7]));
    EXPECT_EQ(ZEP_OAM_INVALID_ARG, ZepOamRegisterCallback(nullptr));
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5, 6}), deliveryOrder());

    // Resetting an unknown handler changes nothing; a reset frees the slot,
    // and the lowest free slot is the next one taken.
    EXPECT_EQ(0u, ZepOamResetCallback(handlers[8]));
    EXPECT_EQ(0u, ZepOamResetCallback(handlers[4]));
    EXPECT_EQ(0u, ZepOamResetCallback(handlers[2]));
    EXPECT_EQ((std::vector<int>{0, 1, 3, 5, 6}), deliveryOrder());
    EXPECT_EQ(0u, ZepOamRegisterCallback(handlers[7]));
    EXPECT_EQ(0u, ZepOamRegisterCallback(handlers[8]));
    EXPECT_EQ((std::vector<int>{0, 1, 7, 3, 8, 5, 6}), deliveryOrder());

    // Registering the handler of the last slot again starts the connection again.
    EXPECT_EQ(0u, ZepOamRegisterCallback(handlers[6]));
    EXPECT_TRUE(waitForLog(kConnect, 2));
}

TEST_F(ConnectionTest, LinkDownReachesEveryHandlerInSlotOrderBeforeReconnecting) {
    init();
    registerSeven();
    ASSERT_TRUE(waitForLog(kConnect));
    logEachEvent.store(true);

    // Other event types start nothing.
    for (uint32_t type : {0u, 1u, 4u, 6u, 7u, 8u, 9u}) {
        sZepToOamEvents e = sZepToOamEvents::ofType(type);
        ZepOamCallback(&e, 0);
    }
    sZepToOamEvents down = sZepToOamEvents::ofType(ZEP_EVT_LINK_DOWN);
    ZepOamCallback(&down, 0);
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5, 6}), slotsThatSaw(ZEP_EVT_LINK_DOWN));
    EXPECT_EQ(7u, slotsThatSaw(ZEP_EVT_MODE_RECORD).size());

    ASSERT_TRUE(waitForLog(kConnect, 2));
    const auto texts = logTexts();
    EXPECT_EQ(2u, logtest::countText(texts, kConnect));
    // The handlers saw the link-down before the reconnection began.
    std::vector<std::string> tail;
    bool afterFirstConnect = false;
    for (const auto& t : texts) {
        if (t == kConnect && !afterFirstConnect) {
            afterFirstConnect = true;
            continue;
        }
        if (afterFirstConnect && (t == kConnect || t.find(" saw 5") != std::string::npos))
            tail.push_back(t);
    }
    EXPECT_EQ((std::vector<std::string>{"slot 0 saw 5", "slot 1 saw 5", "slot 2 saw 5", "slot 3 saw 5",
                                        "slot 4 saw 5", "slot 5 saw 5", "slot 6 saw 5", kConnect}),
              tail);
}

TEST_F(ConnectionTest, UseCountKeepsTheLinkUpToTheLastShutdown) {
    // A first round brings up what stays for the process's life (the log's writer).
    init();
    shutdown();
    const int threadsBefore = testsupport::threadCount();
    const int fdsBefore = testsupport::openFdCount();

    init();
    init();
    init();
    HUL_PROCESS_HANDLE own = 0;
    ASSERT_EQ(0u, HulMfwGetProcessHandle(nullptr, &own));
    shutdown();
    shutdown();
    EXPECT_EQ(0u, HulMfwGetProcessHandle(nullptr, &own)) << "still a participant";
    EXPECT_EQ(0u, AddToLog(0, 1, "still logging", 0, 0));
    EXPECT_TRUE(waitForLog("still logging"));

    shutdown();  // the last user
    EXPECT_EQ(HUL_ERR_NOT_JOINED, HulMfwGetProcessHandle(nullptr, &own));
    EXPECT_TRUE(testsupport::waitUntil([&] { return testsupport::threadsBackTo(threadsBefore); }))
        << testsupport::threadCount() << " threads, " << threadsBefore << " before";
    EXPECT_EQ(fdsBefore, testsupport::openFdCount());

    EXPECT_EQ(0u, AddToLog(0, 1, "after the end", 0, 0));  // goes to the default log now
    EXPECT_EQ(0u, ZepOamShutdown());                        // no user left: nothing happens
    EXPECT_TRUE(testsupport::waitUntil([&] {
        const auto texts = logtest::readTexts(sandbox_.dir().file("HulDiagDefault.log"));
        return logtest::countText(texts, "after the end") == 1 &&
               logtest::countText(texts, "ZepOamShutdown") == 1;
    }));
    EXPECT_EQ(0u, logtest::countText(logTexts(), "after the end"));
}

TEST_F(ConnectionTest, ShutdownEndsAConnectionStillTrying) {
    init();
    shutdown();
    const int threadsBefore = testsupport::threadCount();

    init();
    registerSeven();
    ASSERT_TRUE(waitForLog(kTrying));
    EXPECT_GT(testsupport::threadCount(), threadsBefore);
    shutdown();
    EXPECT_TRUE(testsupport::waitUntil([&] { return testsupport::threadsBackTo(threadsBefore); }))
        << testsupport::threadCount() << " threads, " << threadsBefore << " before";

    // The link starts again from scratch.
    init();
    registerSeven();
    EXPECT_TRUE(waitForLog(kTrying, 2));
}

TEST_F(ConnectionTest, AFailedJoinAndAFailedConnectionSetUpAreTriedAgainAndLoggedOnce) {
    constexpr char kJoinFailed[] = "ZepOam: joining the message framework failed (code 98)";
    constexpr char kSetUpFailed[] = "ZepOam: setting up the connection to zep failed (code 12)";
    {
        // Another process holds our name: the join fails until it is gone.
        auto impostor = startGateway(kSelf);
        init();
        refuseConnectTasks.store(2);
        for (int i = 0; i < 6; ++i) ASSERT_EQ(0u, ZepOamRegisterCallback(handlers[i]));
        EXPECT_EQ(OS_ERR_NO_RESOURCE, ZepOamRegisterCallback(handlers[6]));  // reported, and tried again
        ASSERT_TRUE(testsupport::waitUntil([] { return refuseConnectTasks.load() == 0; }));
    }
    auto zep = startGateway("zep", 50);
    EXPECT_TRUE(waitForLog(kConnected, 1, 90s));
    const auto texts = logTexts();
    EXPECT_EQ(1u, logtest::countPrefix(texts, kJoinFailed));
    EXPECT_EQ(1u, logtest::countPrefix(texts, kSetUpFailed));
    EXPECT_EQ(1u, logtest::countText(texts, "ZepOam: setting up the connection to zep succeeded after 2 failed attempts"));
    EXPECT_EQ(1u, logtest::countPrefix(texts, "ZepOam: joining the message framework succeeded after"));
}

}  // namespace
}  // namespace linktest

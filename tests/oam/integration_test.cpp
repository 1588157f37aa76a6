// The whole link against a gateway that crashes and comes back: the library
// side starts first, as in the object manager.
#include "LinkFixture.hpp"

namespace linktest {
namespace {

class GatewayCrashTest : public LinkTest {
protected:
    // A new gateway incarnation that announces its link until asked for the mode.
    static std::unique_ptr<Zepsim> startAnnouncingGateway() { return startGateway("zep", 50); }
    static bool askedForTheMode(Zepsim& zep) {
        return testsupport::waitUntil([&] { return zep.counter("req7") > 0; });
    }
    bool waitConnected(size_t n) { return waitForLog(kConnected, n, 60s); }
    size_t connections() const { return logtest::countText(logTexts(), kConnected); }
};

TEST_F(GatewayCrashTest, FiftyCrashesEachRaiseOneLinkDownAndLeaveNothingBehind) {
    constexpr int kCycles = 50;
    answerLinkUp.store(true);
    init();
    registerSeven();
    ASSERT_TRUE(waitForLog("Trying to connect to zep...!!!"));

    // The library waits until the gateway appears and announces the link.
    auto zep = startAnnouncingGateway();
    ASSERT_TRUE(waitConnected(1));
    ASSERT_TRUE(askedForTheMode(*zep));
    EXPECT_EQ(ZEP_REQ_GET_MODE, requestCode(*zep, 1));
    EXPECT_EQ(0u, countSeen(ZEP_EVT_LINK_DOWN));

    int threadsAfterFirst = 0;
    int fdsAfterFirst = 0;
    for (int cycle = 1; cycle <= kCycles; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        clearSeen();
        const bool quickRestart = cycle % 2 == 0;
        zep->kill();
        if (quickRestart) {
            // Back before the listener's next look: only the handle tells.
            zep = startAnnouncingGateway();
        } else {
            ASSERT_TRUE(testsupport::waitUntil([] { return countSeen(ZEP_EVT_LINK_DOWN) == 7; }));
            zep = startAnnouncingGateway();
        }
        ASSERT_TRUE(waitConnected(static_cast<size_t>(cycle) + 1));
        ASSERT_TRUE(askedForTheMode(*zep));

        // Exactly one link-down per handler, in slot order, before the link came back.
        EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5, 6}), slotsThatSaw(ZEP_EVT_LINK_DOWN));
        const auto events = seenEvents();
        size_t lastDown = 0, lastUp = 0;
        for (size_t i = 0; i < events.size(); ++i) {
            if (events[i].type == ZEP_EVT_LINK_DOWN) lastDown = i;
            if (events[i].type == ZEP_EVT_LINK_UP && events[i].slot == 6) lastUp = i;
        }
        EXPECT_LT(lastDown, lastUp) << "a link-up followed the link-down";

        if (cycle == 1) {
            // The connection task ends once the link is up.
            ASSERT_TRUE(testsupport::waitUntil([] { return threadsNamed("OamZepConnect") == 0; }));
            threadsAfterFirst = testsupport::threadCount();
            fdsAfterFirst = testsupport::openFdCount();
        } else {
            ASSERT_TRUE(testsupport::waitUntil(
                [&] { return testsupport::threadsBackTo(threadsAfterFirst); }))
                << testsupport::threadCount() << " threads, " << threadsAfterFirst << " after the first cycle";
            ASSERT_LE(testsupport::openFdCount(), fdsAfterFirst);
        }
    }
    EXPECT_EQ(static_cast<size_t>(kCycles) + 1, connections());
    // One connection task per link-down, each started although the connect
    // event existed already.
    EXPECT_EQ(static_cast<size_t>(kCycles) + 1,
              logtest::countText(logTexts(), "Trying to connect to zep...!!!"));
}

TEST_F(GatewayCrashTest, ANewGatewaysLinkUpWaitsUntilEveryHandlerHasHeardTheLinkDown) {
    answerLinkUp.store(true);
    init();
    registerSeven();
    auto zep = startAnnouncingGateway();
    ASSERT_TRUE(waitConnected(1));
    ASSERT_TRUE(askedForTheMode(*zep));

    // The first handler is still emptying its cache when the next gateway
    // has already announced itself, more than once.
    clearSeen();
    setHoldLinkDown(true);
    zep->kill();
    ASSERT_TRUE(testsupport::waitUntil([] { return countSeen(ZEP_EVT_LINK_DOWN) == 1; }));
    zep = startAnnouncingGateway();
    // (A mode request now would already be an answer to the new link.)
    ASSERT_TRUE(testsupport::waitUntil([&] {
        const auto s = zep->status();
        return std::stoi(s.at("linkups")) >= 3 || std::stoi(s.at("req7")) > 0;
    }));
    EXPECT_EQ(0u, zep->counter("req7")) << "the new link was answered while the old one was being taken down";
    setHoldLinkDown(false);

    ASSERT_TRUE(waitConnected(2));
    ASSERT_TRUE(askedForTheMode(*zep));
    ASSERT_TRUE(testsupport::waitUntil([] { return countSeen(ZEP_EVT_LINK_UP) >= 7; }));
    // Every handler heard the loss, and only then the new link.
    const auto events = seenEvents();
    std::vector<uint32_t> types;
    for (const Seen& s : events) types.push_back(s.type);
    const std::vector<uint32_t> downs(7, ZEP_EVT_LINK_DOWN);
    ASSERT_GE(types.size(), 14u);
    EXPECT_EQ(downs, std::vector<uint32_t>(types.begin(), types.begin() + 7));
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5, 6}), slotsThatSaw(ZEP_EVT_LINK_DOWN));
}

}  // namespace
}  // namespace linktest

// The transport against zepsim gateway processes: the request envelope, link-up
// detection and the gateway handle, short messages, and link-down.
#include <signal.h>

#include <cstring>

#include "HulMfw.h"

#include "LinkFixture.hpp"
#include "ZepOamUsrlib.h"

namespace linktest {
namespace {

using testsupport::toHex;
using testsupport::waitUntil;
using Bytes = std::vector<unsigned char>;

// What the transport hands to the connection layer, recorded whole.
struct Delivered {
    sZepToOamEvents event;
    uint32_t value;
};
std::mutex deliveredMutex;
std::vector<Delivered> delivered;

void recordEvent(sZepToOamEvents* event, uint32_t value) {
    std::lock_guard<std::mutex> lock(deliveredMutex);
    delivered.push_back({*event, value});
}
std::vector<Delivered> deliveredEvents() {
    std::lock_guard<std::mutex> lock(deliveredMutex);
    return delivered;
}
size_t deliveredCount() { return deliveredEvents().size(); }
size_t deliveredOfType(uint32_t type) {
    size_t n = 0;
    for (const auto& d : deliveredEvents()) n += d.event.getType() == type;
    return n;
}

Bytes host(uint32_t v) {
    const auto b = zeprec::hostBytes(v);
    return Bytes(b.begin(), b.end());
}
Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Drives the transport directly, with recordEvent in place of the connection layer.
class TransportTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        std::lock_guard<std::mutex> lock(deliveredMutex);
        delivered.clear();
    }
    // Joins the framework and installs the class-4 handler: with no gateway
    // around, the first attempt finds nothing.
    void joinWithoutGateway() {
        init();
        ASSERT_EQ(ZEP_OAM_GATEWAY_NOT_FOUND, ConnectToZep(0, 0, 0, 1, recordEvent));
    }
    // Brings the link up with gateway: its link-up, then a connection attempt.
    void linkUp(Zepsim& gateway) {
        const size_t before = deliveredOfType(ZEP_EVT_LINK_UP);
        ASSERT_TRUE(sendEvent(gateway, sZepToOamEvents::ofType(ZEP_EVT_LINK_UP)));
        ASSERT_TRUE(waitUntil([&] { return deliveredOfType(ZEP_EVT_LINK_UP) > before; }));
        ASSERT_EQ(0u, ConnectToZep(0, 0, 0, 1000, recordEvent));
    }
};

TEST_F(TransportTest, RequestEnvelope) {
    joinWithoutGateway();
    auto zep = startGateway();
    linkUp(*zep);

    const Bytes nine = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(0u, ZepOamUsrlibSend(ZEP_REQ_GET_IPSET_TABLE, nine.data(), 9, 0));
    EXPECT_EQ(0u, ZepOamUsrlibSend(ZEP_REQ_SET_SETTING_ITEM, nine.data(), 4, 0x55));
    // Refused, nothing sent: no payload, or one beyond the envelope's room.
    EXPECT_EQ(ZEP_OAM_INVALID_ARG, ZepOamUsrlibSend(ZEP_REQ_GET_MODE, nullptr, 4, 0));
    EXPECT_EQ(ZEP_OAM_INVALID_ARG, ZepOamUsrlibSend(ZEP_REQ_GET_MODE, nullptr, 0, 0));
    const Bytes big(ZEP_ENVELOPE_MAX_PAYLOAD + 1, 0xEE);
    EXPECT_EQ(ZEP_OAM_INVALID_ARG, ZepOamUsrlibSend(ZEP_REQ_SET_IPSET, big.data(), 2009, 0));
    EXPECT_EQ(0u, ZepOamUsrlibSend(ZEP_REQ_SET_IPSET, big.data(), 2008, 0));  // the most that fits
    EXPECT_EQ(0u, ZepOamSendRecord(ZEP_REQ_REDIRECT_IPSET, sZepIPSetRedirect(77)));
    EXPECT_EQ(ZEP_OAM_INVALID_ARG, ZepOamSend(ZEP_REQ_GET_MODE, nullptr, 4));

    ASSERT_TRUE(waitUntil([&] { return zep->counter("requests") >= 4; }));
    EXPECT_EQ(4u, zep->counter("requests"));
    // Mark 3, flag, reserved 0, code, payload; the framework's length is the
    // payload's plus the four words.
    const auto payload = [](const Bytes& b) { return Bytes(b.begin() + ZEP_BODY_PAYLOAD_OFFSET, b.end()); };
    EXPECT_EQ(cat({host(3), host(0), host(0), host(9), nine}), zep->received(1).body);
    EXPECT_EQ(cat({host(3), host(0x55), host(0), host(1), Bytes(nine.begin(), nine.begin() + 4)}),
              zep->received(2).body);
    EXPECT_EQ(Bytes(big.begin(), big.end() - 1), payload(zep->received(3).body));
    EXPECT_EQ(ZEP_REQ_REDIRECT_IPSET, requestCode(*zep, 4));
    EXPECT_EQ(cat({host(0xFFFFFFFF), host(77)}), payload(zep->received(4).body));
    HUL_PROCESS_HANDLE own = 0;
    ASSERT_EQ(0u, HulMfwGetProcessHandle(nullptr, &own));
    for (uint64_t n = 1; n <= 4; ++n) EXPECT_EQ(own, zep->received(n).sender);
}

TEST_F(TransportTest, GatewayHandleComesFromMessagesOnlyWhileTheLinkIsDownThenOnlyTheGatewaySpeaks) {
    EXPECT_EQ(ZEP_OAM_INVALID_ARG, ConnectToZep(0, 0, 0, 1000, nullptr));
    joinWithoutGateway();
    auto other = startGateway("other");

    // Any message while the link is down names the gateway, and is delivered,
    // but only a link-up brings the link up.
    sZepIPSetTableGet t{};
    t.setDN(31);
    ASSERT_TRUE(sendEvent(*other, sZepToOamEvents::ipsetRecord(t)));
    ASSERT_TRUE(waitUntil([] { return deliveredCount() == 1; }));
    EXPECT_EQ(31u, deliveredEvents()[0].event.getIPSetRecord().getDN());
    EXPECT_EQ(0u, ZepOamSendRecord(ZEP_REQ_REDIRECT_IPSET, sZepIPSetRedirect(31)));  // one it does not answer
    EXPECT_TRUE(waitUntil([&] { return other->counter("requests") == 1; }));

    auto zep = startGateway();
    EXPECT_EQ(ZEP_OAM_GATEWAY_NOT_FOUND, ConnectToZep(0, 0, 0, 1000, recordEvent))
        << "present, but no link-up yet";
    linkUp(*zep);

    // With the link up, only the gateway speaks for the gateway: another
    // process's link-down, deletion of every terminal or record is dropped,
    // counted in the log (at the 1st, 2nd, 4th... drop), and moves nothing.
    const size_t before = deliveredCount();
    for (const sZepToOamEvents& forged : {sZepToOamEvents::ofType(ZEP_EVT_LINK_DOWN), sZepToOamEvents::ipsetDeleted(0, 0),
                                          sZepToOamEvents::ofType(ZEP_EVT_MODE_RECORD)})
        ASSERT_TRUE(sendEvent(*other, forged));
    ASSERT_TRUE(sendEvent(*zep, sZepToOamEvents::ofType(ZEP_EVT_MODE_RECORD)));
    ASSERT_TRUE(waitUntil([] { return deliveredOfType(ZEP_EVT_MODE_RECORD) == 1; }));
    EXPECT_EQ(before + 1, deliveredCount());
    const auto dropLines = [&] {
        std::vector<std::string> lines;
        for (const std::string& text : logTexts())
            if (text.find(", not the gateway ") != std::string::npos) lines.push_back(text);
        return lines;
    };
    ASSERT_TRUE(waitUntil([&] { return dropLines().size() >= 2; }))
        << ::testing::PrintToString(logTexts());
    const auto lines = dropLines();
    ASSERT_EQ(2u, lines.size());  // the 3rd drop is counted, not written
    EXPECT_NE(std::string::npos, lines[0].find("(event type 5) from process")) << lines[0];
    EXPECT_NE(std::string::npos, lines[1].find("; 2 dropped so far")) << lines[1];
    EXPECT_EQ(0u, ZepOamSendRecord(ZEP_REQ_GET_SETTINGS, sZepSettingsRequest(2)));
    ASSERT_TRUE(waitUntil([&] { return zep->counter("requests") == 1; }));
    EXPECT_EQ(ZEP_REQ_GET_SETTINGS, requestCode(*zep, 1));
    EXPECT_EQ(1u, other->counter("requests"));
}

TEST_F(TransportTest, ADataRequestTheStuckGatewayDidNotTakeGoesAgainOnceItIsBack) {
    joinWithoutGateway();
    auto zep = startGateway();
    linkUp(*zep);
    // Stopped, its queue fills; a send then waits out the framework's time-out.
    zep->signal(SIGSTOP);
    for (int i = 0; i < 100000 && ZepOamSendRecord(ZEP_REQ_REDIRECT_IPSET, sZepIPSetRedirect(1)) == 0; ++i) {
    }
    const sZepSettingsRequest mode(0);
    EXPECT_EQ(HUL_ERR_TIMEOUT, ZepOamRequestData(ZEP_REQ_GET_MODE, mode.data(), mode.length()));
    zep->signal(SIGCONT);
    EXPECT_TRUE(waitForLog("ZepOam: data request 7 delivered on attempt 2"));
    EXPECT_EQ(1u, logtest::countText(logTexts(), "ZepOam: data request 7 not delivered (code 110); sending it again"));
    EXPECT_TRUE(waitUntil([&] { return zep->counter("req7") == 1; }));
}

TEST_F(TransportTest, ShortMessagesReachHandlersZeroPaddedOrNotAtAll) {
    joinWithoutGateway();
    auto zep = startGateway();
    const auto send = [&](const Bytes& body) { return zep->command("send 4 " + toHex(body)).rfind("ok sent", 0) == 0; };

    // A full message with every byte set, so that leftovers would show.
    sZepToOamEvents full{};
    std::memset(full.raw, 0xAB, sizeof full.raw);
    full.setType(ZEP_EVT_IPSET_RECORD);
    const Bytes head = cat({host(3), host(0x1234), host(0)});
    ASSERT_TRUE(send(cat({head, Bytes(full.raw, full.raw + full.size())})));
    // Type and MoType only: the DN and all that follows read as zeros.
    ASSERT_TRUE(send(cat({head, host(ZEP_EVT_IPSET_DELETED), host(ZEP_MOTYPE_BIRCH)})));
    // Too short for the type word: dropped.
    ASSERT_TRUE(send(cat({head, Bytes{8, 0, 0}})));
    // Exactly the type word.
    ASSERT_TRUE(send(cat({head, host(ZEP_EVT_MODE_RECORD)})));

    ASSERT_TRUE(waitUntil([] { return deliveredCount() >= 3; }));
    EXPECT_TRUE(waitUntil([] { return deliveredOfType(ZEP_EVT_MODE_RECORD) == 1; }));
    const auto got = deliveredEvents();
    ASSERT_EQ(3u, got.size());
    EXPECT_EQ(0x1234u, got[0].value);
    EXPECT_EQ(0xAB, got[0].event.raw[full.size() - 1]);

    const sZepToOamEvents& shortOne = got[1].event;
    EXPECT_EQ(ZEP_EVT_IPSET_DELETED, shortOne.getType());
    EXPECT_EQ(ZEP_MOTYPE_BIRCH, shortOne.getDeletedMoType());
    EXPECT_EQ(Bytes(full.size() - 8, 0), Bytes(shortOne.raw + 8, shortOne.raw + full.size()));
    EXPECT_EQ(0x1234u, got[1].value);

    EXPECT_EQ(ZEP_EVT_MODE_RECORD, got[2].event.getType());
    EXPECT_EQ(Bytes(full.size() - 4, 0), Bytes(got[2].event.raw + 4, got[2].event.raw + full.size()));
}

TEST_F(TransportTest, LinkDownIsRaisedOnceWhenTheGatewayDies) {
    joinWithoutGateway();
    const int threadsBefore = testsupport::threadCount();
    auto zep = startGateway();
    linkUp(*zep);
    EXPECT_EQ(0u, deliveredOfType(ZEP_EVT_LINK_DOWN));

    zep->kill();
    ASSERT_TRUE(waitUntil([] { return deliveredOfType(ZEP_EVT_LINK_DOWN) == 1; }));
    const auto got = deliveredEvents();
    EXPECT_EQ(0u, got.back().value);
    // The listener has ended, and no second link-down came before it did.
    zep.reset();
    EXPECT_TRUE(waitUntil([&] { return testsupport::threadsBackTo(threadsBefore); }));
    EXPECT_EQ(1u, deliveredOfType(ZEP_EVT_LINK_DOWN));
    // The link is down: a gateway must announce it again.
    auto again = startGateway();
    EXPECT_EQ(ZEP_OAM_GATEWAY_NOT_FOUND, ConnectToZep(0, 0, 0, 1000, recordEvent));
    linkUp(*again);
}

TEST_F(TransportTest, GatewayRestartedBetweenPollsIsOneLinkDown) {
    joinWithoutGateway();
    auto zep = startGateway();
    linkUp(*zep);
    const uint32_t first = zep->handle();

    // Crash and restart at once, well inside the listener's poll interval.
    zep->kill();
    zep = startGateway();
    EXPECT_NE(first, zep->handle());
    ASSERT_TRUE(waitUntil([] { return deliveredOfType(ZEP_EVT_LINK_DOWN) == 1; }));

    // Requests no longer go to the dead incarnation once the new one is linked...
    linkUp(*zep);
    EXPECT_EQ(0u, ZepOamSendRecord(ZEP_REQ_GET_MODE, sZepSettingsRequest(0)));
    EXPECT_TRUE(waitUntil([&] { return zep->counter("requests") == 1; }));
    // ...and the new incarnation is the one watched.
    zep->kill();
    EXPECT_TRUE(waitUntil([] { return deliveredOfType(ZEP_EVT_LINK_DOWN) == 2; }));
}

TEST_F(TransportTest, GatewayLostBeforeAnyListenerWatchedItIsOneLinkDown) {
    joinWithoutGateway();
    // The gateway announces the link, then dies before the connection task's
    // next look: no listener ever watched it.
    auto zep = startGateway();
    ASSERT_TRUE(sendEvent(*zep, sZepToOamEvents::ofType(ZEP_EVT_LINK_UP)));
    ASSERT_TRUE(waitUntil([] { return deliveredOfType(ZEP_EVT_LINK_UP) == 1; }));
    zep->kill();
    EXPECT_EQ(ZEP_OAM_GATEWAY_NOT_FOUND, ConnectToZep(0, 0, 0, 1000, recordEvent));
    EXPECT_EQ(1u, deliveredOfType(ZEP_EVT_LINK_DOWN));

    // The same when a new incarnation already holds the name: the link it
    // must announce anew is not the one that went up.
    zep = startGateway();
    ASSERT_TRUE(sendEvent(*zep, sZepToOamEvents::ofType(ZEP_EVT_LINK_UP)));
    ASSERT_TRUE(waitUntil([] { return deliveredOfType(ZEP_EVT_LINK_UP) == 2; }));
    zep->kill();
    auto next = startGateway();
    EXPECT_EQ(ZEP_OAM_GATEWAY_NOT_FOUND, ConnectToZep(0, 0, 0, 1000, recordEvent));
    EXPECT_EQ(2u, deliveredOfType(ZEP_EVT_LINK_DOWN));
    linkUp(*next);
    EXPECT_EQ(2u, deliveredOfType(ZEP_EVT_LINK_DOWN));
}

}  // namespace
}  // namespace linktest

// The simulated gateway's answers to requests, built as the provider's link
// builds them, and its refusal of malformed ones.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "zepsim/GatewayState.h"

namespace zepsim {
namespace {

// A request message body as the link sends it: mark 3, flag 0, reserved,
// code, then the payload; exactly as long as that, so that a read past its
// end shows up under the address sanitizer.
template <class Payload>
std::vector<unsigned char> request(uint32_t code, const Payload& payload, std::size_t length) {
    std::vector<unsigned char> body(ZEP_BODY_PAYLOAD_OFFSET + length, 0);
    zeprec::storeU32(body.data(), ZEP_ENVELOPE_MARK);
    zeprec::storeU32(body.data() + ZEP_BODY_CODE_OFFSET, code);
    std::memcpy(body.data() + ZEP_BODY_PAYLOAD_OFFSET, payload.data(), length);
    return body;
}

RequestOutcome handle(GatewayState& g, const std::vector<unsigned char>& body) {
    return g.handleRequest(body.data(), body.size());
}

RequestOutcome setItem(GatewayState& g, const sZepSettingItemSet& item) {
    return handle(g, request(ZEP_REQ_SET_SETTING_ITEM, item, item.length()));
}

TEST(GatewayState, LinkStartAnswersModeSettingsAndTerminalsOfTheActiveType) {
    GatewayState g;
    g.setMode(true, CallServer::Alder);
    g.generateTerminals(CallServer::Alder, 3, 500);
    g.generateTerminals(CallServer::Cedar, 2, 500);

    const RequestOutcome mode = handle(g, request(ZEP_REQ_GET_MODE, sZepSettingsRequest(0), 4));
    EXPECT_TRUE(mode.askedForMode);
    ASSERT_EQ(1u, mode.events.size());
    EXPECT_EQ(ZEP_EVT_MODE_RECORD, mode.events[0].getType());
    EXPECT_EQ(1, mode.events[0].getModeRecord().getMode());
    EXPECT_EQ(ZEP_MOTYPE_ALDER, mode.events[0].getModeRecord().getMoType());

    const RequestOutcome settings = handle(g, request(ZEP_REQ_GET_SETTINGS, sZepSettingsRequest(ZEP_MOTYPE_ALDER), 4));
    ASSERT_EQ(1u, settings.events.size());
    EXPECT_EQ(ZEP_EVT_SETTINGS_RECORD, settings.events[0].getType());
    EXPECT_EQ(ZEP_MOTYPE_ALDER, settings.events[0].getSettingsMoType());

    const RequestOutcome table = handle(g, request(ZEP_REQ_GET_IPSET_TABLE, sZepIPSetTableRequest(ZEP_MOTYPE_ALDER), 9));
    ASSERT_EQ(3u, table.events.size());
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(ZEP_EVT_IPSET_RECORD, table.events[i].getType());
        EXPECT_EQ(0u, table.events[i].getIPSetStatus());
        EXPECT_EQ(500 + i, table.events[i].getIPSetRecord().getDN());
        EXPECT_EQ(ZEP_MOTYPE_ALDER, table.events[i].getIPSetRecord().getMoType());
    }

    // The Cedar classes' late requests after a switch away get nothing.
    EXPECT_TRUE(handle(g, request(ZEP_REQ_GET_IPSET_TABLE, sZepIPSetTableRequest(ZEP_MOTYPE_CEDAR), 9)).events.empty());
    EXPECT_TRUE(handle(g, request(ZEP_REQ_GET_SETTINGS, sZepSettingsRequest(ZEP_MOTYPE_CEDAR), 4)).events.empty());
}

TEST(GatewayState, SettingItemsLandInTheirTypesRecord) {
    GatewayState g;
    // Number items, one of each type, each answered with its type's record
    // while that type is active.
    const RequestOutcome node = setItem(g, sZepSettingItemSet::number(11, 4242));
    ASSERT_EQ(1u, node.events.size());
    EXPECT_EQ(4242u, node.events[0].getCedarSettings().getNodeId());
    setItem(g, sZepSettingItemSet::number(2, 0x0A000001));
    EXPECT_EQ(0x0A000001u, g.cedarSettings().getAlternateNCSAddr());

    g.setMode(true, CallServer::Birch);
    const RequestOutcome port = setItem(g, sZepSettingItemSet::number(21, 6060));
    ASSERT_EQ(1u, port.events.size());
    EXPECT_EQ(ZEP_MOTYPE_BIRCH, port.events[0].getSettingsMoType());
    EXPECT_EQ(6060u, port.events[0].getBirchSettings().getPrimaryTpsPort());
    setItem(g, sZepSettingItemSet::number(24, 9));
    EXPECT_EQ(9u, g.birchSettings().getTestLocalModeTimeOut());

    // An item of an inactive type changes the state but is not reported.
    const RequestOutcome alder = setItem(g, sZepSettingItemSet::number(23, 7));
    EXPECT_FALSE(alder.malformed);
    EXPECT_TRUE(alder.events.empty());
    EXPECT_EQ(7u, g.alderSettings().getTestLocalModeTimeout());

    // A text of the full 256 bytes is cut to the field's 32.
    setItem(g, sZepSettingItemSet::text(19, std::string(256, 'x')));
    EXPECT_EQ(std::string(32, 'x'), g.alderSettings().getVoipTrunkAccessCode());
    setItem(g, sZepSettingItemSet::text(8, "h323 id"));
    EXPECT_EQ("h323 id", g.cedarSettings().getH323Id());
}

TEST(GatewayState, MalformedSettingItemsAreRefusedWithoutChange) {
    GatewayState g;
    const sZepCedarCache before = g.cedarSettings();
    EXPECT_TRUE(setItem(g, sZepSettingItemSet::number(7, 1)).malformed);       // no item 7
    EXPECT_TRUE(setItem(g, sZepSettingItemSet::number(5, 1)).malformed);       // a text item as a number
    EXPECT_TRUE(setItem(g, sZepSettingItemSet::text(11, "12")).malformed);     // a number item as a text
    // The text form cut short: the 12 bytes of a number form are not enough.
    const sZepSettingItemSet text = sZepSettingItemSet::text(5, "77");
    EXPECT_TRUE(handle(g, request(ZEP_REQ_SET_SETTING_ITEM, text, 12)).malformed);
    EXPECT_EQ(0, std::memcmp(before.data(), g.cedarSettings().data(), before.size()));
}

TEST(GatewayState, TerminalSetRequestTakesTheWritableBlockAndAnswersTheRecord) {
    GatewayState g;
    g.upsertTerminal(CallServer::Cedar, 4000, {});
    sZepIPSetTableGet changed = *g.terminal(CallServer::Cedar, 4000);
    changed.setMOTN("Desk 4");
    changed.setBUID(std::string(34, 'b'));
    changed.setSetStatus("not part of the block");
    const RequestOutcome o = handle(g, request(ZEP_REQ_SET_IPSET, sZepIPSetTableSet(changed), 65));
    ASSERT_FALSE(o.malformed) << o.note;
    ASSERT_EQ(1u, o.events.size());
    const sZepIPSetTableGet answered = o.events[0].getIPSetRecord();
    EXPECT_EQ("Desk 4", answered.getMOTN());
    EXPECT_EQ(std::string(34, 'b'), answered.getBUID());
    EXPECT_EQ("registered", answered.getSetStatus());
    EXPECT_EQ("Desk 4", g.terminal(CallServer::Cedar, 4000)->getMOTN());

    sZepIPSetTableGet unknown = changed;
    unknown.setDN(4001);
    EXPECT_TRUE(handle(g, request(ZEP_REQ_SET_IPSET, sZepIPSetTableSet(unknown), 65)).malformed);
    EXPECT_TRUE(handle(g, request(ZEP_REQ_SET_IPSET, sZepIPSetTableSet(changed), 64)).malformed);
}

TEST(GatewayState, RedirectIsNotedOnly) {
    GatewayState g;
    const RequestOutcome o = handle(g, request(ZEP_REQ_REDIRECT_IPSET, sZepIPSetRedirect(4000), 8));
    EXPECT_FALSE(o.malformed);
    EXPECT_TRUE(o.events.empty());
    EXPECT_EQ("redirect dn=4000", o.note);
}

TEST(GatewayState, EveryTruncationOfEveryRequestIsRefusedWithinItsBytes) {
    sZepIPSetTableGet t = GatewayState::generatedTerminal(CallServer::Cedar, 1000);
    struct Full {
        uint32_t code;
        std::vector<unsigned char> payload;
    };
    auto bytes = [](const auto& p, std::size_t n) { return std::vector<unsigned char>(p.data(), p.data() + n); };
    const Full full[] = {
        {ZEP_REQ_SET_SETTING_ITEM, bytes(sZepSettingItemSet::text(5, "9"), 264)},
        {ZEP_REQ_SET_IPSET, bytes(sZepIPSetTableSet(t), 65)},
        {ZEP_REQ_REDIRECT_IPSET, bytes(sZepIPSetRedirect(1000), 8)},
        {ZEP_REQ_GET_MODE, bytes(sZepSettingsRequest(0), 4)},
        {ZEP_REQ_GET_SETTINGS, bytes(sZepSettingsRequest(0), 4)},
        {ZEP_REQ_GET_IPSET_TABLE, bytes(sZepIPSetTableRequest(0), 9)},
    };
    for (const Full& f : full) {
        GatewayState g;
        g.generateTerminals(CallServer::Cedar, 1, 1000);
        const std::vector<unsigned char> whole = request(f.code, f.payload, f.payload.size());
        EXPECT_FALSE(handle(g, whole).malformed) << "code " << f.code;
        for (std::size_t n = 0; n < whole.size(); ++n) {
            // A fresh allocation of exactly n bytes for each length.
            const std::vector<unsigned char> cut(whole.begin(), whole.begin() + static_cast<long>(n));
            const RequestOutcome o = g.handleRequest(n ? cut.data() : nullptr, n);
            // Only the mode request has no payload to cut.
            if (f.code != ZEP_REQ_GET_MODE || n < ZEP_BODY_PAYLOAD_OFFSET) {
                EXPECT_TRUE(o.malformed) << "code " << f.code << ", " << n << " bytes";
            }
        }
    }
    GatewayState g;
    std::vector<unsigned char> wrongMark = request(ZEP_REQ_GET_MODE, sZepSettingsRequest(0), 4);
    wrongMark[0] = 4;
    EXPECT_TRUE(handle(g, wrongMark).malformed);
    EXPECT_TRUE(handle(g, request(3, sZepSettingsRequest(0), 4)).malformed);
    EXPECT_TRUE(handle(g, request(ZEP_REQ_GET_SETTINGS, sZepSettingsRequest(3), 4)).malformed);
}

TEST(GatewayState, GeneratedTerminalsAreDistinctAndFitTheirFields) {
    GatewayState g;
    std::set<std::vector<unsigned char>> macs;
    std::set<uint32_t> ips;
    std::set<std::string> texts;
    for (CallServer t : {CallServer::Cedar, CallServer::Alder, CallServer::Birch}) {
        g.generateTerminals(t, 300, 1000);
        for (const auto& entry : g.terminals(t)) {
            const sZepIPSetTableGet& r = entry.second;
            const auto mac = r.getHWID();
            macs.insert(std::vector<unsigned char>(mac.begin(), mac.end()));
            ips.insert(r.getMOTPS());
            texts.insert(r.getBUID());
            EXPECT_EQ(moTypeOf(t), r.getMoType());
        }
    }
    EXPECT_EQ(900u, macs.size());
    EXPECT_EQ(900u, ips.size());
    EXPECT_EQ(900u, texts.size());
    // The longest DN still gives texts inside the writable properties' limits.
    const sZepIPSetTableGet big = GatewayState::generatedTerminal(CallServer::Birch, 4294967295u);
    EXPECT_EQ("birch-4294967295", big.getMODN());
    EXPECT_LE(GatewayState::generatedTerminal(CallServer::Cedar, 4294967295u).getMOTN().size(), 15u);
}

TEST(GatewayState, AddressTextsParseStrictly) {
    EXPECT_EQ(0u, *parseIPv4("0.0.0.0"));
    EXPECT_EQ(0xFFFFFFFFu, *parseIPv4("255.255.255.255"));
    for (const char* bad : {"", "1.2.3", "1.2.3.4.", "1..2.3", "1.2.3.4 ", "1234.1.1.1", "a.b.c.d", "-1.2.3.4"})
        EXPECT_FALSE(parseIPv4(bad)) << bad;
    EXPECT_EQ("192.168.1.10", formatIPv4(0xC0A8010Au));
    EXPECT_FALSE(parseMac("00:1b:4f:0a:0b"));
    EXPECT_FALSE(parseMac("00:1b:4f:0a:0b:0g"));
    EXPECT_FALSE(parseMac("001b:4f:0a:0b:0c:"));
    EXPECT_EQ("00:1b:4f:0a:0b:0c", formatMac(*parseMac("00-1B-4F-0A-0B-0C")));
}

}  // namespace
}  // namespace zepsim

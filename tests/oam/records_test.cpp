// Record layouts and codes, checked through the same writers the library and
// the gateway use, so that the expectations hold on either byte order.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "ZepRecords.h"

// Both ends take the envelope from these constants, so a change to one would
// go unnoticed between them: they are pinned here.
static_assert(ZEP_MFW_CLASS_ENVELOPE == 4 && ZEP_ENVELOPE_MARK == 3 && ZEP_ENVELOPE_MARK_OFFSET == 24 &&
              ZEP_ENVELOPE_FLAG_OFFSET == 28 && ZEP_ENVELOPE_RESERVED_OFFSET == 32 &&
              ZEP_ENVELOPE_CODE_OFFSET == 36 && ZEP_ENVELOPE_PAYLOAD_OFFSET == 40 &&
              ZEP_ENVELOPE_BUFFER_SIZE == 2048);
static_assert(ZEP_BODY_CODE_OFFSET == 12 && ZEP_BODY_PAYLOAD_OFFSET == 16 && ZEP_EVENT_BODY_LENGTH == 12 + 336);

namespace {

using Bytes = std::vector<unsigned char>;

Bytes host(uint32_t v) {
    const auto b = zeprec::hostBytes(v);
    return Bytes(b.begin(), b.end());
}
Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
template <class R>
Bytes bytesOf(const R& r, size_t n = R::kSize) {
    return Bytes(r.data(), r.data() + n);
}
template <class R>
Bytes slice(const R& r, size_t off, size_t n) {
    return Bytes(r.data() + off, r.data() + off + n);
}

TEST(ZepRecords, TerminalRecordFieldsSitAtTheirOffsets) {
    sZepIPSetTableGet t{};
    t.setDN(0x01020304);
    t.setHWID({0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6});
    t.setFwVersion("FW-1.2");
    t.setMOTPS(0xC0A8010A);
    t.setMoType(ZEP_MOTYPE_ALDER);
    t.setBUID("buid");
    t.setMOTN("motn");
    t.setSetStatus("registered");

    EXPECT_EQ(host(0x01020304), slice(t, 0, 4));
    EXPECT_EQ((Bytes{0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6}), slice(t, 4, 6));
    EXPECT_EQ(cat({Bytes{'F', 'W', '-', '1', '.', '2'}, Bytes(6, 0)}), slice(t, 10, 12));
    EXPECT_EQ(host(0xC0A8010A), slice(t, 22, 4));
    EXPECT_EQ(host(1), slice(t, 26, 4));
    EXPECT_EQ(cat({Bytes{'b', 'u', 'i', 'd'}, Bytes(30, 0)}), slice(t, 30, 34));
    EXPECT_EQ(cat({Bytes{'m', 'o', 't', 'n'}, Bytes(11, 0)}), slice(t, 64, 15));
    EXPECT_EQ('r', t.raw[79]);
    EXPECT_EQ(0, t.raw[158]);

    EXPECT_EQ(0x01020304u, t.getDN());
    EXPECT_EQ(0xC0A8010Au, t.getMOTPS());
    EXPECT_EQ(ZEP_MOTYPE_ALDER, t.getMoType());
    EXPECT_EQ("buid", t.getMODN());  // one field, two names
    EXPECT_EQ("registered", t.getSetStatus());
}

TEST(ZepRecords, TextFieldsEndAtNulOrAtTheirWidth) {
    sZepIPSetTableGet t{};
    const std::string full34(34, 'x');
    EXPECT_TRUE(t.setBUID(full34));
    EXPECT_EQ(full34, t.getBUID());  // no terminator, and MOTN's bytes are not read
    t.setMOTN("after");
    EXPECT_EQ(full34, t.getBUID());

    EXPECT_FALSE(t.setMOTN(std::string(20, 'y')));  // cut to the field
    EXPECT_EQ(std::string(15, 'y'), t.getMOTN());
    EXPECT_EQ(0, t.raw[sZepIPSetTableGet::kSetStatus]);  // nothing spilled

    t.setSetStatus(std::string(80, 's'));
    EXPECT_TRUE(t.setSetStatus("ok"));  // shorter text pads the rest with NULs
    EXPECT_EQ(cat({Bytes{'o', 'k'}, Bytes(78, 0)}), slice(t, 79, 80));

    // A record from the gateway may carry bytes after the terminator.
    t.raw[sZepIPSetTableGet::kFwVersion] = 'a';
    t.raw[sZepIPSetTableGet::kFwVersion + 1] = 0;
    t.raw[sZepIPSetTableGet::kFwVersion + 2] = 'z';
    EXPECT_EQ("a", t.getFwVersion());

    // Read into a string that held a longer text: the same text, nothing left over.
    std::string out(60, '#');
    t.getFwVersion(out);
    EXPECT_EQ("a", out);
    t.getBUID(out);
    EXPECT_EQ(full34, out);
    t.getSetStatus(out);
    EXPECT_EQ("ok", out);
}

TEST(ZepRecords, TerminalEventCarriesStatusAndRecordAtOffsetTwelve) {
    sZepIPSetTableGet t{};
    t.setDN(4711);
    t.setMOTPS(0x0A000001);
    t.setMoType(ZEP_MOTYPE_ALDER);
    const sZepToOamEvents e = sZepToOamEvents::ipsetRecord(t, 0);
    EXPECT_EQ(host(ZEP_EVT_IPSET_RECORD), slice(e, 0, 4));
    EXPECT_EQ(host(0), slice(e, 4, 4));
    EXPECT_EQ(bytesOf(t), slice(e, 12, 159));
    EXPECT_EQ(host(0x0A000001), slice(e, 34, 4));  // MOTPS at event offset 34
    EXPECT_EQ(host(1), slice(e, 38, 4));           // MoType at event offset 38
    EXPECT_EQ(ZEP_MOTYPE_ALDER, e.getIPSetRecord().getMoType());
    EXPECT_EQ(4711u, e.getIPSetRecord().getDN());
    EXPECT_EQ(7u, sZepToOamEvents::ipsetRecord(t, 7).getIPSetStatus());
}

TEST(ZepRecords, SettingsEventCarriesTheTypeAndItsRecord) {
    sZepCedarCache cedar{};
    cedar.setPrimaryNCSAddr(0xC0A80001);
    cedar.setVoipTrunkAccessCode("0815");
    cedar.setH323Id(std::string(256, 'h'));
    cedar.setAccessCodeLength(9);
    const sZepToOamEvents ce = sZepToOamEvents::settingsRecord(cedar);
    EXPECT_EQ(ZEP_EVT_SETTINGS_RECORD, ce.getType());
    EXPECT_EQ(ZEP_MOTYPE_CEDAR, ce.getSettingsMoType());
    EXPECT_EQ(bytesOf(cedar), slice(ce, 8, 328));  // fills the payload to the last byte
    EXPECT_EQ(host(9), slice(ce, 332, 4));
    EXPECT_EQ(std::string(256, 'h'), ce.getCedarSettings().getH323Id());
    EXPECT_EQ(host(0xC0A80001), slice(cedar, 0, 4));
    EXPECT_EQ('0', cedar.raw[16]);
    EXPECT_EQ('h', cedar.raw[56]);

    sZepBirchCache birch{};
    birch.setPrimaryTpsPort(5060);
    birch.setTestLocalModeTimeOut(3);
    const sZepToOamEvents be = sZepToOamEvents::settingsRecord(birch);
    EXPECT_EQ(host(ZEP_MOTYPE_BIRCH), slice(be, 4, 4));
    EXPECT_EQ(host(5060), slice(be, 12, 4));
    EXPECT_EQ(host(3), slice(be, 48, 4));
    EXPECT_EQ(5060u, be.getBirchSettings().getPrimaryTpsPort());

    sZepAldrCache alder{};
    alder.setVoipTrunkAccessCode("77");
    alder.setTestLocalModeTimeout(10);
    const sZepToOamEvents ae = sZepToOamEvents::settingsRecord(alder);
    EXPECT_EQ(ZEP_MOTYPE_ALDER, ae.getSettingsMoType());
    EXPECT_EQ('7', ae.raw[8 + 8]);
    EXPECT_EQ(host(10), slice(ae, 8 + 40, 4));
    EXPECT_EQ("77", ae.getAlderSettings().getVoipTrunkAccessCode());
}

TEST(ZepRecords, DeletionEventCarriesTypeAndDirectoryNumber) {
    const sZepToOamEvents e = sZepToOamEvents::ipsetDeleted(ZEP_MOTYPE_CEDAR, 0);
    EXPECT_EQ(cat({host(8), host(0), host(0)}), slice(e, 0, 12));
    EXPECT_EQ(1234u, sZepToOamEvents::ipsetDeleted(ZEP_MOTYPE_BIRCH, 1234).getDeletedDN());
    EXPECT_EQ(ZEP_MOTYPE_BIRCH, sZepToOamEvents::ipsetDeleted(ZEP_MOTYPE_BIRCH, 1).getDeletedMoType());
}

TEST(ZepRecords, RequestPayloadsHaveTheirFixedFields) {
    // Requests 7, 8 (Alder) and 9 (Alder).
    EXPECT_EQ(host(0), bytesOf(sZepSettingsRequest(0)));
    EXPECT_EQ(host(1), bytesOf(sZepSettingsRequest(ZEP_MOTYPE_ALDER)));
    EXPECT_EQ(cat({host(1), host(0), Bytes{1}}), bytesOf(sZepIPSetTableRequest(ZEP_MOTYPE_ALDER)));
    EXPECT_EQ(9u, sZepIPSetTableRequest::length());

    // Request 5.
    EXPECT_EQ(cat({host(0xFFFFFFFF), host(77)}), bytesOf(sZepIPSetRedirect(77)));

    // Request 4 takes the writable fields byte for byte, junk after a NUL included.
    sZepIPSetTableGet t{};
    t.setDN(5000);
    t.setMoType(ZEP_MOTYPE_BIRCH);
    t.setMODN("modn");
    t.raw[sZepIPSetTableGet::kMODN + 20] = 'j';
    t.setMOTN("motn");
    t.setSetStatus("not sent");
    const sZepIPSetTableSet set(t);
    EXPECT_EQ(cat({host(0), host(0xFFFFFFFF), host(5000), host(ZEP_MOTYPE_BIRCH),
                   slice(t, 30, 34), slice(t, 64, 15)}),
              bytesOf(set));
    EXPECT_EQ('j', set.raw[16 + 20]);
    EXPECT_EQ(65u, sZepIPSetTableSet::length());
}

TEST(ZepRecords, SettingItemHasANumberAndATextForm) {
    const sZepSettingItemSet n = sZepSettingItemSet::number(23, 5);
    EXPECT_EQ(12u, n.length());
    EXPECT_EQ(cat({host(23), host(0), host(5)}), bytesOf(n, n.length()));

    const sZepSettingItemSet t = sZepSettingItemSet::text(19, "0815");
    EXPECT_EQ(264u, t.length());
    EXPECT_EQ(cat({host(19), host(1), Bytes{'0', '8', '1', '5', 0}}), bytesOf(t, 13));
    EXPECT_EQ("0815", t.getText());

    const sZepSettingItemSet full = sZepSettingItemSet::text(19, std::string(256, 'z'));
    EXPECT_EQ(std::string(256, 'z'), full.getText());  // the area is full, no terminator
    EXPECT_EQ('z', full.raw[263]);
}

// The protocol's byte examples are written for the big-endian target; on a
// little-endian host every 32-bit word is mirrored. Literal bytes, not
// hostBytes: a writer with a fixed byte order fails on one of the two hosts.
TEST(ZepRecords, WordsAreInHostByteOrderOnEitherHost) {
    const bool bigEndian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;
    const auto word = [&](Bytes targetOrder) {
        if (!bigEndian) std::reverse(targetOrder.begin(), targetOrder.end());
        return targetOrder;
    };

    // Mode 1, MoType 2 is 01 00 00 00 02 on the target.
    const Bytes mode = cat({Bytes{1}, word({0, 0, 0, 2})});
    sZepModeSetting m{};
    m.setMode(1);
    m.setMoType(ZEP_MOTYPE_BIRCH);
    EXPECT_EQ(mode, bytesOf(m));
    EXPECT_EQ(mode, slice(sZepToOamEvents::modeRecord(m), 4, 5));  // its type unaligned, at event offset 5
    sZepToOamEvents modeEvent = sZepToOamEvents::ofType(ZEP_EVT_MODE_RECORD);
    std::copy(mode.begin(), mode.end(), modeEvent.raw + 4);
    EXPECT_EQ(1, modeEvent.getModeRecord().getMode());
    EXPECT_EQ(ZEP_MOTYPE_BIRCH, modeEvent.getModeRecord().getMoType());

    // Requests 9, 8 (Alder) and 7.
    EXPECT_EQ(cat({word({0, 0, 0, 1}), Bytes{0, 0, 0, 0, 1}}),
              bytesOf(sZepIPSetTableRequest(ZEP_MOTYPE_ALDER)));
    EXPECT_EQ(word({0, 0, 0, 1}), bytesOf(sZepSettingsRequest(ZEP_MOTYPE_ALDER)));
    EXPECT_EQ(word({0xFF, 0xFF, 0xFF, 0xFF}), slice(sZepIPSetRedirect(0x0A0B0C0D), 0, 4));
    EXPECT_EQ(word({0x0A, 0x0B, 0x0C, 0x0D}), slice(sZepIPSetRedirect(0x0A0B0C0D), 4, 4));

    // A terminal event whose MoType bytes (event offsets 38 to 41) are
    // 00 00 00 01 on the target names Alder; the DN and address read back whole.
    sZepToOamEvents e = sZepToOamEvents::ofType(ZEP_EVT_IPSET_RECORD);
    for (const auto& [offset, bytes] : {std::pair{12, word({0x00, 0x01, 0xE2, 0x40})},
                                        std::pair{34, word({0xC0, 0xA8, 0x01, 0x0A})},
                                        std::pair{38, word({0, 0, 0, 1})}})
        std::copy(bytes.begin(), bytes.end(), e.raw + offset);
    const sZepIPSetTableGet t = e.getIPSetRecord();
    EXPECT_EQ(ZEP_MOTYPE_ALDER, t.getMoType());
    EXPECT_EQ(123456u, t.getDN());
    EXPECT_EQ(0xC0A8010Au, t.getMOTPS());
}

}  // namespace

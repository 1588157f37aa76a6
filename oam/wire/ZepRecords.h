// Layouts and codes of everything exchanged with the gateway process "zep":
// the envelope of its messages, the event record every handler receives, the
// terminal and settings records it carries, and the request payloads sent
// with ZepOamSend. Both sides of the link, and whatever plays the gateway,
// take the layout from here (CMake target zep_wire).
//
// Every layout is packed and in host byte order (the gateway shares the host
// with us). Each record is a plain byte array of exactly the record's size,
// alignment 1, so a pointer into a received message may be viewed as one.
// Multi-byte fields are read and written through memcpy-based accessors only,
// because many of them sit at offsets that are not multiples of four. Text
// fields end at their first NUL or at the end of the field.
//
// Records are values: copy them freely, from any thread. Records the gateway
// sends are trivial types; value-initialise them (`sZepIPSetTableGet r{};`)
// to start from zeros. Request payloads have constructors that fill in their
// fixed fields, so a request cannot be sent with those left out.
#ifndef ZEP_RECORDS_H
#define ZEP_RECORDS_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// Event types (first word of sZepToOamEvents).
inline constexpr uint32_t ZEP_EVT_IPSET_RECORD = 1;     // one terminal record, new or changed
inline constexpr uint32_t ZEP_EVT_LINK_UP = 4;          // the gateway announces the link
inline constexpr uint32_t ZEP_EVT_LINK_DOWN = 5;        // raised locally: the gateway is gone
inline constexpr uint32_t ZEP_EVT_MODE_RECORD = 6;      // sZepModeSetting
inline constexpr uint32_t ZEP_EVT_SETTINGS_RECORD = 7;  // MoType + settings record
inline constexpr uint32_t ZEP_EVT_IPSET_DELETED = 8;    // MoType + DN (0: every terminal)

// Request codes (ZepOamSend).
inline constexpr uint32_t ZEP_REQ_SET_SETTING_ITEM = 1;  // sZepSettingItemSet
inline constexpr uint32_t ZEP_REQ_SET_IPSET = 4;         // sZepIPSetTableSet
inline constexpr uint32_t ZEP_REQ_REDIRECT_IPSET = 5;    // sZepIPSetRedirect
inline constexpr uint32_t ZEP_REQ_GET_MODE = 7;          // sZepSettingsRequest(0)
inline constexpr uint32_t ZEP_REQ_GET_SETTINGS = 8;      // sZepSettingsRequest(MoType)
inline constexpr uint32_t ZEP_REQ_GET_IPSET_TABLE = 9;   // sZepIPSetTableRequest

// The envelope. Every message to or from the gateway is of framework class 4
// and starts, after the framework's own 24-byte header, with four words in
// host order: the mark 3; the flag of a request, or the value an event hands
// to the link's callback; a reserved word, 0; then the request code and its
// payload, or the whole event record. Offsets from the start of the
// framework's buffer; the length given to the framework counts from the mark.
inline constexpr uint16_t ZEP_MFW_CLASS_ENVELOPE = 4;
inline constexpr uint32_t ZEP_ENVELOPE_MARK = 3;
inline constexpr uint32_t ZEP_ENVELOPE_MARK_OFFSET = 24;
inline constexpr uint32_t ZEP_ENVELOPE_FLAG_OFFSET = 28;
inline constexpr uint32_t ZEP_ENVELOPE_RESERVED_OFFSET = 32;
inline constexpr uint32_t ZEP_ENVELOPE_CODE_OFFSET = 36;  // request code / event record
inline constexpr uint32_t ZEP_ENVELOPE_PAYLOAD_OFFSET = 40;
inline constexpr uint32_t ZEP_ENVELOPE_BUFFER_SIZE = 2048;
inline constexpr uint32_t ZEP_ENVELOPE_MAX_PAYLOAD =
    ZEP_ENVELOPE_BUFFER_SIZE - ZEP_ENVELOPE_PAYLOAD_OFFSET;  // 2008
// The same counted from the mark, in the message body a receiver finds past
// the framework's header: where the code or event record starts (12), and
// where a request's payload starts (16: the envelope's share of its length).
inline constexpr uint32_t ZEP_BODY_CODE_OFFSET = ZEP_ENVELOPE_CODE_OFFSET - ZEP_ENVELOPE_MARK_OFFSET;
inline constexpr uint32_t ZEP_BODY_PAYLOAD_OFFSET = ZEP_ENVELOPE_PAYLOAD_OFFSET - ZEP_ENVELOPE_MARK_OFFSET;

// Call-server types (MoType). Any other value selects no class.
inline constexpr uint32_t ZEP_MOTYPE_CEDAR = 0;
inline constexpr uint32_t ZEP_MOTYPE_ALDER = 1;
inline constexpr uint32_t ZEP_MOTYPE_BIRCH = 2;

namespace zeprec {

// Host-order 32-bit access at any byte address.
inline uint32_t loadU32(const unsigned char* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void storeU32(unsigned char* p, uint32_t v) { std::memcpy(p, &v, sizeof v); }

// The four bytes of v as this host stores them; tests build expected bytes
// with it so that they hold on either byte order.
inline std::array<unsigned char, 4> hostBytes(uint32_t v) {
    std::array<unsigned char, 4> b;
    std::memcpy(b.data(), &v, sizeof v);
    return b;
}

// The text of a fixed-size field: up to the first NUL or the field's end.
inline std::string_view fieldText(const unsigned char* field, std::size_t width) {
    const void* nul = std::memchr(field, 0, width);
    const std::size_t n =
        nul ? static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - field) : width;
    return std::string_view(reinterpret_cast<const char*>(field), n);
}
inline std::string readText(const unsigned char* field, std::size_t width) {
    return std::string(fieldText(field, width));
}

// Copies text into the field and fills the rest with NULs. A text as long as
// the field fills it without a terminator; a longer one is cut at the field's
// end and false is returned.
inline bool writeText(unsigned char* field, std::size_t width, std::string_view text) {
    const std::size_t n = text.size() < width ? text.size() : width;
    if (n) std::memcpy(field, text.data(), n);
    if (n < width) std::memset(field + n, 0, width - n);
    return text.size() <= width;
}

// Storage and raw access shared by every record: exactly N bytes, no padding.
template <std::size_t N>
struct Bytes {
    static constexpr std::size_t kSize = N;
    unsigned char raw[N];

    static constexpr std::size_t size() { return N; }
    unsigned char* data() { return raw; }
    const unsigned char* data() const { return raw; }

protected:
    uint32_t u32(std::size_t off) const { return loadU32(raw + off); }
    void setU32(std::size_t off, uint32_t v) { storeU32(raw + off, v); }
    std::string text(std::size_t off, std::size_t width) const { return readText(raw + off, width); }
    // The same text into out, which keeps its storage for the next.
    void text(std::size_t off, std::size_t width, std::string& out) const { out.assign(fieldText(raw + off, width)); }
    bool setText(std::size_t off, std::size_t width, std::string_view s) {
        return writeText(raw + off, width, s);
    }
};

// A record of type R filled from len bytes at p: shorter input leaves the
// rest zero, longer input is cut at the record's size.
template <class R>
R fromBytes(const void* p, std::size_t len) {
    R r{};
    std::memcpy(r.raw, p, len < R::kSize ? len : R::kSize);
    return r;
}

}  // namespace zeprec

// One terminal (IP set) as the gateway reports it; shared by the three
// terminal classes. BUID (Cedar) and MODN (Alder, Birch) are the same field.
struct sZepIPSetTableGet : zeprec::Bytes<159> {
    static constexpr std::size_t kDN = 0;
    static constexpr std::size_t kHWID = 4, kHWIDSize = 6;
    static constexpr std::size_t kFwVersion = 10, kFwVersionSize = 12;
    static constexpr std::size_t kMOTPS = 22;
    static constexpr std::size_t kMoType = 26;
    static constexpr std::size_t kBUID = 30, kBUIDSize = 34;
    static constexpr std::size_t kMODN = kBUID, kMODNSize = kBUIDSize;
    static constexpr std::size_t kMOTN = 64, kMOTNSize = 15;
    static constexpr std::size_t kSetStatus = 79, kSetStatusSize = 80;
    // MoType, BUID/MODN and MOTN: the part a set request (4) sends back.
    static constexpr std::size_t kWritableBlock = 26, kWritableBlockSize = 53;

    using HWIDBytes = std::array<unsigned char, kHWIDSize>;

    uint32_t getDN() const { return u32(kDN); }
    void setDN(uint32_t v) { setU32(kDN, v); }
    HWIDBytes getHWID() const {
        HWIDBytes h;
        std::memcpy(h.data(), raw + kHWID, kHWIDSize);
        return h;
    }
    void setHWID(const HWIDBytes& h) { std::memcpy(raw + kHWID, h.data(), kHWIDSize); }
    std::string getFwVersion() const { return text(kFwVersion, kFwVersionSize); }
    void getFwVersion(std::string& out) const { text(kFwVersion, kFwVersionSize, out); }
    bool setFwVersion(std::string_view s) { return setText(kFwVersion, kFwVersionSize, s); }
    // IPv4 address, most significant byte first in dotted notation.
    uint32_t getMOTPS() const { return u32(kMOTPS); }
    void setMOTPS(uint32_t v) { setU32(kMOTPS, v); }
    uint32_t getMoType() const { return u32(kMoType); }
    void setMoType(uint32_t v) { setU32(kMoType, v); }
    std::string getBUID() const { return text(kBUID, kBUIDSize); }
    void getBUID(std::string& out) const { text(kBUID, kBUIDSize, out); }
    bool setBUID(std::string_view s) { return setText(kBUID, kBUIDSize, s); }
    std::string getMODN() const { return text(kMODN, kMODNSize); }
    void getMODN(std::string& out) const { text(kMODN, kMODNSize, out); }
    bool setMODN(std::string_view s) { return setText(kMODN, kMODNSize, s); }
    std::string getMOTN() const { return text(kMOTN, kMOTNSize); }
    void getMOTN(std::string& out) const { text(kMOTN, kMOTNSize, out); }
    bool setMOTN(std::string_view s) { return setText(kMOTN, kMOTNSize, s); }
    std::string getSetStatus() const { return text(kSetStatus, kSetStatusSize); }
    void getSetStatus(std::string& out) const { text(kSetStatus, kSetStatusSize, out); }
    bool setSetStatus(std::string_view s) { return setText(kSetStatus, kSetStatusSize, s); }
};
static_assert(sizeof(sZepIPSetTableGet) == 159 && alignof(sZepIPSetTableGet) == 1);

// The gateway's mode: whether it works with a call server, and which type.
struct sZepModeSetting : zeprec::Bytes<5> {
    static constexpr std::size_t kMode = 0;
    static constexpr std::size_t kMoType = 1;  // unaligned

    uint8_t getMode() const { return raw[kMode]; }
    void setMode(uint8_t v) { raw[kMode] = v; }
    uint32_t getMoType() const { return u32(kMoType); }
    void setMoType(uint32_t v) { setU32(kMoType, v); }
};
static_assert(sizeof(sZepModeSetting) == 5 && alignof(sZepModeSetting) == 1);

// Settings towards a Cedar call server.
struct sZepCedarCache : zeprec::Bytes<328> {
    static constexpr uint32_t kMoTypeCode = ZEP_MOTYPE_CEDAR;
    static constexpr std::size_t kPrimaryNCSAddr = 0;
    static constexpr std::size_t kAlternateNCSAddr = 4;
    static constexpr std::size_t kNCSPort = 8;
    static constexpr std::size_t kHeartBeatPort = 12;
    static constexpr std::size_t kVoipTrunkAccessCode = 16, kVoipTrunkAccessCodeSize = 32;
    static constexpr std::size_t kTestLocalModeTimeout = 48;
    static constexpr std::size_t kUninterpreted = 52;  // carried, never read
    static constexpr std::size_t kH323Id = 56, kH323IdSize = 256;
    static constexpr std::size_t kNPI = 312;
    static constexpr std::size_t kTON = 316;
    static constexpr std::size_t kNodeId = 320;
    static constexpr std::size_t kAccessCodeLength = 324;

    uint32_t getPrimaryNCSAddr() const { return u32(kPrimaryNCSAddr); }
    void setPrimaryNCSAddr(uint32_t v) { setU32(kPrimaryNCSAddr, v); }
    uint32_t getAlternateNCSAddr() const { return u32(kAlternateNCSAddr); }
    void setAlternateNCSAddr(uint32_t v) { setU32(kAlternateNCSAddr, v); }
    uint32_t getNCSPort() const { return u32(kNCSPort); }
    void setNCSPort(uint32_t v) { setU32(kNCSPort, v); }
    uint32_t getHeartBeatPort() const { return u32(kHeartBeatPort); }
    void setHeartBeatPort(uint32_t v) { setU32(kHeartBeatPort, v); }
    std::string getVoipTrunkAccessCode() const {
        return text(kVoipTrunkAccessCode, kVoipTrunkAccessCodeSize);
    }
    bool setVoipTrunkAccessCode(std::string_view s) {
        return setText(kVoipTrunkAccessCode, kVoipTrunkAccessCodeSize, s);
    }
    uint32_t getTestLocalModeTimeout() const { return u32(kTestLocalModeTimeout); }
    void setTestLocalModeTimeout(uint32_t v) { setU32(kTestLocalModeTimeout, v); }
    std::string getH323Id() const { return text(kH323Id, kH323IdSize); }
    bool setH323Id(std::string_view s) { return setText(kH323Id, kH323IdSize, s); }
    uint32_t getNPI() const { return u32(kNPI); }
    void setNPI(uint32_t v) { setU32(kNPI, v); }
    uint32_t getTON() const { return u32(kTON); }
    void setTON(uint32_t v) { setU32(kTON, v); }
    uint32_t getNodeId() const { return u32(kNodeId); }
    void setNodeId(uint32_t v) { setU32(kNodeId, v); }
    uint32_t getAccessCodeLength() const { return u32(kAccessCodeLength); }
    void setAccessCodeLength(uint32_t v) { setU32(kAccessCodeLength, v); }
};
static_assert(sizeof(sZepCedarCache) == 328 && alignof(sZepCedarCache) == 1);

// Settings towards an Alder call server.
struct sZepAldrCache : zeprec::Bytes<44> {
    static constexpr uint32_t kMoTypeCode = ZEP_MOTYPE_ALDER;
    static constexpr std::size_t kUninterpreted = 0, kUninterpretedSize = 8;  // carried, never read
    static constexpr std::size_t kVoipTrunkAccessCode = 8, kVoipTrunkAccessCodeSize = 32;
    static constexpr std::size_t kTestLocalModeTimeout = 40;

    std::string getVoipTrunkAccessCode() const {
        return text(kVoipTrunkAccessCode, kVoipTrunkAccessCodeSize);
    }
    bool setVoipTrunkAccessCode(std::string_view s) {
        return setText(kVoipTrunkAccessCode, kVoipTrunkAccessCodeSize, s);
    }
    uint32_t getTestLocalModeTimeout() const { return u32(kTestLocalModeTimeout); }
    void setTestLocalModeTimeout(uint32_t v) { setU32(kTestLocalModeTimeout, v); }
};
static_assert(sizeof(sZepAldrCache) == 44 && alignof(sZepAldrCache) == 1);

// Settings towards a Birch call server.
struct sZepBirchCache : zeprec::Bytes<44> {
    static constexpr uint32_t kMoTypeCode = ZEP_MOTYPE_BIRCH;
    static constexpr std::size_t kPrimaryTpsAddress = 0;
    static constexpr std::size_t kPrimaryTpsPort = 4;
    static constexpr std::size_t kVoipTrunkAccessCode = 8, kVoipTrunkAccessCodeSize = 32;
    static constexpr std::size_t kTestLocalModeTimeOut = 40;

    uint32_t getPrimaryTpsAddress() const { return u32(kPrimaryTpsAddress); }
    void setPrimaryTpsAddress(uint32_t v) { setU32(kPrimaryTpsAddress, v); }
    uint32_t getPrimaryTpsPort() const { return u32(kPrimaryTpsPort); }
    void setPrimaryTpsPort(uint32_t v) { setU32(kPrimaryTpsPort, v); }
    std::string getVoipTrunkAccessCode() const {
        return text(kVoipTrunkAccessCode, kVoipTrunkAccessCodeSize);
    }
    bool setVoipTrunkAccessCode(std::string_view s) {
        return setText(kVoipTrunkAccessCode, kVoipTrunkAccessCodeSize, s);
    }
    uint32_t getTestLocalModeTimeOut() const { return u32(kTestLocalModeTimeOut); }
    void setTestLocalModeTimeOut(uint32_t v) { setU32(kTestLocalModeTimeOut, v); }
};
static_assert(sizeof(sZepBirchCache) == 44 && alignof(sZepBirchCache) == 1);

// The event record every registered handler receives: the type word, then a
// payload whose layout depends on the type. Handlers only read it; the
// pointer they get is valid during the call only.
struct sZepToOamEvents : zeprec::Bytes<336> {
    static constexpr std::size_t kType = 0;
    static constexpr std::size_t kPayload = 4, kPayloadSize = 332;
    // Type 1.
    static constexpr std::size_t kIPSetStatus = 4;
    static constexpr std::size_t kIPSetUnread = 8;
    static constexpr std::size_t kIPSetRecord = 12;
    // Type 6.
    static constexpr std::size_t kModeRecord = 4;
    // Type 7.
    static constexpr std::size_t kSettingsMoType = 4;
    static constexpr std::size_t kSettingsRecord = 8, kSettingsRecordMaxSize = 328;
    // Type 8.
    static constexpr std::size_t kDeletedMoType = 4;
    static constexpr std::size_t kDeletedDN = 8;

    uint32_t getType() const { return u32(kType); }
    void setType(uint32_t v) { setU32(kType, v); }

    // Type 1: the record counts only when its status word is 0.
    uint32_t getIPSetStatus() const { return u32(kIPSetStatus); }
    void setIPSetStatus(uint32_t v) { setU32(kIPSetStatus, v); }
    sZepIPSetTableGet getIPSetRecord() const { return record<sZepIPSetTableGet>(kIPSetRecord); }
    void setIPSetRecord(const sZepIPSetTableGet& r) { putRecord(kIPSetRecord, r); }

    // Type 6.
    sZepModeSetting getModeRecord() const { return record<sZepModeSetting>(kModeRecord); }
    void setModeRecord(const sZepModeSetting& r) { putRecord(kModeRecord, r); }

    // Type 7: read the MoType first, then the record of that type.
    uint32_t getSettingsMoType() const { return u32(kSettingsMoType); }
    void setSettingsMoType(uint32_t v) { setU32(kSettingsMoType, v); }
    const unsigned char* settingsRecordBytes() const { return raw + kSettingsRecord; }
    sZepCedarCache getCedarSettings() const { return record<sZepCedarCache>(kSettingsRecord); }
    sZepAldrCache getAlderSettings() const { return record<sZepAldrCache>(kSettingsRecord); }
    sZepBirchCache getBirchSettings() const { return record<sZepBirchCache>(kSettingsRecord); }
    // Writes the record and the MoType that belongs to it.
    template <class Settings>
    void setSettings(const Settings& r) {
        static_assert(Settings::kSize <= kSettingsRecordMaxSize, "not a settings record");
        setSettingsMoType(Settings::kMoTypeCode);
        putRecord(kSettingsRecord, r);
    }

    // Type 8: DN 0 stands for every terminal of the type.
    uint32_t getDeletedMoType() const { return u32(kDeletedMoType); }
    void setDeletedMoType(uint32_t v) { setU32(kDeletedMoType, v); }
    uint32_t getDeletedDN() const { return u32(kDeletedDN); }
    void setDeletedDN(uint32_t v) { setU32(kDeletedDN, v); }

    // Complete events, zero where the type has no data.
    static sZepToOamEvents ofType(uint32_t type) {
        sZepToOamEvents e{};
        e.setType(type);
        return e;
    }
    static sZepToOamEvents ipsetRecord(const sZepIPSetTableGet& r, uint32_t status = 0) {
        sZepToOamEvents e = ofType(ZEP_EVT_IPSET_RECORD);
        e.setIPSetStatus(status);
        e.setIPSetRecord(r);
        return e;
    }
    static sZepToOamEvents modeRecord(const sZepModeSetting& r) {
        sZepToOamEvents e = ofType(ZEP_EVT_MODE_RECORD);
        e.setModeRecord(r);
        return e;
    }
    template <class Settings>
    static sZepToOamEvents settingsRecord(const Settings& r) {
        sZepToOamEvents e = ofType(ZEP_EVT_SETTINGS_RECORD);
        e.setSettings(r);
        return e;
    }
    static sZepToOamEvents ipsetDeleted(uint32_t moType, uint32_t dn) {
        sZepToOamEvents e = ofType(ZEP_EVT_IPSET_DELETED);
        e.setDeletedMoType(moType);
        e.setDeletedDN(dn);
        return e;
    }

private:
    template <class R>
    R record(std::size_t off) const {
        static_assert(R::kSize <= kSize);
        return zeprec::fromBytes<R>(raw + off, R::kSize);
    }
    template <class R>
    void putRecord(std::size_t off, const R& r) {
        static_assert(R::kSize <= kPayloadSize);
        std::memcpy(raw + off, r.raw, R::kSize);
    }
};
static_assert(sizeof(sZepToOamEvents) == 336 && alignof(sZepToOamEvents) == 1);
static_assert(sZepToOamEvents::kSettingsRecord + sZepCedarCache::kSize == sZepToOamEvents::kSize,
              "the Cedar settings fill the payload exactly");
static_assert(sZepToOamEvents::kIPSetRecord + sZepIPSetTableGet::kSize <= sZepToOamEvents::kSize);
// The body length of a message carrying a whole event record, as the
// gateway sends every event.
inline constexpr uint32_t ZEP_EVENT_BODY_LENGTH = ZEP_BODY_CODE_OFFSET + sZepToOamEvents::kSize;

// ---- Request payloads. length() is the number of bytes to send. ----

// Requests 7 (value 0) and 8 (the requesting class's MoType).
struct sZepSettingsRequest : zeprec::Bytes<4> {
    static constexpr std::size_t kValue = 0;
    explicit sZepSettingsRequest(uint32_t value) : Bytes{} { setU32(kValue, value); }
    uint32_t getValue() const { return u32(kValue); }
    static constexpr std::size_t length() { return kSize; }
};
static_assert(sizeof(sZepSettingsRequest) == 4);

// Request 9: every terminal of one call-server type.
struct sZepIPSetTableRequest : zeprec::Bytes<9> {
    static constexpr std::size_t kMoType = 0;
    static constexpr std::size_t kZero = 4;
    static constexpr std::size_t kOne = 8;  // a single byte, always 1
    explicit sZepIPSetTableRequest(uint32_t moType) : Bytes{} {
        setU32(kMoType, moType);
        raw[kOne] = 1;
    }
    uint32_t getMoType() const { return u32(kMoType); }
    static constexpr std::size_t length() { return kSize; }
};
static_assert(sizeof(sZepIPSetTableRequest) == 9);

// Request 4: a terminal's writable fields, sent back after a modification.
struct sZepIPSetTableSet : zeprec::Bytes<65> {
    static constexpr std::size_t kZero = 0;
    static constexpr std::size_t kAllOnes = 4;
    static constexpr std::size_t kDN = 8;
    static constexpr std::size_t kMoType = 12;
    static constexpr std::size_t kBUID = 16, kBUIDSize = sZepIPSetTableGet::kBUIDSize;
    static constexpr std::size_t kMOTN = 50, kMOTNSize = sZepIPSetTableGet::kMOTNSize;

    // Takes DN, MoType and the BUID/MODN and MOTN fields byte for byte, as
    // the terminal's record holds them (bytes after a NUL included).
    explicit sZepIPSetTableSet(const sZepIPSetTableGet& t) : Bytes{} {
        setU32(kAllOnes, 0xFFFFFFFFu);
        setU32(kDN, t.getDN());
        setU32(kMoType, t.getMoType());
        std::memcpy(raw + kBUID, t.raw + sZepIPSetTableGet::kBUID, kBUIDSize);
        std::memcpy(raw + kMOTN, t.raw + sZepIPSetTableGet::kMOTN, kMOTNSize);
    }
    uint32_t getDN() const { return u32(kDN); }
    uint32_t getMoType() const { return u32(kMoType); }
    std::string getBUID() const { return text(kBUID, kBUIDSize); }
    std::string getMOTN() const { return text(kMOTN, kMOTNSize); }
    static constexpr std::size_t length() { return kSize; }
};
static_assert(sizeof(sZepIPSetTableSet) == 65);
static_assert(sZepIPSetTableSet::kBUID + sZepIPSetTableSet::kBUIDSize == sZepIPSetTableSet::kMOTN);

// Request 5: redirect one terminal.
struct sZepIPSetRedirect : zeprec::Bytes<8> {
    static constexpr std::size_t kAllOnes = 0;
    static constexpr std::size_t kDN = 4;
    explicit sZepIPSetRedirect(uint32_t dn) : Bytes{} {
        setU32(kAllOnes, 0xFFFFFFFFu);
        setU32(kDN, dn);
    }
    uint32_t getDN() const { return u32(kDN); }
    static constexpr std::size_t length() { return kSize; }
};
static_assert(sizeof(sZepIPSetRedirect) == 8);

// Request 1: one setting item, as a number (12 bytes sent) or as a text (264).
struct sZepSettingItemSet : zeprec::Bytes<264> {
    static constexpr std::size_t kItem = 0;
    static constexpr std::size_t kKind = 4;
    static constexpr std::size_t kValue = 8;
    static constexpr std::size_t kText = 8, kTextSize = 256;
    static constexpr uint32_t kKindNumber = 0, kKindText = 1;
    static constexpr std::size_t kNumberFormLength = 12, kTextFormLength = 264;

    static sZepSettingItemSet number(uint32_t item, uint32_t value) {
        sZepSettingItemSet s(item, kKindNumber);
        s.setU32(kValue, value);
        return s;
    }
    // A text of 256 bytes fills the area without a terminator; a longer one is cut.
    static sZepSettingItemSet text(uint32_t item, std::string_view value) {
        sZepSettingItemSet s(item, kKindText);
        s.setText(kText, kTextSize, value);
        return s;
    }
    uint32_t getItem() const { return u32(kItem); }
    uint32_t getKind() const { return u32(kKind); }
    uint32_t getNumber() const { return u32(kValue); }
    std::string getText() const { return Bytes::text(kText, kTextSize); }
    std::size_t length() const {
        return getKind() == kKindText ? kTextFormLength : kNumberFormLength;
    }

private:
    sZepSettingItemSet(uint32_t item, uint32_t kind) : Bytes{} {
        setU32(kItem, item);
        setU32(kKind, kind);
    }
};
static_assert(sizeof(sZepSettingItemSet) == 264);

#endif  // ZEP_RECORDS_H

#include "zepsim/GatewayState.h"

#include <cctype>
#include <cstdio>

namespace zepsim {

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Setting items of request 1, by call-server type. The number items store the
// value whole (addresses as their 32-bit number); the text items copy at most
// the field's width, as the gateway does.
enum class ItemKind { Number, Text };
struct Item {
    uint32_t number;
    CallServer type;
    ItemKind kind;
    std::size_t offset;  // in the settings record
    std::size_t width;   // text items only
};

constexpr Item kItems[] = {
    {1, CallServer::Cedar, ItemKind::Number, sZepCedarCache::kPrimaryNCSAddr, 0},
    {2, CallServer::Cedar, ItemKind::Number, sZepCedarCache::kAlternateNCSAddr, 0},
    {3, CallServer::Cedar, ItemKind::Number, sZepCedarCache::kNCSPort, 0},
    {4, CallServer::Cedar, ItemKind::Number, sZepCedarCache::kHeartBeatPort, 0},
    {5, CallServer::Cedar, ItemKind::Text, sZepCedarCache::kVoipTrunkAccessCode,
     sZepCedarCache::kVoipTrunkAccessCodeSize},
    {6, CallServer::Cedar, ItemKind::Number, sZepCedarCache::kTestLocalModeTimeout, 0},
    {8, CallServer::Cedar, ItemKind::Text, sZepCedarCache::kH323Id, sZepCedarCache::kH323IdSize},
    {9, CallServer::Cedar, ItemKind::Number, sZepCedarCache::kNPI, 0},
    {10, CallServer::Cedar, ItemKind::Number, sZepCedarCache::kTON, 0},
    {11, CallServer::Cedar, ItemKind::Number, sZepCedarCache::kNodeId, 0},
    {16, CallServer::Cedar, ItemKind::Number, sZepCedarCache::kAccessCodeLength, 0},
    {19, CallServer::Alder, ItemKind::Text, sZepAldrCache::kVoipTrunkAccessCode,
     sZepAldrCache::kVoipTrunkAccessCodeSize},
    {23, CallServer::Alder, ItemKind::Number, sZepAldrCache::kTestLocalModeTimeout, 0},
    {20, CallServer::Birch, ItemKind::Number, sZepBirchCache::kPrimaryTpsAddress, 0},
    {21, CallServer::Birch, ItemKind::Number, sZepBirchCache::kPrimaryTpsPort, 0},
    {22, CallServer::Birch, ItemKind::Text, sZepBirchCache::kVoipTrunkAccessCode,
     sZepBirchCache::kVoipTrunkAccessCodeSize},
    {24, CallServer::Birch, ItemKind::Number, sZepBirchCache::kTestLocalModeTimeOut, 0},
};

const Item* findItem(uint32_t number) {
    for (const Item& i : kItems)
        if (i.number == number) return &i;
    return nullptr;
}

std::string hexWord(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%x", v);
    return b;
}

RequestOutcome refuse(uint32_t code, std::string why) {
    RequestOutcome o;
    o.code = code;
    o.malformed = true;
    o.note = "request " + std::to_string(code) + " refused: " + why;
    return o;
}

}  // namespace

const char* nameOf(CallServer t) {
    switch (t) {
        case CallServer::Cedar: return "cedar";
        case CallServer::Alder: return "alder";
        case CallServer::Birch: return "birch";
    }
    return "?";
}

std::optional<CallServer> callServerFromName(const std::string& name) {
    const std::string n = lower(name);
    if (n == "cedar") return CallServer::Cedar;
    if (n == "alder") return CallServer::Alder;
    if (n == "birch") return CallServer::Birch;
    return std::nullopt;
}

std::optional<CallServer> callServerFromMoType(uint32_t moType) {
    if (moType < kCallServerCount) return static_cast<CallServer>(moType);
    return std::nullopt;
}

std::optional<uint32_t> parseIPv4(const std::string& text) {
    uint32_t value = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.') return std::nullopt;
            ++pos;
        }
        std::size_t digits = 0;
        uint32_t n = 0;
        while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) && digits < 4) {
            n = n * 10 + static_cast<uint32_t>(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || digits > 3 || n > 255) return std::nullopt;
        value = (value << 8) | n;
    }
    if (pos != text.size()) return std::nullopt;
    return value;
}

std::string formatIPv4(uint32_t a) {
    char b[20];
    std::snprintf(b, sizeof b, "%u.%u.%u.%u", (a >> 24) & 255u, (a >> 16) & 255u, (a >> 8) & 255u, a & 255u);
    return b;
}

std::optional<sZepIPSetTableGet::HWIDBytes> parseMac(const std::string& text) {
    sZepIPSetTableGet::HWIDBytes mac{};
    if (text.size() != 17) return std::nullopt;
    const char sep = text[2];
    if (sep != ':' && sep != '-') return std::nullopt;
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const std::size_t at = i * 3;
        if (i > 0 && text[at - 1] != sep) return std::nullopt;
        if (!std::isxdigit(static_cast<unsigned char>(text[at])) ||
            !std::isxdigit(static_cast<unsigned char>(text[at + 1])))
            return std::nullopt;
        mac[i] = static_cast<unsigned char>(std::stoul(text.substr(at, 2), nullptr, 16));
    }
    return mac;
}

std::string formatMac(const sZepIPSetTableGet::HWIDBytes& m) {
    char b[24];
    std::snprintf(b, sizeof b, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
    return b;
}

GatewayState::GatewayState() {
    setMode(true, CallServer::Cedar);

    // Every default lies inside the limits the provider checks on a modify,
    // so a client may write a whole instance back unchanged.
    cedar_.setPrimaryNCSAddr(*parseIPv4("10.1.0.1"));
    cedar_.setAlternateNCSAddr(*parseIPv4("10.1.0.2"));
    cedar_.setNCSPort(2427);
    cedar_.setHeartBeatPort(2428);
    cedar_.setVoipTrunkAccessCode("9");
    cedar_.setTestLocalModeTimeout(5);
    cedar_.setH323Id("zep-gateway");
    cedar_.setNPI(1);
    cedar_.setTON(2);
    cedar_.setNodeId(1);
    cedar_.setAccessCodeLength(4);

    alder_.setVoipTrunkAccessCode("8");
    alder_.setTestLocalModeTimeout(5);

    birch_.setPrimaryTpsAddress(*parseIPv4("10.2.0.1"));
    birch_.setPrimaryTpsPort(5060);
    birch_.setVoipTrunkAccessCode("7");
    birch_.setTestLocalModeTimeOut(5);
}

std::optional<CallServer> GatewayState::activeType() const {
    if (mode_.getMode() == 0) return std::nullopt;
    return callServerFromMoType(mode_.getMoType());
}

void GatewayState::setMode(bool on, CallServer type) {
    mode_.setMode(on ? 1 : 0);
    mode_.setMoType(moTypeOf(type));
}

const sZepIPSetTableGet* GatewayState::terminal(CallServer t, uint32_t dn) const {
    const Table& table = tables_[index(t)];
    const auto it = table.find(dn);
    return it == table.end() ? nullptr : &it->second;
}

sZepIPSetTableGet GatewayState::generatedTerminal(CallServer t, uint32_t dn) {
    sZepIPSetTableGet r{};
    r.setDN(dn);
    r.setMoType(moTypeOf(t));
    // A locally administered address: the type, then the DN's low 32 bits.
    r.setHWID({0x02, static_cast<unsigned char>(moTypeOf(t)), static_cast<unsigned char>(dn >> 24),
               static_cast<unsigned char>(dn >> 16), static_cast<unsigned char>(dn >> 8),
               static_cast<unsigned char>(dn)});
    r.setMOTPS((10u << 24) | ((moTypeOf(t) + 1) << 16) | (dn & 0xFFFFu));
    r.setFwVersion("1.0." + std::to_string(dn % 100));
    const std::string n = std::to_string(dn);
    if (t == CallServer::Cedar) {
        r.setBUID("BU-" + n);
        r.setMOTN("T-" + n);
    } else {
        r.setMODN(std::string(nameOf(t)) + "-" + n);
    }
    r.setSetStatus("registered");
    return r;
}

const sZepIPSetTableGet& GatewayState::upsertTerminal(CallServer t, uint32_t dn, const TerminalFields& f) {
    Table& table = tables_[index(t)];
    auto it = table.find(dn);
    if (it == table.end()) it = table.emplace(dn, generatedTerminal(t, dn)).first;
    sZepIPSetTableGet& r = it->second;
    if (f.mac) r.setHWID(*f.mac);
    if (f.ip) r.setMOTPS(*f.ip);
    if (f.fwVersion) r.setFwVersion(*f.fwVersion);
    if (f.buid) r.setBUID(*f.buid);
    if (f.motn) r.setMOTN(*f.motn);
    if (f.setStatus) r.setSetStatus(*f.setStatus);
    return r;
}

void GatewayState::generateTerminals(CallServer t, uint32_t count, uint32_t firstDn) {
    Table& table = tables_[index(t)];
    for (uint32_t i = 0; i < count; ++i) table[firstDn + i] = generatedTerminal(t, firstDn + i);
}

bool GatewayState::removeTerminal(CallServer t, uint32_t dn) { return tables_[index(t)].erase(dn) > 0; }

std::size_t GatewayState::removeAllTerminals(CallServer t) {
    const std::size_t n = tables_[index(t)].size();
    tables_[index(t)].clear();
    return n;
}

sZepToOamEvents GatewayState::settingsEvent(CallServer t) const {
    switch (t) {
        case CallServer::Cedar: return sZepToOamEvents::settingsRecord(cedar_);
        case CallServer::Alder: return sZepToOamEvents::settingsRecord(alder_);
        case CallServer::Birch: return sZepToOamEvents::settingsRecord(birch_);
    }
    return sZepToOamEvents::ofType(0);
}

RequestOutcome GatewayState::handleRequest(const unsigned char* body, std::size_t length) {
    if (body == nullptr || length < ZEP_BODY_PAYLOAD_OFFSET)
        return refuse(0, "message of " + std::to_string(length) + " bytes is shorter than the envelope");
    const uint32_t mark = zeprec::loadU32(body);
    const uint32_t code = zeprec::loadU32(body + ZEP_BODY_CODE_OFFSET);
    if (mark != ZEP_ENVELOPE_MARK) return refuse(code, "envelope mark " + hexWord(mark) + " is not 3");
    const unsigned char* payload = body + ZEP_BODY_PAYLOAD_OFFSET;
    const std::size_t size = length - ZEP_BODY_PAYLOAD_OFFSET;

    switch (code) {
        case ZEP_REQ_GET_MODE: {
            RequestOutcome o;
            o.code = code;
            o.askedForMode = true;
            o.events.push_back(modeEvent());
            return o;
        }
        case ZEP_REQ_GET_SETTINGS:
        case ZEP_REQ_GET_IPSET_TABLE: {
            const std::size_t need = code == ZEP_REQ_GET_SETTINGS ? sZepSettingsRequest::length()
                                                                  : sZepIPSetTableRequest::length();
            if (size < need)
                return refuse(code, "payload of " + std::to_string(size) + " bytes, " + std::to_string(need) +
                                        " expected");
            const uint32_t moType = zeprec::loadU32(payload);
            const auto type = callServerFromMoType(moType);
            if (!type) return refuse(code, "unknown call-server type " + std::to_string(moType));
            RequestOutcome o;
            o.code = code;
            if (activeType() != type) {
                o.note = "request " + std::to_string(code) + " for " + nameOf(*type) +
                         ", which is not the active type: not answered";
                return o;
            }
            if (code == ZEP_REQ_GET_SETTINGS) {
                o.events.push_back(settingsEvent(*type));
            } else {
                const Table& table = tables_[index(*type)];
                o.events.reserve(table.size());
                for (const auto& entry : table) o.events.push_back(sZepToOamEvents::ipsetRecord(entry.second));
            }
            return o;
        }
        case ZEP_REQ_SET_SETTING_ITEM: return setSettingItem(payload, size);
        case ZEP_REQ_SET_IPSET: return setTerminal(payload, size);
        case ZEP_REQ_REDIRECT_IPSET: {
            if (size < sZepIPSetRedirect::length())
                return refuse(code, "payload of " + std::to_string(size) + " bytes, 8 expected");
            RequestOutcome o;
            o.code = code;
            o.note = "redirect dn=" + std::to_string(zeprec::loadU32(payload + sZepIPSetRedirect::kDN));
            return o;
        }
        default: return refuse(code, "unknown request code");
    }
}

RequestOutcome GatewayState::setSettingItem(const unsigned char* payload, std::size_t size) {
    constexpr uint32_t code = ZEP_REQ_SET_SETTING_ITEM;
    if (size < sZepSettingItemSet::kNumberFormLength)
        return refuse(code, "payload of " + std::to_string(size) + " bytes, at least 12 expected");
    const uint32_t number = zeprec::loadU32(payload + sZepSettingItemSet::kItem);
    const uint32_t kind = zeprec::loadU32(payload + sZepSettingItemSet::kKind);
    const Item* item = findItem(number);
    if (!item) return refuse(code, "unknown setting item " + std::to_string(number));
    const uint32_t wantKind =
        item->kind == ItemKind::Text ? sZepSettingItemSet::kKindText : sZepSettingItemSet::kKindNumber;
    if (kind != wantKind)
        return refuse(code, "item " + std::to_string(number) + " sent as kind " + std::to_string(kind));
    if (item->kind == ItemKind::Text && size < sZepSettingItemSet::kTextFormLength)
        return refuse(code, "text item of " + std::to_string(size) + " bytes, 264 expected");

    unsigned char* record = nullptr;
    switch (item->type) {
        case CallServer::Cedar: record = cedar_.data(); break;
        case CallServer::Alder: record = alder_.data(); break;
        case CallServer::Birch: record = birch_.data(); break;
    }
    RequestOutcome o;
    o.code = code;
    if (item->kind == ItemKind::Number) {
        const uint32_t value = zeprec::loadU32(payload + sZepSettingItemSet::kValue);
        zeprec::storeU32(record + item->offset, value);
        o.note = std::string(nameOf(item->type)) + " setting item " + std::to_string(number) + " = " +
                 std::to_string(value);
    } else {
        const std::string text = zeprec::readText(payload + sZepSettingItemSet::kText, sZepSettingItemSet::kTextSize);
        zeprec::writeText(record + item->offset, item->width, text);
        o.note = std::string(nameOf(item->type)) + " setting item " + std::to_string(number) + " = \"" +
                 zeprec::readText(record + item->offset, item->width) + "\"";
    }
    if (activeType() == item->type) {
        o.events.push_back(settingsEvent(item->type));
    } else {
        o.note += " (not the active type: not reported)";
    }
    return o;
}

RequestOutcome GatewayState::setTerminal(const unsigned char* payload, std::size_t size) {
    constexpr uint32_t code = ZEP_REQ_SET_IPSET;
    if (size < sZepIPSetTableSet::length())
        return refuse(code, "payload of " + std::to_string(size) + " bytes, 65 expected");
    const uint32_t dn = zeprec::loadU32(payload + sZepIPSetTableSet::kDN);
    const uint32_t moType = zeprec::loadU32(payload + sZepIPSetTableSet::kMoType);
    const auto type = callServerFromMoType(moType);
    if (!type) return refuse(code, "unknown call-server type " + std::to_string(moType));
    Table& table = tables_[index(*type)];
    const auto it = table.find(dn);
    if (it == table.end())
        return refuse(code, std::string("no ") + nameOf(*type) + " terminal with dn=" + std::to_string(dn));
    sZepIPSetTableGet& r = it->second;
    // The writable block comes back whole: BUID/MODN and MOTN byte for byte.
    std::memcpy(r.data() + sZepIPSetTableGet::kBUID, payload + sZepIPSetTableSet::kBUID, sZepIPSetTableSet::kBUIDSize);
    std::memcpy(r.data() + sZepIPSetTableGet::kMOTN, payload + sZepIPSetTableSet::kMOTN, sZepIPSetTableSet::kMOTNSize);
    RequestOutcome o;
    o.code = code;
    o.note = std::string(nameOf(*type)) + " terminal dn=" + std::to_string(dn) + " changed";
    if (activeType() == type) {
        o.events.push_back(sZepToOamEvents::ipsetRecord(r));
    } else {
        o.note += " (not the active type: not reported)";
    }
    return o;
}

}  // namespace zepsim

// The three call-server setting classes (Cedar, Alder, Birch) driven through
// the top-level provider, with synthetic gateway events in and the requests
// the gateway receives checked byte for byte.
#include <gtest/gtest.h>

#include <algorithm>

#include "HulMfw.h"
#include "QEL_ZEPAlderSetting.h"
#include "QEL_ZEPCedarSetting.h"
#include "SettingTestSupport.hpp"
#include "tevo.h"

using namespace settingtest;

namespace {

const char kCedar[] = "QEL_ZEPCedarSetting";
const char kAlder[] = "QEL_ZEPAlderSetting";
const char kBirch[] = "QEL_ZEPBirchSetting";

// Records with a distinct value in every field, written at the layout's
// offsets spelt out here, so that a wrong offset in the shared record
// definitions shows. Numbers are wider than their property's type; texts
// fill their field or stop at a NUL.
template <class Record>
void put(Record& r, size_t offset, uint32_t value) {
    zeprec::storeU32(r.data() + offset, value);
}
template <class Record>
void put(Record& r, size_t offset, const std::string& text) {
    std::memcpy(r.data() + offset, text.data(), text.size());
}

sZepCedarCache cedarRecord() {
    sZepCedarCache r{};
    put(r, 0, 0x0A010203);                           // PrimaryNCSAddr 10.1.2.3
    put(r, 4, 0xC0A80164);                           // AlternateNCSAddr 192.168.1.100
    put(r, 8, 0x00012345);                           // NCSPort, uint16 0x2345
    put(r, 12, 2727);                                // HeartBeatPort
    put(r, 16, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");  // VoipTrunkAccessCode, 32 bytes, no NUL
    put(r, 48, 0x105);                               // TestLocalModeTimeout, uint8 5
    put(r, 52, 0xDEADBEEF);                          // not interpreted
    put(r, 56, std::string("gw-1\0junk", 9));        // H323Id: the text stops at the NUL
    put(r, 312, 3);                                  // NPI
    put(r, 316, 0x0106);                             // TON, uint8 6
    put(r, 320, 0x1002A);                            // NodeId, uint16 42
    put(r, 324, 0xFFFFFFFF);                         // AccessCodeLength
    return r;
}

sZepAldrCache alderRecord() {
    sZepAldrCache r{};
    put(r, 0, std::string(8, '\x7F'));  // not interpreted
    put(r, 8, "*71");                   // VoipTrunkAccessCode
    put(r, 40, 0x204);                  // TestLocalModeTimeout, uint8 4
    return r;
}

sZepBirchCache birchRecord() {
    sZepBirchCache r{};
    put(r, 0, 0xAC100001);      // PrimaryTpsAddress 172.16.0.1
    put(r, 4, 0x10000 + 5060);  // PrimaryTpsPort, uint16 5060
    put(r, 8, "9");             // VoipTrunkAccessCode
    put(r, 40, 7);              // TestLocalModeTimeOut
    return r;
}

// Values of an instance's properties as text, in order.
std::vector<std::string> valuesOf(const CIMInstance& instance) {
    std::vector<std::string> values;
    const CIMPropertyArray props = instance.getProperties();
    for (size_t i = 0; i < props.size(); ++i) values.push_back(props[i].getValue().toString().c_str());
    return values;
}

std::vector<std::string> settingLogLines() {
    std::vector<std::string> lines;
    for (const auto& line : takeLogLines())
        if (line.find("Setting") != std::string::npos) lines.push_back(line);
    return lines;
}

class SettingClasses : public ::testing::Test {
protected:
    void SetUp() override { resetCaches(); }
    void TearDown() override { resetCaches(); }

    QEL_ZEPProvider& p = provider();

    // All three instances, as the gateway would leave them after its records.
    void fillAll() {
        deliver(sZepToOamEvents::settingsRecord(cedarRecord()));
        deliver(sZepToOamEvents::settingsRecord(alderRecord()));
        deliver(sZepToOamEvents::settingsRecord(birchRecord()));
        takeRequests();
        takeLogLines();
    }
    size_t count(const char* className) { return enumerate(p, className).size(); }
};

// ---------------------------------------------------------------------------
// Reading

// Values in list order (the lists themselves are checked against the MOF).
TEST_F(SettingClasses, InstancesCarryTheirRecordsValues) {
    fillAll();
    const CIMInstance cedar = getInstance(p, kCedar);
    EXPECT_EQ(String(kCedar), cedar.getClassName());
    EXPECT_EQ((std::vector<std::string>{"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", "5", "10.1.2.3", "192.168.1.100",
                                        "9029", "2727", "42", "gw-1", "3", "6", "4294967295", kCedar}),
              valuesOf(cedar));

    const CIMInstance alder = getInstance(p, kAlder);
    EXPECT_EQ((std::vector<std::string>{"*71", "4", kAlder}), valuesOf(alder));

    const CIMInstance birch = getInstance(p, kBirch);
    EXPECT_EQ((std::vector<std::string>{"9", "7", "172.16.0.1", "5060", kBirch}), valuesOf(birch));

    for (const char* cls : {kCedar, kAlder, kBirch}) {
        Collector<CIMObjectPath> names;
        p.enumInstanceNames(makeEnv(), kNs, cls, names, CIMClass(CIMNULL));
        ASSERT_EQ(1u, names.items.size()) << cls;
        EXPECT_TRUE(names.items[0].equals(pathOf(cls))) << cls;
    }
}

// ---------------------------------------------------------------------------
// Gateway events

TEST_F(SettingClasses, ModeRecordAsksForTheNamedTypeAndEmptiesTheOthers) {
    // Only the class of the named type asks, with its own type as payload.
    for (uint32_t type : {ZEP_MOTYPE_CEDAR, ZEP_MOTYPE_ALDER, ZEP_MOTYPE_BIRCH}) {
        fillAll();
        deliver(modeEvent(1, type));
        const auto asked = takeRequests(ZEP_REQ_GET_SETTINGS);
        ASSERT_EQ(1u, asked.size()) << type;
        EXPECT_EQ(word(type), asked[0].payload);
        // The asking class keeps its instance until the data arrives.
        EXPECT_EQ(type == ZEP_MOTYPE_CEDAR ? 1u : 0u, count(kCedar)) << type;
        EXPECT_EQ(type == ZEP_MOTYPE_ALDER ? 1u : 0u, count(kAlder)) << type;
        EXPECT_EQ(type == ZEP_MOTYPE_BIRCH ? 1u : 0u, count(kBirch)) << type;
    }

    // Mode off empties every class whatever type it names, as does an unknown type.
    for (const auto& mode : {std::make_pair(0, ZEP_MOTYPE_CEDAR), std::make_pair(0, ZEP_MOTYPE_BIRCH),
                             std::make_pair(1, 3u)}) {
        fillAll();
        deliver(modeEvent(static_cast<uint8_t>(mode.first), mode.second));
        EXPECT_TRUE(takeRequests(ZEP_REQ_GET_SETTINGS).empty());
        EXPECT_EQ(0u, count(kCedar) + count(kAlder) + count(kBirch));
    }

    // Any non-zero mode byte is on.
    deliver(modeEvent(0x80, ZEP_MOTYPE_ALDER));
    EXPECT_EQ(1u, takeRequests(ZEP_REQ_GET_SETTINGS).size());

    fillAll();
    deliver(sZepToOamEvents::ofType(ZEP_EVT_LINK_DOWN));
    EXPECT_EQ(0u, count(kCedar) + count(kAlder) + count(kBirch));
    // Link up is the mode class's business alone.
    deliver(sZepToOamEvents::ofType(ZEP_EVT_LINK_UP));
    EXPECT_TRUE(takeRequests(ZEP_REQ_GET_SETTINGS).empty());
}

TEST_F(SettingClasses, SettingsRecordsCreateThenUpdateTheOneInstance) {
    deliver(modeEvent(1, ZEP_MOTYPE_CEDAR));
    EXPECT_EQ(0u, count(kCedar));
    deliver(sZepToOamEvents::settingsRecord(cedarRecord()));
    sZepCedarCache changed = cedarRecord();
    changed.setNodeId(77);
    changed.setH323Id("");
    deliver(sZepToOamEvents::settingsRecord(changed));

    const auto instances = enumerate(p, kCedar);
    ASSERT_EQ(1u, instances.size());
    EXPECT_EQ(77, instances[0].getPropertyValue("NodeId").toUInt16());
    EXPECT_EQ(String(""), instances[0].getPropertyValue("H323Id").toString());

    // A mode record selecting Cedar again asks again and keeps the instance meanwhile.
    takeRequests();
    deliver(modeEvent(1, ZEP_MOTYPE_CEDAR));
    EXPECT_EQ(1u, takeRequests(ZEP_REQ_GET_SETTINGS).size());
    EXPECT_EQ(77, getInstance(p, kCedar).getPropertyValue("NodeId").toUInt16());
}

TEST_F(SettingClasses, SettingsRecordOfAnotherTypeLeavesAClassUntouched) {
    // A record full of 'A' bytes: every class would show it if it took it.
    sZepCedarCache foreign{};
    std::memset(foreign.data(), 'A', sZepCedarCache::kSize);

    const struct {
        const char* cls;
        uint32_t type;
    } classes[] = {{kCedar, ZEP_MOTYPE_CEDAR}, {kAlder, ZEP_MOTYPE_ALDER}, {kBirch, ZEP_MOTYPE_BIRCH}};
    for (const auto& c : classes) {
        resetCaches();
        fillAll();
        const std::vector<std::string> before = valuesOf(getInstance(p, c.cls));
        for (uint32_t other : {0u, 1u, 2u, 3u, 0x100u}) {
            if (other == c.type) continue;
            deliver(settingsEvent(foreign, other));
        }
        EXPECT_EQ(before, valuesOf(getInstance(p, c.cls))) << c.cls;
        EXPECT_EQ(1u, count(c.cls));
    }

    // Without an instance, another type's record creates none.
    resetCaches();
    deliver(settingsEvent(foreign, ZEP_MOTYPE_ALDER));
    EXPECT_EQ(0u, count(kCedar) + count(kBirch));
    EXPECT_EQ(1u, count(kAlder));
}

TEST_F(SettingClasses, OnlyTheCedarClassWritesLogLines) {
    deliver(sZepToOamEvents::settingsRecord(cedarRecord()));
    deliver(sZepToOamEvents::settingsRecord(cedarRecord()));  // an update logs nothing
    EXPECT_EQ(std::vector<std::string>{"QEL_ZEPCedarSettingImplInstanceManager::ZepCallback: Adding a new entry"},
              settingLogLines());
    deliver(sZepToOamEvents::settingsRecord(alderRecord()));
    deliver(sZepToOamEvents::settingsRecord(birchRecord()));
    deliver(sZepToOamEvents::settingsRecord(alderRecord()));
    EXPECT_TRUE(settingLogLines().empty());

    // An object of the class that is not the gateway-backed kind holds the
    // name: the record is dropped, and only Cedar says so.
    resetCaches();
    new QEL_ZEPCedarSetting(kCedar);  // registers itself; emptied by the next reset
    new QEL_ZEPAlderSetting(kAlder);
    deliver(sZepToOamEvents::settingsRecord(cedarRecord()));
    deliver(sZepToOamEvents::settingsRecord(alderRecord()));
    EXPECT_EQ(std::vector<std::string>{"QEL_ZEPCedarSettingImplInstanceManager::ZepCallback: dynamic_cast returned NULL"},
              settingLogLines());
    EXPECT_EQ((std::vector<std::string>{kCedar}), valuesOf(getInstance(p, kCedar)));
    EXPECT_EQ((std::vector<std::string>{kAlder}), valuesOf(getInstance(p, kAlder)));
}

// ---------------------------------------------------------------------------
// Modify: validation and the requests sent

struct NumberCase {
    const char* cls;
    const char* property;
    CIMValue value;
    uint32_t item;         // accepted: the item sent with value as number
    const char* refusal;   // refused: the whole description, CIM error 4
};

TEST_F(SettingClasses, NumbersAreTestedAtEachBoundAndSentAsTwelveByteItems) {
    const NumberCase cases[] = {
        {kCedar, "TestLocalModeTimeout", CIMValue(UInt8(2)), 6, 0},
        {kCedar, "TestLocalModeTimeout", CIMValue(UInt8(10)), 6, 0},
        {kCedar, "TestLocalModeTimeout", CIMValue(UInt8(1)), 0,
         "The value of TestLocalModeTimeout must be >= 2\n"
         "#CFG_000_0002,MOF_Props_QEL_ZEPCedarSetting_TestLocalModeTimeout,2#"},
        {kCedar, "TestLocalModeTimeout", CIMValue(UInt8(11)), 0,
         "The value of TestLocalModeTimeout must be <= 10\n"
         "#CFG_000_0003,MOF_Props_QEL_ZEPCedarSetting_TestLocalModeTimeout,10#"},
        {kCedar, "NodeId", CIMValue(UInt16(9999)), 11, 0},
        {kCedar, "NodeId", CIMValue(UInt16(0)), 11, 0},
        {kCedar, "NodeId", CIMValue(UInt16(10000)), 0,
         "The value of NodeId must be <= 9999\n#CFG_000_0003,MOF_Props_QEL_ZEPCedarSetting_NodeId,9999#"},
        {kCedar, "AccessCodeLength", CIMValue(UInt32(34)), 16, 0},
        {kCedar, "AccessCodeLength", CIMValue(UInt32(35)), 0,
         "The value of AccessCodeLength must be <= 34\n"
         "#CFG_000_0003,MOF_Props_QEL_ZEPCedarSetting_AccessCodeLength,34#"},
        {kCedar, "AccessCodeLength", CIMValue(UInt32(0xFFFFFFFF)), 0,
         "The value of AccessCodeLength must be <= 34\n"
         "#CFG_000_0003,MOF_Props_QEL_ZEPCedarSetting_AccessCodeLength,34#"},
        {kCedar, "NPI", CIMValue(UInt8(5)), 9, 0},
        {kCedar, "NPI", CIMValue(UInt8(6)), 0,
         "The value of NPI must be <= 5\n#CFG_000_0003,MOF_Props_QEL_ZEPCedarSetting_NPI,5#"},
        {kCedar, "TON", CIMValue(UInt8(7)), 10, 0},
        {kCedar, "TON", CIMValue(UInt8(8)), 0,
         "The value of TON must be <= 7\n#CFG_000_0003,MOF_Props_QEL_ZEPCedarSetting_TON,7#"},
        {kCedar, "NCSPort", CIMValue(UInt16(65535)), 3, 0},
        {kCedar, "NCSPort", CIMValue(UInt16(0)), 3, 0},
        {kCedar, "HeartBeatPort", CIMValue(UInt16(65535)), 4, 0},
        {kAlder, "TestLocalModeTimeout", CIMValue(UInt8(10)), 23, 0},
        {kAlder, "TestLocalModeTimeout", CIMValue(UInt8(2)), 23, 0},
        {kAlder, "TestLocalModeTimeout", CIMValue(UInt8(11)), 0,
         "The value of TestLocalModeTimeout must be <= 10\n"
         "#CFG_000_0003,MOF_Props_QEL_ZEPAlderSetting_TestLocalModeTimeout,10#"},
        {kAlder, "TestLocalModeTimeout", CIMValue(UInt8(1)), 0,
         "The value of TestLocalModeTimeout must be >= 2\n"
         "#CFG_000_0002,MOF_Props_QEL_ZEPAlderSetting_TestLocalModeTimeout,2#"},
        {kBirch, "TestLocalModeTimeOut", CIMValue(UInt8(5)), 24, 0},
        {kBirch, "TestLocalModeTimeOut", CIMValue(UInt8(2)), 24, 0},
        {kBirch, "TestLocalModeTimeOut", CIMValue(UInt8(10)), 24, 0},
        {kBirch, "TestLocalModeTimeOut", CIMValue(UInt8(11)), 0,
         "The value of TestLocalModeTimeOut must be <= 10\n"
         "#CFG_000_0003,MOF_Props_QEL_ZEPBirchSetting_TestLocalModeTimeOut,10#"},
        {kBirch, "TestLocalModeTimeOut", CIMValue(UInt8(0)), 0,
         "The value of TestLocalModeTimeOut must be >= 2\n"
         "#CFG_000_0002,MOF_Props_QEL_ZEPBirchSetting_TestLocalModeTimeOut,2#"},
        {kBirch, "PrimaryTpsPort", CIMValue(UInt16(65535)), 21, 0},
        // Wider types and decimal texts, checked before anything is narrowed.
        {kCedar, "NPI", CIMValue(UInt32(258)), 0,
         "The value of NPI must be <= 5\n#CFG_000_0003,MOF_Props_QEL_ZEPCedarSetting_NPI,5#"},
        {kCedar, "NPI", CIMValue(Int64(-1)), 0,
         "The value of NPI must be >= 0\n#CFG_000_0002,MOF_Props_QEL_ZEPCedarSetting_NPI,0#"},
        {kCedar, "NCSPort", CIMValue(UInt32(65536)), 0,
         "The value of NCSPort must be <= 65535\n#CFG_000_0003,MOF_Props_QEL_ZEPCedarSetting_NCSPort,65535#"},
        {kCedar, "AccessCodeLength", CIMValue(UInt64(0x200000000ull)), 0,
         "The value of AccessCodeLength must be <= 34\n"
         "#CFG_000_0003,MOF_Props_QEL_ZEPCedarSetting_AccessCodeLength,34#"},
        {kCedar, "AccessCodeLength", CIMValue(UInt64(~0ull)), 0,
         "The value of AccessCodeLength must be <= 34\n"
         "#CFG_000_0003,MOF_Props_QEL_ZEPCedarSetting_AccessCodeLength,34#"},
        {kCedar, "TON", CIMValue(String("7")), 10, 0},
        {kCedar, "TON", CIMValue(String("+6")), 10, 0},
        {kCedar, "TON", CIMValue(String("99999999999999999999999")), 0,
         "The value of TON must be <= 7\n#CFG_000_0003,MOF_Props_QEL_ZEPCedarSetting_TON,7#"},
        {kCedar, "TON", CIMValue(String("seven")), 0,
         "The value of TON must be a whole number <= 7\n#CFG_000_0003,MOF_Props_QEL_ZEPCedarSetting_TON,7#"},
        {kCedar, "TON", CIMValue(String("7 ")), 0,
         "The value of TON must be a whole number <= 7\n#CFG_000_0003,MOF_Props_QEL_ZEPCedarSetting_TON,7#"},
        {kCedar, "NodeId", CIMValue(Real64(3.0)), 0,
         "The value of NodeId must be a whole number <= 9999\n"
         "#CFG_000_0003,MOF_Props_QEL_ZEPCedarSetting_NodeId,9999#"},
        {kCedar, "NodeId", CIMValue(Bool(true)), 0,
         "The value of NodeId must be a whole number <= 9999\n"
         "#CFG_000_0003,MOF_Props_QEL_ZEPCedarSetting_NodeId,9999#"},
    };
    fillAll();
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(std::string(c.cls) + "." + c.property + " = " + c.value.toString().c_str());
        const std::string before = getInstance(p, c.cls).getPropertyValue(c.property).toString().c_str();
        CIMInstance request = modifyRequest(c.cls);
        request.setProperty(c.property, c.value);
        std::string description;
        const int error = modify(p, request, &description);
        const auto sent = takeRequests();
        const std::string after = getInstance(p, c.cls).getPropertyValue(c.property).toString().c_str();
        if (c.refusal) {
            EXPECT_EQ(CIMException::INVALID_PARAMETER, error);
            EXPECT_EQ(c.refusal, description);
            EXPECT_TRUE(sent.empty());
            EXPECT_EQ(before, after);
        } else {
            EXPECT_EQ(-1, error) << description;
            ASSERT_EQ(1u, sent.size());
            EXPECT_EQ(ZEP_REQ_SET_SETTING_ITEM, sent[0].code);
            const uint32_t number = static_cast<uint32_t>(std::stoul(c.value.toString().c_str()));
            EXPECT_EQ(numberItem(c.item, number), sent[0].payload);
            EXPECT_EQ(std::to_string(number), after);  // the cache shows it at once
        }
    }
}

TEST_F(SettingClasses, TextsAreTestedAtTheirLengthAndSentAsTextItems) {
    const std::string code16(16, '7'), code17(17, '7');
    std::string id256;
    for (int i = 0; i < 256; ++i) id256 += static_cast<char>('a' + i % 26);
    const struct {
        const char* cls;
        const char* property;
        std::string text;
        uint32_t item;
        const char* refusal;
    } cases[] = {
        {kCedar, "VoipTrunkAccessCode", code16, 5, 0},
        {kCedar, "VoipTrunkAccessCode", "", 5, 0},
        {kCedar, "VoipTrunkAccessCode", code17, 0,
         "The length of VoipTrunkAccessCodebe must be <= 16\n"
         "#CFG_000_0004,MOF_Props_QEL_ZEPCedarSetting_VoipTrunkAccessCode,16#"},
        {kCedar, "H323Id", id256, 8, 0},
        {kCedar, "H323Id", id256 + "z", 0,
         "The length of H323Idbe must be <= 256\n#CFG_000_0004,MOF_Props_QEL_ZEPCedarSetting_H323Id,256#"},
        {kCedar, "PrimaryNCSAddr", "10.10.10.10" + std::string(6, ' '), 0,
         "The length of PrimaryNCSAddrbe must be <= 16\n"
         "#CFG_000_0004,MOF_Props_QEL_ZEPCedarSetting_PrimaryNCSAddr,16#"},
        {kCedar, "AlternateNCSAddr", "10.10.10.10" + std::string(6, ' '), 0,
         "The length of AlternateNCSAddrbe must be <= 16\n"
         "#CFG_000_0004,MOF_Props_QEL_ZEPCedarSetting_AlternateNCSAddr,16#"},
        {kAlder, "VoipTrunkAccessCode", code16, 19, 0},
        {kAlder, "VoipTrunkAccessCode", code17, 0,
         "The length of VoipTrunkAccessCodebe must be <= 16\n"
         "#CFG_000_0004,MOF_Props_QEL_ZEPAlderSetting_VoipTrunkAccessCode,16#"},
        {kBirch, "VoipTrunkAccessCode", code16, 22, 0},
        {kBirch, "VoipTrunkAccessCode", code17, 0,
         "The length of VoipTrunkAccessCodebe must be <= 16\n"
         "#CFG_000_0004,MOF_Props_QEL_ZEPBirchSetting_VoipTrunkAccessCode,16#"},
        {kBirch, "PrimaryTpsAddress", "10.10.10.10" + std::string(6, ' '), 0,
         "The length of PrimaryTpsAddressbe must be <= 16\n"
         "#CFG_000_0004,MOF_Props_QEL_ZEPBirchSetting_PrimaryTpsAddress,16#"},
    };
    fillAll();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.cls) + "." + c.property + " of length " + std::to_string(c.text.size()));
        const std::string before = getInstance(p, c.cls).getPropertyValue(c.property).toString().c_str();
        CIMInstance request = modifyRequest(c.cls);
        request.setProperty(c.property, CIMValue(String(c.text.c_str())));
        std::string description;
        const int error = modify(p, request, &description);
        const auto sent = takeRequests();
        const std::string after = getInstance(p, c.cls).getPropertyValue(c.property).toString().c_str();
        if (c.refusal) {
            EXPECT_EQ(CIMException::INVALID_PARAMETER, error);
            EXPECT_EQ(c.refusal, description);
            EXPECT_TRUE(sent.empty());
            EXPECT_EQ(before, after);
        } else {
            EXPECT_EQ(-1, error) << description;
            ASSERT_EQ(1u, sent.size());
            expectTextItem(sent[0], c.item, c.text);
            EXPECT_EQ(c.text, after);
        }
    }
}

TEST_F(SettingClasses, AddressesAreSentAsNumbersAndTextThatIsNoAddressIsRefused) {
    fillAll();
    const struct {
        const char* cls;
        const char* property;
        const char* text;
        uint32_t item;
        uint32_t address;
    } good[] = {
        {kCedar, "PrimaryNCSAddr", "192.168.10.20", 1, 0xC0A80A14},
        {kCedar, "AlternateNCSAddr", "255.255.255.255", 2, 0xFFFFFFFF},
        {kCedar, "AlternateNCSAddr", "0.0.0.0", 2, 0},
        {kBirch, "PrimaryTpsAddress", "10.0.0.1", 20, 0x0A000001},
    };
    for (const auto& c : good) {
        SCOPED_TRACE(std::string(c.property) + " = " + c.text);
        CIMInstance request = modifyRequest(c.cls);
        request.setProperty(c.property, CIMValue(String(c.text)));
        EXPECT_EQ(-1, modify(p, request));
        const auto sent = takeRequests();
        ASSERT_EQ(1u, sent.size());
        EXPECT_EQ(ZEP_REQ_SET_SETTING_ITEM, sent[0].code);
        EXPECT_EQ(numberItem(c.item, c.address), sent[0].payload);
        EXPECT_EQ(String(c.text), getInstance(p, c.cls).getPropertyValue(c.property).toString());
    }

    // Within the length limit but no address: neither stored nor sent, and
    // reported as a failed setter with the platform's code.
    const std::string tag = "#" + std::to_string(OS_ERR_BAD_ADDRESS) + "#";
    const struct {
        const char* cls;
        const char* property;
        const char* text;
    } bad[] = {
        {kCedar, "PrimaryNCSAddr", "192.168.100.2000"},  // 16 characters
        {kCedar, "AlternateNCSAddr", ""},
        {kBirch, "PrimaryTpsAddress", "gateway"},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(std::string(c.property) + " = " + c.text);
        const String before = getInstance(p, c.cls).getPropertyValue(c.property).toString();
        CIMInstance request = modifyRequest(c.cls);
        request.setProperty(c.property, CIMValue(String(c.text)));
        std::string description;
        EXPECT_EQ(CIMException::FAILED, modify(p, request, &description));
        EXPECT_EQ(tag, description);
        EXPECT_TRUE(takeRequests().empty());
        EXPECT_EQ(before, getInstance(p, c.cls).getPropertyValue(c.property).toString());
    }
}

TEST_F(SettingClasses, ARequestRefusedByALimitChangesAndSendsNothing) {
    fillAll();
    CIMInstance request = modifyRequest(kCedar);
    request.setProperty("NodeId", CIMValue(UInt16(5)));
    request.setProperty("TON", CIMValue(UInt8(9)));
    request.setProperty("NPI", CIMValue(UInt8(6)));  // also refused, but the first refusal is reported
    std::string description;
    EXPECT_EQ(CIMException::INVALID_PARAMETER, modify(p, request, &description));
    EXPECT_EQ("The value of TON must be <= 7\n#CFG_000_0003,MOF_Props_QEL_ZEPCedarSetting_TON,7#", description);
    EXPECT_TRUE(takeRequests().empty());
    const CIMInstance after = getInstance(p, kCedar);
    EXPECT_EQ(42, after.getPropertyValue("NodeId").toUInt16());
    EXPECT_EQ(6, after.getPropertyValue("TON").toUInt8());
    EXPECT_EQ(3, after.getPropertyValue("NPI").toUInt8());

    // Several good properties: one request each, in the instance's order.
    request = modifyRequest(kCedar);
    request.setProperty("NPI", CIMValue(UInt8(1)));
    request.setProperty("VoipTrunkAccessCode", CIMValue(String("#8")));
    request.setProperty("HeartBeatPort", CIMValue(UInt16(4000)));
    EXPECT_EQ(-1, modify(p, request));
    const auto three = takeRequests();
    ASSERT_EQ(3u, three.size());
    EXPECT_EQ(numberItem(9, 1), three[0].payload);
    expectTextItem(three[1], 5, "#8");
    EXPECT_EQ(numberItem(4, 4000), three[2].payload);
}

TEST_F(SettingClasses, ASendThatFailsPartWayKeepsWhatWentOutAndTakesBackTheRest) {
    fillAll();
    takeLogLines();
    CIMInstance request = modifyRequest(kCedar);
    request.setProperty("NPI", CIMValue(UInt8(1)));
    request.setProperty("TON", CIMValue(UInt8(2)));
    request.setProperty("NodeId", CIMValue(UInt16(7)));
    refuseSendsAfter(1, HUL_ERR_TIMEOUT);
    std::string description;
    EXPECT_EQ(CIMException::FAILED, modify(p, request, &description));
    EXPECT_EQ("#110#", description);
    const auto sent = takeRequests();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(numberItem(9, 1), sent[0].payload);
    CIMInstance after = getInstance(p, kCedar);
    EXPECT_EQ(1, after.getPropertyValue("NPI").toUInt8());  // delivered: the gateway will echo it
    EXPECT_EQ(6, after.getPropertyValue("TON").toUInt8());
    EXPECT_EQ(42, after.getPropertyValue("NodeId").toUInt16());
    int errorLines = 0;
    for (const std::string& line : takeLogLines())
        errorLines += line.find("request 1 did not reach the gateway (code 110)") != std::string::npos;
    EXPECT_EQ(1, errorLines);

    // Nothing goes out at all: nothing changes.
    refuseSendsAfter(0, HUL_ERR_NO_PROCESS);
    request = modifyRequest(kCedar);
    request.setProperty("H323Id", CIMValue(String("gk-new")));
    EXPECT_EQ(CIMException::FAILED, modify(p, request, &description));
    EXPECT_EQ("#3#", description);
    after = getInstance(p, kCedar);
    EXPECT_NE("gk-new", std::string(after.getPropertyValue("H323Id").toString().c_str()));
}

TEST_F(SettingClasses, KeysNullsAndNamesTheClassDoesNotHaveSendNothing) {
    fillAll();
    for (const char* cls : {kCedar, kAlder, kBirch}) {
        EXPECT_EQ(-1, modify(p, modifyRequest(cls))) << cls;
    }
    CIMInstance cedar = modifyRequest(kCedar);
    cedar.setProperty("NodeId", CIMValue(CIMNULL));
    cedar.setProperty("H323Id", CIMValue(CIMNULL));
    cedar.setProperty("PrimaryNCSAddr", CIMValue(CIMNULL));
    cedar.setProperty("Bogus", CIMValue(String("x")));
    EXPECT_EQ(-1, modify(p, cedar));
    // Names match exactly. (A separate request: instances treat names that
    // differ only in case as one property.)
    CIMInstance lowerCase = modifyRequest(kCedar);
    lowerCase.setProperty("nodeid", CIMValue(UInt16(5)));
    EXPECT_EQ(-1, modify(p, lowerCase));

    // Each class has its own spelling of the timeout.
    CIMInstance birch = modifyRequest(kBirch);
    birch.setProperty("TestLocalModeTimeout", CIMValue(UInt8(5)));
    EXPECT_EQ(-1, modify(p, birch));
    CIMInstance alder = modifyRequest(kAlder);
    alder.setProperty("TestLocalModeTimeOut", CIMValue(UInt8(5)));
    EXPECT_EQ(-1, modify(p, alder));
    EXPECT_TRUE(takeRequests().empty());
    EXPECT_EQ(42, getInstance(p, kCedar).getPropertyValue("NodeId").toUInt16());
    EXPECT_EQ(7, getInstance(p, kBirch).getPropertyValue("TestLocalModeTimeOut").toUInt8());
    EXPECT_EQ(4, getInstance(p, kAlder).getPropertyValue("TestLocalModeTimeout").toUInt8());
}

TEST_F(SettingClasses, ATextSetterKeepsWhatTheFieldHoldsAndSendsThat) {
    fillAll();
    QEL_ZEPCedarSettingInstanceManager& registry = *QEL_ZEPCedarSetting::getInstanceManager();
    zep::RegistryLock<QEL_ZEPCedarSettingInstanceManager> lock(registry);
    QEL_ZEPCedarSetting* object = registry.get(kCedar);

    EXPECT_EQ(0, object->setVoipTrunkAccessCode(std::string(40, 'x')));
    EXPECT_EQ(0, object->setVoipTrunkAccessCode(std::string("ab\0cd", 5)));
    const auto sent = takeRequests();
    ASSERT_EQ(2u, sent.size());
    expectTextItem(sent[0], 5, std::string(32, 'x'));
    expectTextItem(sent[1], 5, "ab");
    std::string value;
    zep::Qualifiers qualifiers;
    EXPECT_EQ(0, object->getVoipTrunkAccessCode(value, qualifiers));
    EXPECT_EQ("ab", value);
}

TEST_F(SettingClasses, CreateDeleteAndMethodsAreRefused) {
    fillAll();
    for (const char* cls : {kCedar, kAlder, kBirch}) {
        SCOPED_TRACE(cls);
        std::string description;
        EXPECT_EQ(CIMException::NOT_SUPPORTED,
                  cimErrorOf([&] { p.createInstance(makeEnv(), kNs, modifyRequest(cls)); }, &description));
        EXPECT_EQ("The system cannot create the instance specified.\n#CFG_000_0005#", description);
        EXPECT_EQ(CIMException::NOT_SUPPORTED,
                  cimErrorOf([&] { p.deleteInstance(makeEnv(), kNs, pathOf(cls)); }, &description));
        EXPECT_EQ("The system cannot delete the instance specified.\n#CFG_000_0006#", description);
        EXPECT_EQ(1u, count(cls));
        CIMParamValueArray in, out;
        EXPECT_EQ(CIMException::METHOD_NOT_FOUND, cimErrorOf([&] {
                      p.invokeMethod(makeEnv(), kNs, pathOf(cls), "RedirectSet", in, out);
                  }));
    }
    EXPECT_TRUE(takeRequests().empty());
}

}  // namespace

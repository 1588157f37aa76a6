// The terminal classes following the gateway: synthetic events delivered
// through the gateway link, the caches seen through the top-level provider,
// and the operational log lines and requests that result.
#include <dlfcn.h>

#include <algorithm>
#include <atomic>

#include "TerminalTestSupport.hpp"
#include "tevo.h"

using namespace terminaltest;

namespace {

// Makes the platform's number formatting fail, as it may on the target.
std::atomic<bool> failNumberFormatting{false};

// The terminal classes' lines only (the mode and setting classes log too).
std::vector<std::string> terminalLogLines() {
    std::vector<std::string> lines;
    for (const std::string& line : takeLogLines())
        if (line.find("Terminal") != std::string::npos) lines.push_back(line);
    return lines;
}

void add(const sZepIPSetTableGet& record) { deliver(sZepToOamEvents::ipsetRecord(record)); }

class TerminalEvents : public ::testing::Test {
protected:
    void SetUp() override { resetCaches(); }
    void TearDown() override { resetCaches(); }
};

TEST_F(TerminalEvents, CedarRecordIsShownAsElevenPropertiesInOrder) {
    sZepIPSetTableGet r = terminal(4000, ZEP_MOTYPE_CEDAR, Mac{0x00, 0x1B, 0x4F, 0x0A, 0x0B, 0x0C});
    const std::string buid(34, 'B'), motn(15, 'M'), fw(12, 'F'), status(80, 'S');
    r.setBUID(buid);  // every field full: texts read to their width, not past it
    r.setMOTN(motn);
    r.setFwVersion(fw);
    r.setSetStatus(status);
    add(r);

    const auto instances = enumerate(kCedar);
    ASSERT_EQ(1u, instances.size());
    const CIMInstance& i = instances[0];
    const std::vector<std::string> names{"DN", "MOTPS", "HWID", "SetStatus", "FwVersion", "MOTN", "BUID",
                                         "SystemCreationClassName", "SystemName", "CreationClassName",
                                         "DeviceID"};
    const std::vector<std::string> texts{"", "192.168.1.10", "00-1B-4F-0A-0B-0C", status, fw, motn, buid,
                                         "QEL_System", "QEL", kCedar, "4000"};
    EXPECT_EQ(names, propertyNames(i));
    EXPECT_EQ(CIMDataType::UINT32, i.getPropertyValue("DN").getType());
    EXPECT_EQ(4000u, i.getPropertyValue("DN").toUInt32());
    for (size_t k = 1; k < names.size(); ++k) EXPECT_EQ(texts[k], text(i, names[k].c_str())) << names[k];
}

TEST_F(TerminalEvents, AlderAndBirchShowTheSharedFieldAsMODNAndNothingOfCedarsOwn) {
    for (auto [className, moType] : {std::pair{kAlder, ZEP_MOTYPE_ALDER}, std::pair{kBirch, ZEP_MOTYPE_BIRCH}}) {
        sZepIPSetTableGet r = terminal(7, moType, Mac{0xFF, 0xEE, 0x0D, 0x00, 0x01, 0xA0});
        r.setMOTPS(0x0A000105);
        r.setMODN(std::string(34, 'D'));
        add(r);
        const CIMInstance i = getInstance(pathOf(className, 7));
        EXPECT_EQ((std::vector<std::string>{"DN", "MOTPS", "HWID", "SetStatus", "MODN", "SystemCreationClassName",
                                            "SystemName", "CreationClassName", "DeviceID"}),
                  propertyNames(i));
        EXPECT_EQ("10.0.1.5", text(i, "MOTPS"));
        EXPECT_EQ("FF-EE-0D-00-01-A0", text(i, "HWID"));
        EXPECT_EQ(std::string(34, 'D'), text(i, "MODN"));
    }
}

TEST_F(TerminalEvents, ARecordReachesOnlyTheClassOfItsTypeAndOnlyWithStatusZero) {
    add(terminal(1, ZEP_MOTYPE_CEDAR));
    add(terminal(2, ZEP_MOTYPE_ALDER));
    add(terminal(3, ZEP_MOTYPE_BIRCH));
    add(terminal(4, 3));
    deliver(sZepToOamEvents::ipsetRecord(terminal(5, ZEP_MOTYPE_CEDAR), 1));

    EXPECT_EQ(std::vector<std::string>{"1"}, deviceIDs(kCedar));
    EXPECT_EQ(std::vector<std::string>{"2"}, deviceIDs(kAlder));
    EXPECT_EQ(std::vector<std::string>{"3"}, deviceIDs(kBirch));
    EXPECT_EQ((std::vector<std::string>{
                  "QEL_ZEPCedarTerminalImplInstanceManager::ZepCallback: Adding a new entry dn=1",
                  "QEL_ZEPAldrTerminalImplInstanceManager::ZepCallback: Adding a new entry den=2",
                  "QEL_ZEPBirchTerminalImplInstanceManager::ZepCallback: Adding a new entry den=3"}),
              terminalLogLines());
}

TEST_F(TerminalEvents, ALaterRecordForADNUpdatesItsTerminalInPlace) {
    const uint32_t dn = 0xFFFFFFFE;  // logged as a signed number
    add(terminal(dn, ZEP_MOTYPE_CEDAR));
    sZepIPSetTableGet changed = terminal(dn, ZEP_MOTYPE_CEDAR, mac(0x77));
    changed.setSetStatus("busy");
    add(changed);

    EXPECT_EQ(std::vector<std::string>{"4294967294"}, deviceIDs(kCedar));
    EXPECT_EQ("busy", textOf(kCedar, dn, "SetStatus"));
    EXPECT_EQ("00-1B-4F-0A-0B-77", textOf(kCedar, dn, "HWID"));
    EXPECT_EQ((std::vector<std::string>{
                  "QEL_ZEPCedarTerminalImplInstanceManager::ZepCallback: Adding a new entry dn=-2",
                  "QEL_ZEPCedarTerminalImplInstanceManager::ZepCallback:Updating existing entry, dn=-2"}),
              terminalLogLines());
}

TEST_F(TerminalEvents, DeletionsRemoveByDNOrAllOfOneTypeAndLogOnlySingleOnes) {
    add(terminal(10, ZEP_MOTYPE_CEDAR, mac(1)));
    add(terminal(20, ZEP_MOTYPE_CEDAR, mac(2)));
    add(terminal(10, ZEP_MOTYPE_ALDER));
    add(terminal(30, ZEP_MOTYPE_BIRCH));
    takeLogLines();

    deliver(sZepToOamEvents::ipsetDeleted(ZEP_MOTYPE_CEDAR, 10));
    deliver(sZepToOamEvents::ipsetDeleted(ZEP_MOTYPE_CEDAR, 99));
    deliver(sZepToOamEvents::ipsetDeleted(ZEP_MOTYPE_ALDER, 99));
    deliver(sZepToOamEvents::ipsetDeleted(ZEP_MOTYPE_BIRCH, 99));
    deliver(sZepToOamEvents::ipsetDeleted(3, 20));
    EXPECT_EQ(std::vector<std::string>{"20"}, deviceIDs(kCedar));
    EXPECT_EQ(std::vector<std::string>{"10"}, deviceIDs(kAlder));
    EXPECT_EQ((std::vector<std::string>{
                  "QEL_ZEPCedarTerminalImplInstanceManager::ZepCallback:Deleting existing entry, dn=10",
                  "QEL_ZEPCedarTerminalImplInstanceManager::ZepCallback: Cannot Delete instance DN=99",
                  "QEL_ZEPAlderTerminalImplInstanceManager::ZepCallback: Cannot Delete instance DN=99",
                  "QEL_ZEPBirchTerminalImplInstanceManager::ZepCallback: Cannot Delete instance DN=99"}),
              terminalLogLines());

    deliver(sZepToOamEvents::ipsetDeleted(ZEP_MOTYPE_CEDAR, 0));
    EXPECT_TRUE(deviceIDs(kCedar).empty());
    EXPECT_EQ(std::vector<std::string>{"10"}, deviceIDs(kAlder));
    EXPECT_EQ(std::vector<std::string>{"30"}, deviceIDs(kBirch));
    EXPECT_TRUE(terminalLogLines().empty());
}

TEST_F(TerminalEvents, ModeRecordsAskTheNamedTypeForItsTerminalsAndEmptyTheOthers) {
    add(terminal(1, ZEP_MOTYPE_CEDAR));
    add(terminal(2, ZEP_MOTYPE_ALDER));
    add(terminal(3, ZEP_MOTYPE_BIRCH));
    takeLogLines();

    deliver(modeEvent(1, ZEP_MOTYPE_ALDER));
    const auto asked = takeRequests(ZEP_REQ_GET_IPSET_TABLE);
    ASSERT_EQ(1u, asked.size());
    EXPECT_EQ(cat({word(1), word(0), Bytes{1}}), asked[0].payload);
    EXPECT_TRUE(deviceIDs(kCedar).empty());
    EXPECT_EQ(std::vector<std::string>{"2"}, deviceIDs(kAlder));
    EXPECT_TRUE(deviceIDs(kBirch).empty());

    deliver(modeEvent(0, ZEP_MOTYPE_ALDER));  // mode off empties even the named type
    EXPECT_TRUE(takeRequests(ZEP_REQ_GET_IPSET_TABLE).empty());
    EXPECT_TRUE(deviceIDs(kAlder).empty());

    add(terminal(3, ZEP_MOTYPE_BIRCH));
    takeLogLines();
    deliver(sZepToOamEvents::ofType(ZEP_EVT_LINK_DOWN));
    EXPECT_TRUE(deviceIDs(kBirch).empty());
    EXPECT_TRUE(terminalLogLines().empty());
}

TEST_F(TerminalEvents, ANewCedarDNRemovesEveryTerminalHoldingItsAddressFirst) {
    add(terminal(20, ZEP_MOTYPE_CEDAR, mac(0xA)));
    add(terminal(100, ZEP_MOTYPE_CEDAR, mac(0xB)));
    add(terminal(300, ZEP_MOTYPE_CEDAR, mac(0xC)));
    add(terminal(100, ZEP_MOTYPE_CEDAR, mac(0xA)));  // an update takes the address: both keep it
    add(terminal(300, ZEP_MOTYPE_CEDAR, mac(0xA)));  // and this one gives it up again
    add(terminal(300, ZEP_MOTYPE_CEDAR, mac(0xD)));
    EXPECT_EQ((std::vector<std::string>{"100", "20", "300"}), deviceIDs(kCedar));
    takeLogLines();

    add(terminal(5000, ZEP_MOTYPE_CEDAR, mac(0xA)));
    EXPECT_EQ((std::vector<std::string>{"300", "5000"}), deviceIDs(kCedar));
    // In registry order: "...100" sorts before "...20".
    EXPECT_EQ((std::vector<std::string>{
                  "QEL_ZEPCedarTerminalImplInstanceManager::ZepCallback: Adding a new entry dn=5000",
                  "QEL_ZEPCedarTerminalImplInstanceManager::DN:100, Delete entry due to Mac Address conflit",
                  "QEL_ZEPCedarTerminalImplInstanceManager::DN:20, Delete entry due to Mac Address conflit"}),
              terminalLogLines());

    add(terminal(5000, ZEP_MOTYPE_CEDAR, mac(0xD)));  // an update never removes anything
    EXPECT_EQ((std::vector<std::string>{"300", "5000"}), deviceIDs(kCedar));

    // 00-00-00-00-00-00 says the address is not known: such terminals never conflict.
    const Mac none{};
    add(terminal(6000, ZEP_MOTYPE_CEDAR, none));
    add(terminal(6001, ZEP_MOTYPE_CEDAR, none));
    takeLogLines();
    add(terminal(6002, ZEP_MOTYPE_CEDAR, none));
    EXPECT_EQ((std::vector<std::string>{"300", "5000", "6000", "6001", "6002"}), deviceIDs(kCedar));
    for (const std::string& line : terminalLogLines()) EXPECT_EQ(std::string::npos, line.find("conflit")) << line;
}

TEST_F(TerminalEvents, AlderAndBirchKeepTerminalsWithEqualAddresses) {
    for (uint32_t moType : {ZEP_MOTYPE_ALDER, ZEP_MOTYPE_BIRCH}) {
        add(terminal(4000, moType, mac(0xA)));
        add(terminal(5000, moType, mac(0xA)));
    }
    EXPECT_EQ((std::vector<std::string>{"4000", "5000"}), deviceIDs(kAlder));
    EXPECT_EQ((std::vector<std::string>{"4000", "5000"}), deviceIDs(kBirch));
    for (const std::string& line : terminalLogLines()) EXPECT_EQ(std::string::npos, line.find("conflit"));
}

TEST_F(TerminalEvents, OnlyBirchLogsTheEventTypesNoTerminalActsOn) {
    const std::string unknown = "QEL_ZEPBirchTerminalImplInstanceManager::ZepCallback: Unknown event type";
    for (uint32_t type : {0u, 2u, 3u, 7u, 9u, 0xFFFFFFFFu}) {
        deliver(sZepToOamEvents::ofType(type));
        EXPECT_EQ(std::vector<std::string>{unknown}, terminalLogLines()) << "type " << type;
    }
    deliver(sZepToOamEvents::ofType(ZEP_EVT_LINK_UP));
    EXPECT_TRUE(terminalLogLines().empty());
}

TEST_F(TerminalEvents, DNsThatCannotBeFormattedShareOneInstanceThatKeepsTheFirst) {
    failNumberFormatting = true;
    add(terminal(7, ZEP_MOTYPE_CEDAR, mac(1)));
    add(terminal(8, ZEP_MOTYPE_CEDAR, mac(2)));
    failNumberFormatting = false;

    const auto instances = enumerate(kCedar);
    ASSERT_EQ(1u, instances.size());
    EXPECT_EQ("BAD_DN", text(instances[0], "DeviceID"));
    EXPECT_EQ(7u, instances[0].getPropertyValue("DN").toUInt32());
    EXPECT_EQ((std::vector<std::string>{
                  "QEL_ZEPCedarTerminalImplInstanceManager::ZepCallback: Adding a new entry dn=7",
                  "QEL_ZEPCedarTerminalImplInstanceManager::ZepCallback:Updating existing entry, dn=8",
                  "QEL_ZEPCedarTerminalImpl::UpdateData: Received data with non-matching DN 8->7"}),
              terminalLogLines());

    // Formatted again, DN 7 has a name of its own, which nothing holds yet.
    add(terminal(7, ZEP_MOTYPE_CEDAR, mac(3)));
    deliver(sZepToOamEvents::ipsetDeleted(ZEP_MOTYPE_CEDAR, 8));
    EXPECT_EQ((std::vector<std::string>{"7", "BAD_DN"}), deviceIDs(kCedar));
}

}  // namespace

// The provider's objects are linked into this program, so their calls bind here.
extern "C" OS_RESULT osItoaEx(uint32_t value, char* buffer, uint32_t radix, uint32_t flag) {
    if (failNumberFormatting) return 1;
    typedef OS_RESULT (*Real)(uint32_t, char*, uint32_t, uint32_t);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "osItoaEx"));
    return real(value, buffer, radix, flag);
}

// The provider library loaded in this process against a zepsim process, both
// on the real message framework: start-up, round trips of changes through the
// gateway, mode switches, deletions, and gateway crashes.
#include <gtest/gtest.h>

#include <string>

#include "SystemFixture.hpp"
#include "ZepRecords.h"

// The loaded library's gateway tasks run until the process ends, as in the
// object manager; the leak checker's stop-the-world pass at exit does not
// survive them, so it is off for this program.
extern "C" int __lsan_is_turned_off() { return 1; }

namespace simtest {
namespace {

using OpenWBEM::CIMInstance;
using OpenWBEM::CIMValue;
using OpenWBEM::String;
using testsupport::waitUntil;

const char kCedarTerminal[] = "QEL_ZEPCedarTerminal";

TEST_F(SystemTest, ProviderFirstFillsEveryCacheOfTheModesType) {
    sim = start({"--mode", "cedar", "--terminals", "40"});
    ASSERT_TRUE(waitUntil([] { return filled("cedar", 40); }));
    const auto mode = provider().setting(kModeClass);
    ASSERT_TRUE(mode);
    EXPECT_TRUE(mode->getPropertyValue("Mode").toBool());
    EXPECT_EQ(0, mode->getPropertyValue("MoType").toUInt8());
    // The generated population is told apart by every field the provider shows.
    EXPECT_EQ("02-00-00-00-03-E8", text(provider().terminal(kCedarTerminal, 1000), "HWID"));
    EXPECT_EQ("10.1.3.232", text(provider().terminal(kCedarTerminal, 1000), "MOTPS"));
    EXPECT_EQ("T-1039", text(provider().terminal(kCedarTerminal, 1039), "MOTN"));
    EXPECT_EQ(1u, sim->counter("req7"));
    // The clean goodbye empties every cache.
    EXPECT_EQ(0, sim->stop());
    EXPECT_TRUE(waitUntil([] { return allEmpty(); }, deadline(2000)));
}

TEST_F(SystemTest, EveryDefaultSettingCanBeWrittenBackWhole) {
    // Defaults outside the classes' limits would make a client's unchanged
    // write-back fail; each type's whole instance goes back and is accepted.
    sim = start({"--mode", "cedar"});
    for (const std::string type : {"cedar", "alder", "birch"}) {
        ASSERT_EQ("ok mode " + type + " sent", sim->command("mode " + type));
        ASSERT_TRUE(waitUntil([&] { return filled(type, 0); })) << type;
        const auto instance = provider().setting(kSettingClasses[typeIndex(type)]);
        ASSERT_TRUE(instance);
        EXPECT_NO_THROW(provider().modify(*instance)) << type;
    }
}

TEST_F(SystemTest, SettingChangesGoThroughTheGatewayForEachType) {
    sim = start({"--mode", "cedar"});
    struct Change {
        std::string type;
        const char* property;
        CIMValue value;
    };
    const Change changes[] = {{"cedar", "NodeId", CIMValue(OpenWBEM::UInt16(4242))},
                              {"alder", "VoipTrunkAccessCode", CIMValue("*77")},
                              {"birch", "PrimaryTpsPort", CIMValue(OpenWBEM::UInt16(6060))}};
    uint64_t setRequests = 0;
    for (const Change& c : changes) {
        const char* cls = kSettingClasses[typeIndex(c.type)];
        ASSERT_EQ("ok mode " + c.type + " sent", sim->command("mode " + c.type));
        ASSERT_TRUE(waitUntil([&] { return filled(c.type, 0); })) << c.type;
        CIMInstance request(cls);
        request.setProperty("InstanceID", CIMValue(cls));
        request.setProperty(c.property, c.value);
        provider().modify(request);
        ASSERT_TRUE(waitUntil([&] { return sim->counter("req1") == setRequests + 1; })) << c.type;
        ++setRequests;
    }
    // Each cache was emptied by the next mode switch; what comes back when the
    // mode returns to a type is the gateway's own record, which kept the change.
    for (const Change& c : changes) {
        const char* cls = kSettingClasses[typeIndex(c.type)];
        ASSERT_EQ("ok mode " + c.type + " sent", sim->command("mode " + c.type));
        ASSERT_TRUE(waitUntil([&] {
            const auto s = provider().setting(cls);
            return filled(c.type, 0) && s && s->getPropertyValue(c.property) == c.value;
        })) << c.type;
    }
}

TEST_F(SystemTest, TerminalChangeMakesTheRoundTripThroughTheGateway) {
    sim = start({"--mode", "cedar", "--terminals", "5"});
    ASSERT_TRUE(waitUntil([] { return filled("cedar", 5); }));
    auto before = provider().terminal(kCedarTerminal, 1002);
    ASSERT_TRUE(before);
    CIMInstance request = *before;
    request.setProperty("MOTN", CIMValue("Desk 2, floor 3"));  // exactly the 15 that fit
    provider().modify(request);
    ASSERT_TRUE(waitUntil([&] { return sim->counter("req4") == 1; }));
    EXPECT_EQ("ok terminal type=cedar dn=1002 mac=02:00:00:00:03:ea ip=10.1.3.234 fw=1.0.2 buid=BU-1002 "
              "motn=\"Desk 2, floor 3\" status=registered",
              sim->command("show cedar 1002"));
    // A later record from the gateway carries the new text: the gateway kept it.
    ASSERT_EQ("ok changed cedar dn=1002 sent", sim->command("change cedar 1002 status=moved"));
    ASSERT_TRUE(waitUntil([&] { return text(provider().terminal(kCedarTerminal, 1002), "SetStatus") == "moved"; }));
    EXPECT_EQ("Desk 2, floor 3", text(provider().terminal(kCedarTerminal, 1002), "MOTN"));
    EXPECT_EQ("BU-1002", text(provider().terminal(kCedarTerminal, 1002), "BUID"));
}

TEST_F(SystemTest, ModeSwitchEmptiesTheOldTypeAndFillsTheNew) {
    sim = start({"--mode", "cedar", "--terminals", "30"});
    ASSERT_TRUE(waitUntil([] { return filled("cedar", 30); }));
    ASSERT_EQ("ok generated 12 alder dn=7000..7011", sim->command("generate alder 12 7000"));
    EXPECT_EQ(0u, provider().count("QEL_ZEPAlderTerminal"));  // not the active type: nothing sent
    ASSERT_EQ("ok mode alder sent", sim->command("mode alder"));
    ASSERT_TRUE(waitUntil([] { return filled("alder", 12); }));
    EXPECT_EQ(1, provider().setting(kModeClass)->getPropertyValue("MoType").toUInt8());
    EXPECT_EQ("alder-7011", text(provider().terminal("QEL_ZEPAlderTerminal", 7011), "MODN"));
    // Mode off: every call-server class empties, the mode stays.
    ASSERT_EQ("ok mode off sent", sim->command("mode off"));
    ASSERT_TRUE(waitUntil([] {
        return provider().count(kModeClass) == 1 && provider().count("QEL_ZEPAlderTerminal") == 0 &&
               provider().count("QEL_ZEPAlderSetting") == 0;
    }));
    EXPECT_FALSE(provider().setting(kModeClass)->getPropertyValue("Mode").toBool());
}

TEST_F(SystemTest, DeletionsAndAddressConflictsReachTheCache) {
    sim = start({"--mode", "cedar", "--terminals", "10"});
    ASSERT_TRUE(waitUntil([] { return filled("cedar", 10); }));

    ASSERT_EQ("ok deleted cedar dn=1003 sent", sim->command("delete cedar 1003"));
    ASSERT_TRUE(waitUntil([] { return provider().count(kCedarTerminal) == 9; }));
    EXPECT_FALSE(provider().terminal(kCedarTerminal, 1003));

    // A new DN with the hardware address of DN 1004 replaces it.
    ASSERT_EQ("ok added cedar dn=5000 sent", sim->command("add cedar 5000 mac=02:00:00:00:03:ec motn=moved"));
    ASSERT_TRUE(waitUntil([] { return provider().terminal(kCedarTerminal, 5000).has_value(); }));
    EXPECT_FALSE(provider().terminal(kCedarTerminal, 1004));
    EXPECT_EQ(9u, provider().count(kCedarTerminal));

    // Deleting every terminal is one event with DN 0. (The gateway's table
    // still holds DN 1004: the conflict rule is the provider's own.)
    ASSERT_EQ("ok deleted 10 cedar terminals sent", sim->command("delete cedar all"));
    ASSERT_TRUE(waitUntil([] { return filled("cedar", 0); }));

    // A raw deletion event for another type leaves the Cedar terminals alone;
    // the record sent after it shows that it has been handled.
    ASSERT_EQ("ok added cedar dn=6000 sent", sim->command("add cedar 6000"));
    const sZepToOamEvents birchAll = sZepToOamEvents::ipsetDeleted(ZEP_MOTYPE_BIRCH, 0);
    ASSERT_EQ("ok event type 8 sent", sim->command("event " + testsupport::toHex(birchAll.data(), birchAll.size())));
    ASSERT_EQ("ok changed cedar dn=6000 sent", sim->command("change cedar 6000 status=after"));
    ASSERT_TRUE(waitUntil([] { return text(provider().terminal(kCedarTerminal, 6000), "SetStatus") == "after"; }));
    EXPECT_EQ(1u, provider().count(kCedarTerminal));
}

TEST_F(SystemTest, GatewayCrashesAndRestartsLeaveNothingBehind) {
    const std::vector<std::string> args = {"--mode", "cedar", "--terminals", "20"};
    int threads = 0, fds = 0;
    constexpr int kCycles = 20;
    for (int cycle = 0; cycle <= kCycles; ++cycle) {
        sim = start(args);
        ASSERT_TRUE(waitUntil([] { return filled("cedar", 20); }, deadline(3000))) << "cycle " << cycle;
        sim->kill();
        ASSERT_TRUE(waitUntil([] { return allEmpty(); }, deadline(2000))) << "cycle " << cycle;
        sim.reset();
        if (cycle == 0) {
            // Counted after the first cycle, when every task of the link exists.
            threads = testsupport::threadCount();
            fds = testsupport::openFdCount();
        }
    }
    EXPECT_LE(testsupport::threadCount(), threads + 2);
    EXPECT_LE(testsupport::openFdCount(), fds + 2);
}

}  // namespace
}  // namespace simtest

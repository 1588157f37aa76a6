// The zepsim program on the real framework, with a fake object manager
// process (fake_zep joining under the peer's name) on the other side: when
// it announces, whom it answers, and what it does with malformed requests.
#include <gtest/gtest.h>

#include <string>

#include "FakeGateway.hpp"
#include "SimProcess.hpp"
#include "TestSupport.hpp"
#include "ZepRecords.h"

namespace {

using testsupport::waitUntil;

const char kPeer[] = "fakeoam";

// A request body as the provider's link sends it, in hex for fake_zep.
std::string requestHex(uint32_t code, const unsigned char* payload, std::size_t length) {
    std::vector<unsigned char> body(ZEP_BODY_PAYLOAD_OFFSET + length, 0);
    zeprec::storeU32(body.data(), ZEP_ENVELOPE_MARK);
    zeprec::storeU32(body.data() + ZEP_BODY_CODE_OFFSET, code);
    if (length) std::memcpy(body.data() + ZEP_BODY_PAYLOAD_OFFSET, payload, length);
    return faketest::toHex(body.data(), body.size());
}

// Events the peer received of one type (fake_zep reports every class-4
// message; in an event message the type sits where a request has its code).
std::size_t eventsOfType(const faketest::FakeGateway& peer, uint32_t type) {
    std::size_t n = 0;
    for (const auto& r : peer.requests()) n += r.code() == type;
    return n;
}

class SimulatorProcess : public ::testing::Test {
protected:
    testsupport::PlatformSandbox sandbox;
    simtest::SimProcess sim{ZEPSIM_PATH, {"--peer", kPeer, "--announce-ms", "20", "--terminals", "3"}};
};

TEST_F(SimulatorProcess, AnnouncesUntilAskedAndAgainToANewIncarnation) {
    EXPECT_EQ("absent", sim.status().at("peer"));
    {
        faketest::FakeGateway peer(FAKE_ZEP_PATH, kPeer);
        ASSERT_TRUE(waitUntil([&] { return eventsOfType(peer, ZEP_EVT_LINK_UP) >= 2; }));
        const sZepSettingsRequest mode(0);
        ASSERT_EQ("ok", peer.command("send zep 4 " + requestHex(ZEP_REQ_GET_MODE, mode.data(), 4)));
        ASSERT_TRUE(waitUntil([&] { return eventsOfType(peer, ZEP_EVT_MODE_RECORD) == 1; }));
        EXPECT_EQ("no", sim.status().at("announcing"));

        // The terminal table goes to whoever asked, one record a terminal.
        const sZepIPSetTableRequest table(ZEP_MOTYPE_CEDAR);
        ASSERT_EQ("ok", peer.command("send zep 4 " + requestHex(ZEP_REQ_GET_IPSET_TABLE, table.data(), 9)));
        ASSERT_TRUE(waitUntil([&] { return eventsOfType(peer, ZEP_EVT_IPSET_RECORD) == 3; }));
        peer.kill();
    }
    // A restarted object manager knows nothing of the gateway: announce again.
    faketest::FakeGateway again(FAKE_ZEP_PATH, kPeer);
    ASSERT_TRUE(waitUntil([&] { return eventsOfType(again, ZEP_EVT_LINK_UP) >= 1; }));
    EXPECT_EQ("yes", sim.status().at("announcing"));
}

TEST_F(SimulatorProcess, MalformedRequestsAreRefusedAndTheSimulatorGoesOn) {
    faketest::FakeGateway peer(FAKE_ZEP_PATH, kPeer);
    const sZepIPSetTableRequest table(ZEP_MOTYPE_CEDAR);
    std::string wrongMark = requestHex(ZEP_REQ_GET_MODE, table.data(), 4);
    wrongMark[0] = '4';
    const std::string bad[] = {
        "030000",                                            // shorter than the envelope
        wrongMark,                                           // not a request envelope
        requestHex(99, table.data(), 9),                     // no such request
        requestHex(ZEP_REQ_GET_IPSET_TABLE, table.data(), 8), // payload cut short
    };
    for (const std::string& hex : bad) ASSERT_EQ("ok", peer.command("send zep 4 " + hex));
    ASSERT_TRUE(waitUntil([&] { return sim.counter("refused") == 4; }));
    EXPECT_EQ(0u, eventsOfType(peer, ZEP_EVT_IPSET_RECORD));
    // Still answering commands and requests.
    ASSERT_EQ("ok", peer.command("send zep 4 " + requestHex(ZEP_REQ_GET_IPSET_TABLE, table.data(), 9)));
    ASSERT_TRUE(waitUntil([&] { return eventsOfType(peer, ZEP_EVT_IPSET_RECORD) == 3; }));
}

TEST_F(SimulatorProcess, CommandErrorsCarryTheirLineNumber) {
    EXPECT_EQ("error line 1: unknown call-server type 'oak' (cedar, alder or birch)", sim.command("add oak 5"));
    EXPECT_EQ("error line 2: no cedar terminal with dn=77", sim.command("change cedar 77 motn=x"));
    EXPECT_EQ("ok added cedar dn=77 (not sent: no peer)", sim.command("add cedar 77 motn=x"));
    EXPECT_EQ("error line 4: no alder terminal with dn=77", sim.command("delete alder 77"));
    EXPECT_EQ("ok mode off (not sent: no peer)", sim.command("mode off"));
    EXPECT_EQ("error line 6: the mode is off; name a TYPE to flood", sim.command("flood 5"));
    EXPECT_EQ("error line 7: no peer 'fakeoam' to send to", sim.command("flood 5 cedar"));
}

TEST(SimulatorScenario, RunsItsLinesBeforeStandardInput) {
    testsupport::PlatformSandbox sandbox;
    const std::string path = sandbox.dir().file("lab.zep");
    FILE* f = fopen(path.c_str(), "w");
    ASSERT_NE(nullptr, f);
    fputs("generate alder 4 700\n# the mode follows\n\nmode alder\nadd alder 9 modn=\"Lab desk\"\n", f);
    fclose(f);
    simtest::SimProcess sim(ZEPSIM_PATH, {"--peer", kPeer, "--mode", "cedar", "--terminals", "2", "--scenario", path});
    EXPECT_EQ("ok generated 4 alder dn=700..703", sim.readLine());
    EXPECT_EQ("ok mode alder (not sent: no peer)", sim.readLine());
    EXPECT_EQ("ok added alder dn=9 (not sent: no peer)", sim.readLine());
    const auto status = sim.status();
    EXPECT_EQ("alder", status.at("type"));
    EXPECT_EQ("5", status.at("alder"));
    EXPECT_EQ("2", status.at("cedar"));
    EXPECT_EQ("ok terminal type=alder dn=9 mac=02:01:00:00:00:09 ip=10.2.0.9 fw=1.0.9 buid=\"Lab desk\" "
              "motn=\"\" status=registered",
              sim.command("show alder 9"));
}

TEST(SimulatorScenario, AScenarioWithErrorsRunsNothing) {
    testsupport::PlatformSandbox sandbox;
    const std::string path = sandbox.dir().file("bad.zep");
    FILE* f = fopen(path.c_str(), "w");
    ASSERT_NE(nullptr, f);
    fputs("generate cedar 4\nadd cedar 5 mac=zz\n", f);
    fclose(f);
    try {
        simtest::SimProcess sim(ZEPSIM_PATH, {"--scenario", path});
        FAIL() << "started with a broken scenario";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string::npos,
                  std::string(e.what()).find("error line 2: mac 'zz' is not six hex bytes like 00:1b:4f:0a:0b:0c"))
            << e.what();
    }
}

}  // namespace

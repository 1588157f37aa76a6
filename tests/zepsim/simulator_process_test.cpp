// The zepsim program on the real framework, with this process joining under
// the peer's name as the object manager's side: when it announces, whom it
// answers, what it does with malformed requests, and its scenarios.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "HulMfwStandIn.h"
#include "TestSupport.hpp"
#include "ZepRecords.h"
#include "Zepsim.hpp"

namespace {

using testsupport::waitUntil;
using Bytes = std::vector<unsigned char>;

const char kPeer[] = "fakeoam";

// A request body as the provider's link sends it, from the envelope's mark on.
Bytes request(uint32_t code, const unsigned char* payload, std::size_t length) {
    Bytes body(ZEP_BODY_PAYLOAD_OFFSET + length, 0);
    zeprec::storeU32(body.data(), ZEP_ENVELOPE_MARK);
    zeprec::storeU32(body.data() + ZEP_BODY_CODE_OFFSET, code);
    if (length) std::memcpy(body.data() + ZEP_BODY_PAYLOAD_OFFSET, payload, length);
    return body;
}

std::mutex gMutex;
std::vector<Bytes> gEvents;  // bodies from the envelope's mark on

void onEvent(uint16_t, uint32_t length, void* message, uint32_t) {
    const auto* body = static_cast<const unsigned char*>(message) + ZEP_ENVELOPE_MARK_OFFSET;
    std::lock_guard<std::mutex> lock(gMutex);
    gEvents.emplace_back(body, body + length);
}

// The object manager's side: one incarnation of the peer in this process.
class Peer {
public:
    Peer() {
        {
            std::lock_guard<std::mutex> lock(gMutex);
            gEvents.clear();
        }
        if (HulMfwInitializeAs(kPeer) != 0) throw std::runtime_error("cannot join as the peer");
        HulMfwRegisterCallback(ZEP_MFW_CLASS_ENVELOPE, onEvent);
        receiver_ = std::thread([] {
            while (HulMfwProcessNextMessage(HUL_MFW_WAIT_FOREVER) != HUL_ERR_NOT_JOINED) {
            }
        });
    }
    ~Peer() {
        HulMfwCleanup();
        receiver_.join();
    }
    HUL_RESULT send(const Bytes& body) {
        HUL_PROCESS_HANDLE zep = 0;
        Bytes buffer(ZEP_ENVELOPE_MARK_OFFSET + body.size());
        std::memcpy(buffer.data() + ZEP_ENVELOPE_MARK_OFFSET, body.data(), body.size());
        const HUL_RESULT rc = HulMfwGetProcessHandle("zep", &zep);
        return rc ? rc : HulMfwSendMessage(zep, ZEP_MFW_CLASS_ENVELOPE, 0, buffer.data(), static_cast<uint32_t>(body.size()));
    }
    // Events received of one type (where a request has its code).
    static std::size_t events(uint32_t type) {
        std::lock_guard<std::mutex> lock(gMutex);
        std::size_t n = 0;
        for (const Bytes& e : gEvents) n += zeprec::loadU32(e.data() + ZEP_BODY_CODE_OFFSET) == type;
        return n;
    }

private:
    std::thread receiver_;
};

class SimulatorProcess : public ::testing::Test {
protected:
    testsupport::PlatformSandbox sandbox;
    testsupport::Zepsim sim{ZEPSIM_PATH, {"--peer", kPeer, "--announce-ms", "20", "--terminals", "3"}};
    const sZepIPSetTableRequest table{ZEP_MOTYPE_CEDAR};
};

TEST_F(SimulatorProcess, AnnouncesUntilAskedAndAgainToANewIncarnation) {
    EXPECT_EQ("absent", sim.status().at("peer"));
    {
        Peer peer;
        ASSERT_TRUE(waitUntil([&] { return Peer::events(ZEP_EVT_LINK_UP) >= 2; }));
        const sZepSettingsRequest mode(0);
        ASSERT_EQ(0u, peer.send(request(ZEP_REQ_GET_MODE, mode.data(), mode.size())));
        ASSERT_TRUE(waitUntil([&] { return Peer::events(ZEP_EVT_MODE_RECORD) == 1; }));
        EXPECT_EQ("no", sim.status().at("announcing"));

        // The terminal table goes to whoever asked, one record a terminal.
        ASSERT_EQ(0u, peer.send(request(ZEP_REQ_GET_IPSET_TABLE, table.data(), table.size())));
        ASSERT_TRUE(waitUntil([&] { return Peer::events(ZEP_EVT_IPSET_RECORD) == 3; }));
    }
    // A restarted object manager knows nothing of the gateway: announce again.
    Peer again;
    ASSERT_TRUE(waitUntil([&] { return Peer::events(ZEP_EVT_LINK_UP) >= 1; }));
    EXPECT_EQ("yes", sim.status().at("announcing"));
}

TEST_F(SimulatorProcess, MalformedRequestsAreRefusedKeptAsTheyCameAndTheSimulatorGoesOn) {
    Peer peer;
    Bytes wrongMark = request(ZEP_REQ_GET_MODE, table.data(), 4);
    wrongMark[0] ^= 0x40;
    const Bytes bad[] = {
        {3, 0, 0},                                                   // shorter than the envelope
        wrongMark,                                                   // not a request envelope
        request(99, table.data(), table.size()),                     // no such request
        request(ZEP_REQ_GET_IPSET_TABLE, table.data(), table.size() - 1),  // payload cut short
    };
    for (const Bytes& body : bad) ASSERT_EQ(0u, peer.send(body));
    ASSERT_TRUE(waitUntil([&] { return sim.counter("refused") == 4; }));
    EXPECT_EQ(0u, Peer::events(ZEP_EVT_IPSET_RECORD));
    HUL_PROCESS_HANDLE own = 0;
    HulMfwGetProcessHandle(nullptr, &own);
    for (uint64_t n = 1; n <= 4; ++n) {
        const auto got = sim.received(n);
        EXPECT_EQ(bad[n - 1], got.body) << n;
        EXPECT_EQ(own, got.sender) << n;
    }
    EXPECT_NE(std::string::npos, sim.command("received 5").find(": 4 messages received so far"));
    // Still answering requests.
    ASSERT_EQ(0u, peer.send(request(ZEP_REQ_GET_IPSET_TABLE, table.data(), table.size())));
    ASSERT_TRUE(waitUntil([&] { return Peer::events(ZEP_EVT_IPSET_RECORD) == 3; }));
}

TEST_F(SimulatorProcess, CommandErrorsCarryTheirLineNumber) {
    EXPECT_EQ("error line 1: unknown call-server type 'oak' (cedar, alder or birch)", sim.command("add oak 5"));
    EXPECT_EQ("error line 2: no cedar terminal with dn=77", sim.command("change cedar 77 motn=x"));
    EXPECT_EQ("ok added cedar dn=77 (not sent: no peer)", sim.command("add cedar 77 motn=x"));
    EXPECT_EQ("error line 4: no alder terminal with dn=77", sim.command("delete alder 77"));
    EXPECT_EQ("ok mode off (not sent: no peer)", sim.command("mode off"));
    EXPECT_EQ("error line 6: the mode is off; name a TYPE to flood", sim.command("flood 5"));
    EXPECT_EQ("error line 7: no peer 'fakeoam' to send to", sim.command("flood 5 cedar"));
    EXPECT_EQ("error line 8: no peer 'fakeoam' to send to", sim.command("send 4 03"));
}

std::string writeScenario(const testsupport::PlatformSandbox& sandbox, const char* text) {
    const std::string path = sandbox.dir().file("lab.zep");
    FILE* f = fopen(path.c_str(), "w");
    if (f) {
        fputs(text, f);
        fclose(f);
    }
    return path;
}

TEST(SimulatorScenario, RunsItsLinesBeforeStandardInput) {
    testsupport::PlatformSandbox sandbox;
    const std::string path =
        writeScenario(sandbox, "generate alder 4 700\n# the mode follows\n\nmode alder\nadd alder 9 modn=\"Lab desk\"\n");
    testsupport::Zepsim sim(ZEPSIM_PATH, {"--peer", kPeer, "--mode", "cedar", "--terminals", "2", "--scenario", path});
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
    const std::string path = writeScenario(sandbox, "generate cedar 4\nadd cedar 5 mac=zz\n");
    try {
        testsupport::Zepsim sim(ZEPSIM_PATH, {"--scenario", path});
        FAIL() << "started with a broken scenario";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string::npos,
                  std::string(e.what()).find("error line 2: mac 'zz' is not six hex bytes like 00:1b:4f:0a:0b:0c"))
            << e.what();
    }
}

}  // namespace

// CIM requests on the terminal classes through the top-level provider: what
// a modify validates and what the gateway then receives byte for byte, and
// the FindByInstanceName method. (Lookups, refused operations and the
// modify scheme itself are the shared class provider's, tested with it.)
#include <chrono>
#include <future>

#include "HulMfw.h"
#include "TerminalTestSupport.hpp"
#include "TestSupport.hpp"

using namespace terminaltest;

namespace {

class TerminalRequests : public ::testing::Test {
protected:
    void SetUp() override {
        resetCaches();
        deliver(sZepToOamEvents::ipsetRecord(terminal(4000, ZEP_MOTYPE_CEDAR)));
        deliver(sZepToOamEvents::ipsetRecord(terminal(4001, ZEP_MOTYPE_ALDER)));
        deliver(sZepToOamEvents::ipsetRecord(terminal(4002, ZEP_MOTYPE_BIRCH)));
        takeRequests();
    }
    void TearDown() override { resetCaches(); }

    static std::vector<Bytes> sent(uint32_t code) {
        std::vector<Bytes> payloads;
        for (const SentRequest& r : takeRequests()) {
            EXPECT_EQ(code, r.code);
            payloads.push_back(r.payload);
        }
        return payloads;
    }
};

TEST_F(TerminalRequests, CedarTextsAreTakenUpToTheirLimitAndSentWithTheRestOfTheRecord) {
    const std::string motn(15, 'm'), buid(34, 'b');
    CIMInstance request = modifyRequest(kCedar, 4000);
    request.setProperty("MOTN", CIMValue(String(motn.c_str())));
    request.setProperty("BUID", CIMValue(String(buid.c_str())));
    EXPECT_EQ(-1, modify(request));
    EXPECT_EQ(motn, textOf(kCedar, 4000, "MOTN"));
    EXPECT_EQ(buid, textOf(kCedar, 4000, "BUID"));
    EXPECT_EQ(std::vector<Bytes>{setRequest(4000, ZEP_MOTYPE_CEDAR, buid, motn)}, sent(ZEP_REQ_SET_IPSET));

    std::string description;
    request = modifyRequest(kCedar, 4000);
    request.setProperty("MOTN", CIMValue(String(std::string(16, 'x').c_str())));
    EXPECT_EQ(CIMException::INVALID_PARAMETER, modify(request, &description));
    EXPECT_EQ("The length of MOTNbe must be <= 15\n#CFG_000_0004,MOF_Props_QEL_ZEPCedarTerminal_MOTN,15#",
              description);
    request = modifyRequest(kCedar, 4000);
    request.setProperty("BUID", CIMValue(String(std::string(35, 'x').c_str())));
    EXPECT_EQ(CIMException::INVALID_PARAMETER, modify(request, &description));
    EXPECT_EQ("The length of BUIDbe must be <= 34\n#CFG_000_0004,MOF_Props_QEL_ZEPCedarTerminal_BUID,34#",
              description);
    EXPECT_TRUE(takeRequests().empty());
    EXPECT_EQ(motn, textOf(kCedar, 4000, "MOTN"));

    // A valid text before the refused one changes nothing either.
    request = modifyRequest(kCedar, 4000);
    request.setProperty("MOTN", CIMValue(String("not applied")));
    request.setProperty("BUID", CIMValue(String(std::string(35, 'x').c_str())));
    EXPECT_EQ(CIMException::INVALID_PARAMETER, modify(request, &description));
    EXPECT_TRUE(takeRequests().empty());
    EXPECT_EQ(motn, textOf(kCedar, 4000, "MOTN"));
}

TEST_F(TerminalRequests, NullCedarTextsClearTheirFieldsAndStillSend) {
    CIMInstance request = modifyRequest(kCedar, 4000);
    request.setProperty("BUID", CIMValue(CIMNULL));
    EXPECT_EQ(-1, modify(request));
    EXPECT_EQ("", textOf(kCedar, 4000, "BUID"));
    EXPECT_EQ(std::vector<Bytes>{setRequest(4000, ZEP_MOTYPE_CEDAR, "", "motn")}, sent(ZEP_REQ_SET_IPSET));

    request = modifyRequest(kCedar, 4000);
    request.setProperty("MOTN", CIMValue(CIMNULL));
    EXPECT_EQ(-1, modify(request));
    EXPECT_EQ(std::vector<Bytes>{setRequest(4000, ZEP_MOTYPE_CEDAR, "", "")}, sent(ZEP_REQ_SET_IPSET));
}

TEST_F(TerminalRequests, AModifyNamingOnlyReadOnlyPropertiesChangesNothingAndStillSends) {
    CIMInstance request = modifyRequest(kCedar, 4000);
    request.setProperty("DN", CIMValue(UInt32(1)));
    request.setProperty("HWID", CIMValue(String("FF-FF-FF-FF-FF-FF")));
    request.setProperty("motn", CIMValue(String("lower")));  // names match exactly, case included
    EXPECT_EQ(-1, modify(request));
    EXPECT_EQ(std::vector<Bytes>{setRequest(4000, ZEP_MOTYPE_CEDAR, "buid-4000", "motn")}, sent(ZEP_REQ_SET_IPSET));
    EXPECT_EQ("00-1B-4F-0A-0B-0C", textOf(kCedar, 4000, "HWID"));
}

TEST_F(TerminalRequests, AlderAndBirchTakeMODNAndSkipANullOne) {
    for (auto [className, dn, moType] :
         {std::tuple{kAlder, 4001u, ZEP_MOTYPE_ALDER}, std::tuple{kBirch, 4002u, ZEP_MOTYPE_BIRCH}}) {
        SCOPED_TRACE(className);
        const std::string modn(34, 'n');
        CIMInstance request = modifyRequest(className, dn);
        request.setProperty("MODN", CIMValue(String(modn.c_str())));
        EXPECT_EQ(-1, modify(request));
        EXPECT_EQ(modn, textOf(className, dn, "MODN"));
        // The MOTN field goes back as the gateway sent it, though the class does not show it.
        EXPECT_EQ(std::vector<Bytes>{setRequest(dn, moType, modn, "motn")}, sent(ZEP_REQ_SET_IPSET));

        request = modifyRequest(className, dn);
        request.setProperty("MODN", CIMValue(CIMNULL));
        request.setProperty("MOTN", CIMValue(String("skipped")));
        request.setProperty("BUID", CIMValue(String("skipped")));
        EXPECT_EQ(-1, modify(request));
        EXPECT_EQ(std::vector<Bytes>{setRequest(dn, moType, modn, "motn")}, sent(ZEP_REQ_SET_IPSET));

        std::string description;
        request = modifyRequest(className, dn);
        request.setProperty("MODN", CIMValue(String(std::string(35, 'x').c_str())));
        EXPECT_EQ(CIMException::INVALID_PARAMETER, modify(request, &description));
        EXPECT_EQ("The length of MODNbe must be <= 34\n#CFG_000_0004,MOF_Props_" + std::string(className) +
                      "_MODN,34#",
                  description);
        EXPECT_TRUE(takeRequests().empty());
    }
}

// The object manager's handler may take its time over each instance: it gets
// them with the class lock released, so the gateway's events go on meanwhile,
// and the enumeration shows the cache as it was when it began.
class HandlerDeliveringAnEvent : public ResultHandlerIFC<CIMInstance> {
public:
    std::vector<std::string> ids;
    std::future_status eventDone = std::future_status::deferred;

protected:
    void doHandle(const CIMInstance& instance) {
        ids.push_back(text(instance, "DeviceID"));
        if (event_.valid()) return;
        event_ = std::async(std::launch::async,
                            [] { deliver(sZepToOamEvents::ipsetRecord(terminal(3999, ZEP_MOTYPE_CEDAR, mac(0x39)))); });
        eventDone = event_.wait_for(std::chrono::seconds(20));
    }

private:
    std::future<void> event_;  // waited for at the latest when the handler goes
};

TEST_F(TerminalRequests, AChangeTheGatewayDidNotGetIsAnErrorAndTakenBack) {
    CIMInstance request = modifyRequest(kCedar, 4000);
    request.setProperty("MOTN", CIMValue(String("Desk 9")));
    refuseSendsAfter(0, HUL_ERR_TIMEOUT);
    std::string description;
    EXPECT_EQ(CIMException::FAILED, modify(request, &description));
    EXPECT_EQ("#110#", description);
    EXPECT_TRUE(takeRequests().empty());
    EXPECT_EQ(terminal(4000, ZEP_MOTYPE_CEDAR).getMOTN(), textOf(kCedar, 4000, "MOTN"));
}

TEST_F(TerminalRequests, ASendThatWaitsHoldsNoLockAndAGatewayRecordMeanwhileStands) {
    const std::string before = textOf(kCedar, 4000, "MOTN");
    CIMInstance request = modifyRequest(kCedar, 4000);
    request.setProperty("MOTN", CIMValue(String("Desk 9")));
    holdSends(true);
    refuseSendsAfter(0, HUL_ERR_TIMEOUT);
    auto modifying = std::async(std::launch::async, [&] {
        std::string description;
        return modify(request, &description);
    });
    ASSERT_TRUE(testsupport::waitUntil([] { return heldSends() == 1; }));
    // While the request waits in its send, events, reads and other requests
    // go on: the class lock is free.
    sZepIPSetTableGet fromGateway = terminal(4000, ZEP_MOTYPE_CEDAR);
    fromGateway.setMOTN("Gateway says");
    auto event = std::async(std::launch::async, [&] { deliver(sZepToOamEvents::ipsetRecord(fromGateway)); });
    EXPECT_EQ(std::future_status::ready, event.wait_for(std::chrono::seconds(10)));
    EXPECT_EQ("Gateway says", textOf(kCedar, 4000, "MOTN"));
    holdSends(false);
    EXPECT_EQ(CIMException::FAILED, modifying.get());
    // The gateway's record is newer than the change that failed: it stands.
    EXPECT_EQ("Gateway says", textOf(kCedar, 4000, "MOTN"));
    EXPECT_NE(before, "Gateway says");
}

TEST_F(TerminalRequests, InstancesAreHandedOverWithTheClassLockReleased) {
    deliver(sZepToOamEvents::ipsetRecord(terminal(4003, ZEP_MOTYPE_CEDAR, mac(0x43))));
    {
        HandlerDeliveringAnEvent result;
        enumerate(kCedar, result);
        EXPECT_EQ(std::future_status::ready, result.eventDone);
        EXPECT_EQ((std::vector<std::string>{"4000", "4003"}), result.ids);
    }
    EXPECT_EQ((std::vector<std::string>{"3999", "4000", "4003"}), deviceIDs(kCedar));
}

TEST_F(TerminalRequests, FindByInstanceNameLooksUpADeviceIDOfItsOwnClass) {
    const CIMObjectPath classPath{String(kCedar), String(kNs)};
    // The object manager hands over the outputs pre-filled, the IN/OUT
    // reference with its input; the answer goes into that entry. Without an
    // entry, one is appended.
    auto find = [&](const CIMParamValueArray& in, CIMValue* inst, bool prefilled = true) {
        CIMParamValueArray out;
        if (prefilled) out.push_back(CIMParamValue("inst", in.size() > 1 ? in[1].getValue() : CIMValue(CIMNULL)));
        const CIMValue result = invoke(classPath, "FindByInstanceName", in, out);
        EXPECT_EQ(1u, out.size());
        if (out.size() == 1) {
            EXPECT_EQ(String("inst"), out[0].getName());
            *inst = out[0].getValue();
        }
        return bool(result.toBool());
    };
    CIMValue inst(CIMNULL);

    CIMParamValueArray in;
    in.push_back(CIMParamValue("InstanceName", CIMValue(String("4000"))));
    in.push_back(CIMParamValue("inst", CIMValue(CIMNULL)));
    ASSERT_TRUE(find(in, &inst));
    ASSERT_TRUE(inst);
    const CIMObjectPath found = inst.toCIMObjectPath();
    EXPECT_EQ(String(kCedar), found.getClassName());
    EXPECT_EQ(String(kNs), found.getNameSpace());
    EXPECT_EQ(4u, found.getKeys().size());
    EXPECT_EQ(String("4000"), found.getKey("DeviceID").getValue().toString());

    in[0] = CIMParamValue("InstanceName", CIMValue(String("4001")));  // an Alder terminal's DN
    in[1] = CIMParamValue("inst", CIMValue(pathOf(kCedar, 999)));     // read, looked up, not found: ignored
    EXPECT_FALSE(find(in, &inst));
    EXPECT_FALSE(inst);

    in[0] = CIMParamValue("InstanceName", CIMValue(CIMNULL));
    EXPECT_FALSE(find(in, &inst));
    EXPECT_FALSE(inst);

    EXPECT_FALSE(find(CIMParamValueArray(), &inst, false));  // missing positions count as null
    EXPECT_FALSE(inst);
    EXPECT_TRUE(find(CIMParamValueArray(1, CIMParamValue("n", CIMValue(String("4000")))), &inst, false));
    EXPECT_TRUE(inst);
}

}  // namespace

// QEL_ZEPModeSetting driven through the top-level provider and synthetic
// gateway events delivered through the gateway link.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "ProviderHarness.hpp"
#include "QEL_ZEPModeSetting.h"
#include "TestSupport.hpp"

using namespace OpenWBEM;
using namespace providertest;

namespace {

const char kNs[] = "root/cimv2";

sZepToOamEvents modeEvent(uint8_t mode, uint32_t moType) {
    sZepModeSetting record{};
    record.setMode(mode);
    record.setMoType(moType);
    return sZepToOamEvents::modeRecord(record);
}

CIMObjectPath modePath(const char* id = "QEL_ZEPModeSetting") {
    CIMObjectPath path{String("QEL_ZEPModeSetting"), String(kNs)};
    if (id) path.setKeyValue("InstanceID", CIMValue(String(id)));
    return path;
}

std::vector<CIMInstance> enumerate() {
    Collector<CIMInstance> result;
    provider().enumInstances(makeEnv(), kNs, "QEL_ZEPModeSetting", result, WBEMFlags::E_NOT_LOCAL_ONLY,
                             WBEMFlags::E_DEEP, WBEMFlags::E_EXCLUDE_QUALIFIERS,
                             WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, 0, CIMClass(CIMNULL), CIMClass(CIMNULL));
    return result.items;
}

CIMInstance getInstance(const CIMObjectPath& path = modePath()) {
    return provider().getInstance(makeEnv(), kNs, path, WBEMFlags::E_NOT_LOCAL_ONLY,
                                  WBEMFlags::E_EXCLUDE_QUALIFIERS, WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, 0,
                                  CIMClass(CIMNULL));
}

CIMInstance modifyRequest() {
    CIMInstance instance("QEL_ZEPModeSetting");
    instance.setProperty("InstanceID", CIMValue(String("QEL_ZEPModeSetting")));
    return instance;
}

int modify(const CIMInstance& instance, std::string* description = 0) {
    return cimErrorOf([&] {
        provider().modifyInstance(makeEnv(), kNs, instance, CIMInstance(CIMNULL), WBEMFlags::E_EXCLUDE_QUALIFIERS,
                                  0, CIMClass(CIMNULL));
    }, description);
}

class ModeSetting : public ::testing::Test {
protected:
    void SetUp() override { resetCaches(); }
    void TearDown() override { resetCaches(); }
};

TEST_F(ModeSetting, LinkUpAsksForTheModeRecord) {
    deliver(sZepToOamEvents::ofType(ZEP_EVT_LINK_UP));
    const auto sent = takeRequests();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(ZEP_REQ_GET_MODE, sent[0].code);
    EXPECT_EQ(bytesOf(sZepSettingsRequest(0)), sent[0].payload);
    EXPECT_EQ(std::vector<unsigned char>(4, 0), sent[0].payload);
}

TEST_F(ModeSetting, TwoModeRecordsMakeOneInstanceHoldingTheSecond) {
    deliver(modeEvent(1, ZEP_MOTYPE_CEDAR));
    deliver(modeEvent(0x02, 0x102));
    const auto instances = enumerate();
    ASSERT_EQ(1u, instances.size());
    EXPECT_TRUE(instances[0].getPropertyValue("Mode").toBool());
    EXPECT_EQ(2, instances[0].getPropertyValue("MoType").toUInt8());

    const auto log = takeLogLines();
    auto count = [&](const char* text) { return std::count(log.begin(), log.end(), std::string(text)); };
    EXPECT_EQ(1, count("QEL_ZEPModeSettingImplInstanceManager::ZepCallback: Adding a new entry"));
    EXPECT_EQ(1, count("QEL_ZEPModeSettingImplInstanceManager::Callback: Updating existing entry"));
    EXPECT_EQ(1, count("QEL_ZEPModeSettingImpl::UpdateData"));

    deliver(modeEvent(0, 1));
    EXPECT_FALSE(getInstance().getPropertyValue("Mode").toBool());
}

TEST_F(ModeSetting, InstanceCarriesModeMoTypeAndKeyInOrderWithTheirTypes) {
    deliver(modeEvent(1, ZEP_MOTYPE_BIRCH));
    const CIMInstance instance = getInstance();
    EXPECT_EQ(String("QEL_ZEPModeSetting"), instance.getClassName());
    const CIMPropertyArray props = instance.getProperties();
    ASSERT_EQ(3u, props.size());
    EXPECT_EQ(String("Mode"), props[0].getName());
    EXPECT_EQ(CIMDataType::BOOLEAN, props[0].getValue().getType());
    EXPECT_EQ(String("MoType"), props[1].getName());
    EXPECT_EQ(CIMDataType::UINT8, props[1].getValue().getType());
    EXPECT_EQ(String("InstanceID"), props[2].getName());
    EXPECT_EQ(String("QEL_ZEPModeSetting"), props[2].getValue().toString());

    Collector<CIMObjectPath> names;
    provider().enumInstanceNames(makeEnv(), kNs, "QEL_ZEPModeSetting", names, CIMClass(CIMNULL));
    ASSERT_EQ(1u, names.items.size());
    EXPECT_TRUE(names.items[0].equals(modePath()));
}

TEST_F(ModeSetting, LookupsOfMissingOrUnknownKeysAreNotFound) {
    deliver(modeEvent(1, ZEP_MOTYPE_CEDAR));
    EXPECT_EQ(CIMException::NOT_FOUND, cimErrorOf([] { getInstance(modePath(0)); }));
    EXPECT_EQ(CIMException::NOT_FOUND, cimErrorOf([] { getInstance(modePath("QEL_ZEPCedarSetting")); }));
    CIMObjectPath nullKey = modePath(0);
    nullKey.setKeys(CIMPropertyArray(1, CIMProperty(String("InstanceID"), CIMDataType(CIMDataType::STRING))));
    EXPECT_EQ(CIMException::NOT_FOUND, cimErrorOf([&] { getInstance(nullKey); }));
}

TEST_F(ModeSetting, ModifyRefusesDummyAndIgnoresEverythingElse) {
    deliver(modeEvent(1, ZEP_MOTYPE_ALDER));
    takeRequests();

    CIMInstance request = modifyRequest();
    request.setProperty("Mode", CIMValue(false));
    request.setProperty("MoType", CIMValue(UInt8(2)));
    EXPECT_EQ(-1, modify(request));
    EXPECT_TRUE(getInstance().getPropertyValue("Mode").toBool());
    EXPECT_EQ(1, getInstance().getPropertyValue("MoType").toUInt8());

    request.setProperty("dummy", CIMValue(CIMNULL));
    EXPECT_EQ(-1, modify(request));

    std::string description;
    request.setProperty("dummy", CIMValue(UInt8(5)));
    EXPECT_EQ(CIMException::FAILED, modify(request, &description));
    EXPECT_EQ("#101#", description);
    EXPECT_TRUE(takeRequests().empty());
}

TEST_F(ModeSetting, CreateDeleteAndMethodsAreRefused) {
    deliver(modeEvent(1, ZEP_MOTYPE_CEDAR));
    std::string description;
    EXPECT_EQ(CIMException::NOT_SUPPORTED,
              cimErrorOf([] { provider().createInstance(makeEnv(), kNs, modifyRequest()); }, &description));
    EXPECT_EQ("The system cannot create the instance specified.\n#CFG_000_0005#", description);
    EXPECT_EQ(CIMException::NOT_SUPPORTED,
              cimErrorOf([] { provider().deleteInstance(makeEnv(), kNs, modePath()); }, &description));
    EXPECT_EQ("The system cannot delete the instance specified.\n#CFG_000_0006#", description);
    EXPECT_EQ(1u, enumerate().size());

    CIMParamValueArray in, out;
    EXPECT_EQ(CIMException::METHOD_NOT_FOUND, cimErrorOf([&] {
                  provider().invokeMethod(makeEnv(), kNs, modePath(), "RedirectSet", in, out);
              }));

    deliver(sZepToOamEvents::ofType(ZEP_EVT_LINK_DOWN));
    EXPECT_EQ(CIMException::NOT_FOUND,
              cimErrorOf([] { provider().deleteInstance(makeEnv(), kNs, modePath()); }));
}

TEST_F(ModeSetting, LinkDownEmptiesTheCache) {
    deliver(modeEvent(1, ZEP_MOTYPE_CEDAR));
    deliver(sZepToOamEvents::ofType(ZEP_EVT_LINK_DOWN));
    Collector<CIMObjectPath> names;
    provider().enumInstanceNames(makeEnv(), kNs, "QEL_ZEPModeSetting", names, CIMClass(CIMNULL));
    EXPECT_TRUE(names.items.empty());
}

TEST_F(ModeSetting, ASecondProviderInitialisedLaterFindsTheCacheAndRegistersNothing) {
    deliver(modeEvent(1, ZEP_MOTYPE_CEDAR));
    takeLogLines();
    {
        // The object manager destroyed an idle provider and creates a new one.
        QEL_ZEPProvider second;
        second.initialize(makeEnv());
        Collector<CIMInstance> result;
        second.enumInstances(makeEnv(), kNs, "QEL_ZEPModeSetting", result, WBEMFlags::E_NOT_LOCAL_ONLY,
                             WBEMFlags::E_DEEP, WBEMFlags::E_EXCLUDE_QUALIFIERS,
                             WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, 0, CIMClass(CIMNULL), CIMClass(CIMNULL));
        EXPECT_EQ(1u, result.items.size());
    }
    for (const auto& line : takeLogLines()) EXPECT_EQ(std::string::npos, line.find("ZepOamRegisterCallback"));
    // One handler per class: one mode record is handled once.
    deliver(modeEvent(1, ZEP_MOTYPE_CEDAR));
    const auto log = takeLogLines();
    EXPECT_EQ(1, std::count(log.begin(), log.end(),
                            std::string("QEL_ZEPModeSettingImplInstanceManager::Callback: Updating existing entry")));
}

// Request threads enumerate, read and modify while the gateway link delivers
// mode records and link downs; run under the thread sanitizer.
TEST_F(ModeSetting, ConcurrentRequestsAndEvents) {
    const auto duration = std::chrono::seconds(getenv("ZEP_STRESS_SECONDS") ? atoi(getenv("ZEP_STRESS_SECONDS")) : 10);
    std::atomic<bool> stop{false};
    std::atomic<long> requests{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            while (!stop) {
                switch (t) {
                    case 0: enumerate(); break;
                    case 1: cimErrorOf([] { getInstance(); }); break;
                    case 2: {
                        CIMInstance request = modifyRequest();
                        request.setProperty("dummy", CIMValue(UInt8(1)));
                        modify(request);
                        break;
                    }
                    default: {
                        Collector<CIMObjectPath> names;
                        provider().enumInstanceNames(makeEnv(), kNs, "QEL_ZEPModeSetting", names,
                                                     CIMClass(CIMNULL));
                    }
                }
                ++requests;
            }
        });
    }
    const auto end = std::chrono::steady_clock::now() + duration;
    unsigned events = 0;
    while (std::chrono::steady_clock::now() < end) {
        deliver(++events % 7 == 0 ? sZepToOamEvents::ofType(ZEP_EVT_LINK_DOWN) : modeEvent(events & 1, events % 3));
        if (events % 64 == 0) takeLogLines();
    }
    stop = true;
    for (auto& th : threads) th.join();
    EXPECT_GT(requests.load(), 0);
    EXPECT_GT(events, 0u);
}

}  // namespace

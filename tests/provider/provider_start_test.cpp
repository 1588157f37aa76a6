// The library as a whole: initialising the seven class providers in class
// order registers their handlers in that order and the seventh starts the
// connection; after link up, a mode record and data records, every class
// serves its instances with its properties in order and with their types.
//
// This program initialises the classes itself, one by one, so it never uses
// the harness's shared provider().
#include <gtest/gtest.h>

#include <dirent.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>

#include "QEL_ZEPAlderSettingProvider.h"
#include "QEL_ZEPAlderTerminalProvider.h"
#include "QEL_ZEPBirchSettingProvider.h"
#include "QEL_ZEPBirchTerminalProvider.h"
#include "QEL_ZEPCedarSettingProvider.h"
#include "QEL_ZEPCedarTerminalProvider.h"
#include "QEL_ZEPModeSettingProvider.h"
#include "SettingTestSupport.hpp"
#include "TestSupport.hpp"

// The library's static class providers.
extern "C" {
extern QEL_ZEPModeSettingProvider QEL_ZEPModeSettingProv;
extern QEL_ZEPAlderTerminalProvider QEL_ZEPAlderTerminalProv;
extern QEL_ZEPBirchTerminalProvider QEL_ZEPBirchTerminalProv;
extern QEL_ZEPCedarTerminalProvider QEL_ZEPCedarTerminalProv;
extern QEL_ZEPAlderSettingProvider QEL_ZEPAlderSettingProv;
extern QEL_ZEPBirchSettingProvider QEL_ZEPBirchSettingProv;
extern QEL_ZEPCedarSettingProvider QEL_ZEPCedarSettingProv;
}

using namespace settingtest;

namespace {

// Threads of this process with the given name (tasks carry their names).
int threadsNamed(const std::string& name) {
    int n = 0;
    DIR* d = opendir("/proc/self/task");
    if (!d) return -1;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
        std::string line;
        if (std::getline(comm, line) && line == name) ++n;
    }
    closedir(d);
    return n;
}

std::string registrationOf(ZepOamEventHandler handler) {
    char text[64];
    std::snprintf(text, sizeof text, "ZepOamRegisterCallback %" PRIxPTR, reinterpret_cast<uintptr_t>(handler));
    return text;
}

// What the gateway link logged about registrations and connecting.
std::vector<std::string> linkLines() {
    std::vector<std::string> lines;
    for (const auto& line : takeLogLines())
        if (line.rfind("ZepOamRegisterCallback", 0) == 0 || line == "ZepOamConnect") lines.push_back(line);
    return lines;
}

const testsupport::PlatformSandbox& sandbox() { return testsupport::processSandbox(); }

// The library's classes, initialised in class order by the first test.
struct ClassStep {
    const char* name;
    std::function<void()> initialize;
    ZepOamEventHandler handler;
};

std::vector<ClassStep> classOrder() {
    const auto env = makeEnv();
    return {
        {"QEL_ZEPModeSetting", [env] { QEL_ZEPModeSettingProv.initialize(env); },
         &QEL_ZEPModeSettingImplInstanceManager::ZepCallback},
        {"QEL_ZEPAlderTerminal", [env] { QEL_ZEPAlderTerminalProv.initialize(env); },
         &QEL_ZEPAlderTerminalImplInstanceManager::ZepCallback},
        {"QEL_ZEPBirchTerminal", [env] { QEL_ZEPBirchTerminalProv.initialize(env); },
         &QEL_ZEPBirchTerminalImplInstanceManager::ZepCallback},
        {"QEL_ZEPCedarTerminal", [env] { QEL_ZEPCedarTerminalProv.initialize(env); },
         &QEL_ZEPCedarTerminalImplInstanceManager::ZepCallback},
        {"QEL_ZEPAlderSetting", [env] { QEL_ZEPAlderSettingProv.initialize(env); },
         &QEL_ZEPAlderSettingImplInstanceManager::ZepCallback},
        {"QEL_ZEPBirchSetting", [env] { QEL_ZEPBirchSettingProv.initialize(env); },
         &QEL_ZEPBirchSettingImplInstanceManager::ZepCallback},
        {"QEL_ZEPCedarSetting", [env] { QEL_ZEPCedarSettingProv.initialize(env); },
         &QEL_ZEPCedarSettingImplInstanceManager::ZepCallback},
    };
}

// Must be the first to initialise anything in its process: ctest runs each
// test in a process of its own, and a direct run keeps definition order.
TEST(ProviderStart, ClassesRegisterInClassOrderAndTheSeventhStartsTheConnection) {
    sandbox();
    takeLogLines();
    const std::vector<ClassStep> steps = classOrder();
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(steps[i].name);
        EXPECT_EQ(0, threadsNamed("OamZepConnect"));
        steps[i].initialize();
        std::vector<std::string> expected{registrationOf(steps[i].handler)};
        if (i + 1 == steps.size()) expected.push_back("ZepOamConnect");
        EXPECT_EQ(expected, linkLines());
    }
    // The connection task keeps trying while no gateway is there.
    EXPECT_TRUE(testsupport::waitUntil([] { return threadsNamed("OamZepConnect") == 1; }));

    // The top-level provider initialises the same classes in the same order;
    // they are installed already, so nothing is registered twice.
    QEL_ZEPProvider top;
    top.initialize(makeEnv());
    EXPECT_TRUE(linkLines().empty());
    EXPECT_EQ(1, threadsNamed("OamZepConnect"));
}

// The property names an instance of the class holds, in its list's order
// (the mode's dummy never has a value).
template <class Traits>
std::vector<std::string> listed() {
    size_t count = 0;
    const zep::PropertyRow* rows = Traits::rows(count);
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i)
        if (std::string(rows[i].name) != "dummy") names.push_back(rows[i].name);
    return names;
}

sZepIPSetTableGet terminalRecord(uint32_t dn, uint32_t moType) {
    sZepIPSetTableGet r{};
    r.setDN(dn);
    r.setMoType(moType);
    r.setHWID({0x00, 0x1B, 0x4F, 0x0A, 0x0B, static_cast<unsigned char>(dn)});
    r.setMOTPS(0xC0A8010A);
    r.setFwVersion("FW1");
    r.setBUID("B" + std::to_string(dn));
    r.setMOTN("N");
    r.setSetStatus("up");
    return r;
}

TEST(ProviderStart, EveryClassServesItsPropertiesInOrderAfterLinkUpModeAndData) {
    sandbox();
    QEL_ZEPProvider top;
    top.initialize(makeEnv());
    deliver(sZepToOamEvents::ofType(ZEP_EVT_LINK_DOWN));
    takeRequests();

    deliver(sZepToOamEvents::ofType(ZEP_EVT_LINK_UP));
    const auto modeAsked = takeRequests();
    ASSERT_EQ(1u, modeAsked.size());
    EXPECT_EQ(ZEP_REQ_GET_MODE, modeAsked[0].code);

    const struct {
        uint32_t type;
        const char* setting;
        const char* terminal;
        std::vector<std::string> settingNames;
        std::vector<std::string> terminalNames;
    } types[] = {
        {ZEP_MOTYPE_CEDAR, "QEL_ZEPCedarSetting", "QEL_ZEPCedarTerminal", listed<QEL_ZEPCedarSettingTraits>(),
         listed<QEL_ZEPCedarTerminalTraits>()},
        {ZEP_MOTYPE_ALDER, "QEL_ZEPAlderSetting", "QEL_ZEPAlderTerminal", listed<QEL_ZEPAlderSettingTraits>(),
         listed<QEL_ZEPAlderTerminalTraits>()},
        {ZEP_MOTYPE_BIRCH, "QEL_ZEPBirchSetting", "QEL_ZEPBirchTerminal", listed<QEL_ZEPBirchSettingTraits>(),
         listed<QEL_ZEPBirchTerminalTraits>()},
    };
    const char* const allClasses[] = {"QEL_ZEPModeSetting",  "QEL_ZEPAlderTerminal", "QEL_ZEPBirchTerminal",
                                      "QEL_ZEPCedarTerminal", "QEL_ZEPAlderSetting", "QEL_ZEPBirchSetting",
                                      "QEL_ZEPCedarSetting"};

    for (const auto& t : types) {
        SCOPED_TRACE(t.setting);
        deliver(modeEvent(1, t.type));
        // The named type's terminal class asks for its table, then its
        // setting class for its settings: slot order is class order.
        const auto asked = takeRequests();
        ASSERT_EQ(2u, asked.size());
        EXPECT_EQ(ZEP_REQ_GET_IPSET_TABLE, asked[0].code);
        EXPECT_EQ(ZEP_REQ_GET_SETTINGS, asked[1].code);
        EXPECT_EQ(word(t.type), asked[1].payload);

        sZepCedarCache settings{};  // large enough for every type; its prefix is the record
        std::memset(settings.data(), '1', 8);
        deliver(settingsEvent(settings, t.type));
        deliver(sZepToOamEvents::ipsetRecord(terminalRecord(4000 + t.type, t.type)));

        for (const char* cls : allClasses) {
            const auto instances = enumerate(top, cls);
            const bool active = cls == std::string("QEL_ZEPModeSetting") || cls == std::string(t.setting) ||
                                cls == std::string(t.terminal);
            ASSERT_EQ(active ? 1u : 0u, instances.size()) << cls;
            if (!active) continue;
            EXPECT_EQ(String(cls), instances[0].getClassName());
            const std::vector<std::string> expected = cls == std::string("QEL_ZEPModeSetting") ? listed<QEL_ZEPModeSettingTraits>()
                                                      : cls == std::string(t.setting) ? t.settingNames
                                                                                      : t.terminalNames;
            EXPECT_EQ(expected, namesOf(instances[0])) << cls;
        }
    }
}

}  // namespace

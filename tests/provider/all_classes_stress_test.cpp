// All seven classes at once under load: request threads enumerate, read,
// modify and redirect across every class while the gateway side switches the
// active call-server type, feeds settings and terminal records, deletes
// terminals and drops the link from a second task, as the link's listener
// does. Run under the thread sanitizer (label "concurrency"): the pass
// criteria are no report, no crash, no error other than "not found", and a
// cache that still follows the gateway once the load stops.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "SettingTestSupport.hpp"

using namespace settingtest;

namespace {

const char* const kClasses[] = {"QEL_ZEPModeSetting",  "QEL_ZEPAlderTerminal", "QEL_ZEPBirchTerminal",
                                "QEL_ZEPCedarTerminal", "QEL_ZEPAlderSetting", "QEL_ZEPBirchSetting",
                                "QEL_ZEPCedarSetting"};
constexpr uint32_t kTerminalsPerType = 50;

std::chrono::seconds runTime() {
    const char* s = getenv("ZEP_STRESS_SECONDS");
    return std::chrono::seconds(s && atoi(s) > 0 ? atoi(s) : 6);
}

bool isTerminal(const std::string& cls) { return cls.find("Terminal") != std::string::npos; }

CIMObjectPath terminalPath(const char* cls, uint32_t dn) {
    CIMObjectPath path{String(cls), String(kNs)};
    path.setKeyValue("SystemCreationClassName", CIMValue(String("QEL_System")));
    path.setKeyValue("SystemName", CIMValue(String("QEL")));
    path.setKeyValue("CreationClassName", CIMValue(String(cls)));
    path.setKeyValue("DeviceID", CIMValue(String(std::to_string(dn).c_str())));
    return path;
}

CIMInstance terminalRequest(const char* cls, uint32_t dn) {
    CIMInstance request{String(cls)};
    const CIMPropertyArray keys = terminalPath(cls, dn).getKeys();
    for (size_t i = 0; i < keys.size(); ++i) request.setProperty(keys[i]);
    return request;
}

// A modify that every class accepts when its instance is there.
CIMInstance validModify(const char* cls, uint32_t dn, unsigned n) {
    const std::string c = cls;
    if (isTerminal(c)) {
        CIMInstance request = terminalRequest(cls, dn);
        request.setProperty(c == "QEL_ZEPCedarTerminal" ? "MOTN" : "MODN",
                            CIMValue(String(("m" + std::to_string(n % 1000)).c_str())));
        return request;
    }
    CIMInstance request = modifyRequest(cls);
    if (c == "QEL_ZEPCedarSetting") {
        request.setProperty("NodeId", CIMValue(UInt16(n % 10000)));
        request.setProperty("PrimaryNCSAddr", CIMValue(String(("10.0.0." + std::to_string(n % 256)).c_str())));
        request.setProperty("H323Id", CIMValue(String("stress")));
    } else if (c == "QEL_ZEPAlderSetting") {
        request.setProperty("TestLocalModeTimeout", CIMValue(UInt8(2 + n % 9)));
    } else if (c == "QEL_ZEPBirchSetting") {
        request.setProperty("TestLocalModeTimeOut", CIMValue(UInt8(2 + n % 9)));
        request.setProperty("PrimaryTpsPort", CIMValue(UInt16(n & 0xFFFF)));
    }
    return request;  // the mode class: nothing to set, nothing refused
}

sZepIPSetTableGet terminalRecord(uint32_t dn, uint32_t moType, unsigned n) {
    sZepIPSetTableGet r{};
    r.setDN(dn);
    r.setMoType(moType);
    r.setHWID({0x02, static_cast<unsigned char>(moType), 0, 0, static_cast<unsigned char>(dn >> 8),
               static_cast<unsigned char>(dn)});
    r.setMOTPS(0x0A000000 + dn);
    r.setBUID("b" + std::to_string(n));
    r.setSetStatus("s" + std::to_string(n));
    return r;
}

void deliverSettings(uint32_t moType, unsigned n) {
    sZepCedarCache record{};  // a prefix of it serves the 44-byte types
    for (size_t i = 0; i < sZepCedarCache::kSize; ++i) record.data()[i] = static_cast<unsigned char>(n + i);
    record.setVoipTrunkAccessCode(std::to_string(n));
    deliver(settingsEvent(record, moType));
}

struct Counts {
    std::atomic<long> operations{0};
    std::atomic<long> unexpected{0};
    std::atomic<long> modified{0};  // modifies that found their instance
};

void requestLoop(unsigned seed, const std::atomic<bool>& stop, Counts& counts) {
    std::mt19937 random(seed);
    QEL_ZEPProvider& p = provider();
    unsigned n = 0;
    while (!stop) {
        const char* cls = kClasses[random() % 7];
        const uint32_t dn = 1 + random() % (kTerminalsPerType + 5);
        const unsigned op = random() % 10;
        CIMParamValueArray in, out;
        int error = -1;
        if (op < 3) {
            error = cimErrorOf([&] { enumerate(p, cls); });
        } else if (op < 4) {
            error = cimErrorOf([&] {
                Collector<CIMObjectPath> names;
                p.enumInstanceNames(makeEnv(), kNs, cls, names, CIMClass(CIMNULL));
            });
        } else if (op < 6) {
            error = cimErrorOf([&] {
                p.getInstance(makeEnv(), kNs, isTerminal(cls) ? terminalPath(cls, dn) : pathOf(cls),
                              WBEMFlags::E_NOT_LOCAL_ONLY, WBEMFlags::E_EXCLUDE_QUALIFIERS,
                              WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, 0, CIMClass(CIMNULL));
            });
        } else if (op < 9) {
            error = modify(p, validModify(cls, dn, ++n + seed));
            if (error == -1) ++counts.modified;
        } else if (isTerminal(cls)) {
            error = cimErrorOf(
                [&] { p.invokeMethod(makeEnv(), kNs, terminalPath(cls, dn), "RedirectSet", in, out); });
        }
        if (error != -1 && error != CIMException::NOT_FOUND) ++counts.unexpected;
        ++counts.operations;
    }
}

TEST(AllClassesStress, RequestsOnEveryClassWhileTheActiveTypeChanges) {
    resetCaches();
    std::atomic<bool> stop{false};
    Counts counts;
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t) threads.emplace_back(requestLoop, 31 + t, std::cref(stop), std::ref(counts));

    // The listener's side: link downs and repeated mode records now and then.
    std::atomic<long> sideEvents{0};
    threads.emplace_back([&] {
        std::mt19937 random(99);
        while (!stop) {
            if (random() % 4 == 0)
                deliver(sZepToOamEvents::ofType(ZEP_EVT_LINK_DOWN));
            else
                deliver(modeEvent(1, random() % 3));
            ++sideEvents;
            std::this_thread::yield();
        }
    });

    // The message loop's side: the gateway switching types and sending data.
    std::mt19937 random(7);
    long events = 0;
    unsigned n = 0;
    const auto end = std::chrono::steady_clock::now() + runTime();
    while (std::chrono::steady_clock::now() < end) {
        const uint32_t type = random() % 3;
        deliver(sZepToOamEvents::ofType(ZEP_EVT_LINK_UP));
        deliver(modeEvent(1, type));
        deliverSettings(type, ++n);
        for (uint32_t dn = 1; dn <= kTerminalsPerType; ++dn)
            deliver(sZepToOamEvents::ipsetRecord(terminalRecord(dn, type, ++n)));
        for (int i = 0; i < 20; ++i) {
            const unsigned op = random() % 10;
            if (op < 5)
                deliver(sZepToOamEvents::ipsetRecord(terminalRecord(1 + random() % kTerminalsPerType, type, ++n)));
            else if (op < 7)
                deliverSettings(random() % 4, ++n);  // own and other types, and one no class has
            else if (op < 9)
                deliver(sZepToOamEvents::ipsetDeleted(type, 1 + random() % kTerminalsPerType));
            else
                deliver(modeEvent(random() % 2, random() % 4));
        }
        events += kTerminalsPerType + 23;
        takeRequests();  // the harness keeps what it captures: keep that bounded
        takeLogLines();
    }
    stop = true;
    for (std::thread& t : threads) t.join();
    printf("events %ld (+%ld link downs and mode records), requests %ld, modifies applied %ld\n", events,
           sideEvents.load(), counts.operations.load(), counts.modified.load());
    EXPECT_EQ(0, counts.unexpected.load());
    EXPECT_GT(counts.operations.load(), 0);

    // The caches still follow the gateway: one clean round leaves exactly
    // the Birch classes filled besides the mode.
    QEL_ZEPProvider& p = provider();
    deliver(sZepToOamEvents::ofType(ZEP_EVT_LINK_DOWN));
    for (const char* cls : kClasses) EXPECT_TRUE(enumerate(p, cls).empty()) << cls;
    deliver(modeEvent(1, ZEP_MOTYPE_BIRCH));
    deliverSettings(ZEP_MOTYPE_BIRCH, 1);
    for (uint32_t dn = 1; dn <= 3; ++dn)
        deliver(sZepToOamEvents::ipsetRecord(terminalRecord(dn, ZEP_MOTYPE_BIRCH, dn)));
    for (const char* cls : kClasses) {
        const std::string c = cls;
        const size_t expected = c == "QEL_ZEPBirchTerminal"                                ? 3
                                : c == "QEL_ZEPModeSetting" || c == "QEL_ZEPBirchSetting" ? 1
                                                                                          : 0;
        EXPECT_EQ(expected, enumerate(p, cls).size()) << cls;
    }
    resetCaches();
}

}  // namespace

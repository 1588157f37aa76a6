// Request threads enumerating, reading, modifying, redirecting and finding
// Cedar terminals while the gateway side updates, deletes, re-adds and
// replaces them, changes the mode and drops the link, over a population of
// 10,000 terminals. Run under the thread sanitizer (label "concurrency").
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "QEL_ZEPCedarTerminal.h"
#include "TerminalTestSupport.hpp"

using namespace terminaltest;

namespace {

constexpr uint32_t kPopulation = 10000;
constexpr auto kRunTime = std::chrono::seconds(10);

Mac macOf(uint32_t dn) {
    return Mac{0x02, 0x00, static_cast<unsigned char>(dn >> 24), static_cast<unsigned char>(dn >> 16),
               static_cast<unsigned char>(dn >> 8), static_cast<unsigned char>(dn)};
}

void populate() {
    for (uint32_t dn = 1; dn <= kPopulation; ++dn)
        deliver(sZepToOamEvents::ipsetRecord(terminal(dn, ZEP_MOTYPE_CEDAR, macOf(dn))));
}

struct RequestCounts {
    std::atomic<long> operations{0};
    std::atomic<long> redirected{0};
    std::atomic<long> unexpected{0};
};

// One request thread: a random mix of the class's operations on random DNs.
// A terminal may vanish between any two requests, so "not found" is normal.
void requestLoop(unsigned seed, const std::atomic<bool>& stop, RequestCounts& counts) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<uint32_t> anyDN(1, kPopulation + 200);
    do {
        const uint32_t dn = anyDN(random);
        const unsigned op = random() % 1000;
        CIMParamValueArray in, out;
        int error = -1;
        // Whole enumerations hold the class lock for long: keep them rare, as in life.
        if (op == 0) {
            error = cimErrorOf([&] { enumerate(kCedar); });
        } else if (op == 1) {
            error = cimErrorOf([&] {
                Collector<CIMObjectPath> names;
                provider().enumInstanceNames(makeEnv(), kNs, kCedar, names, CIMClass(CIMNULL));
            });
        } else if (op < 400) {
            error = cimErrorOf([&] { getInstance(pathOf(kCedar, dn)); });
        } else if (op < 650) {
            CIMInstance request = modifyRequest(kCedar, dn);
            request.setProperty("MOTN", CIMValue(String(std::to_string(seed * 1000 + op).c_str())));
            request.setProperty("BUID", CIMValue(CIMNULL));
            error = modify(request);
        } else if (op < 850) {
            error = cimErrorOf([&] { invoke(pathOf(kCedar, dn), "RedirectSet", in, out); });
            if (error == -1) ++counts.redirected;
        } else {
            in.push_back(CIMParamValue("InstanceName", CIMValue(String(std::to_string(dn).c_str()))));
            error = cimErrorOf([&] { invoke(CIMObjectPath(String(kCedar), String(kNs)), "FindByInstanceName", in, out); });
        }
        if (error != -1 && error != CIMException::NOT_FOUND) ++counts.unexpected;
        ++counts.operations;
    } while (!stop);
}

TEST(TerminalStress, RequestsAndGatewayEventsShareTheCedarCache) {
    resetCaches();
    populate();
    ASSERT_EQ(kPopulation, enumerate(kCedar).size());
    takeLogLines();

    const uint32_t redirectsBefore = QEL_ZEPCedarTerminalImpl::RedirectSetReturn.load();
    std::atomic<bool> stop{false};
    RequestCounts counts;
    std::vector<std::thread> requests;
    for (unsigned t = 0; t < 4; ++t) requests.emplace_back(requestLoop, 17 + t, std::cref(stop), std::ref(counts));

    long events = 0;
    std::mt19937 random(4);
    std::uniform_int_distribution<uint32_t> anyDN(1, kPopulation);
    uint32_t newcomer = kPopulation;
    const auto start = std::chrono::steady_clock::now();
    auto nextUpheaval = start + std::chrono::seconds(1);
    bool linkDownNext = false;
    int upheavals = 0;
    while (std::chrono::steady_clock::now() < start + kRunTime) {
        const uint32_t dn = anyDN(random);
        const unsigned op = random() % 1000;
        if (std::chrono::steady_clock::now() >= nextUpheaval) {
            // Now and then the whole cache goes (link down, or the mode
            // turning to another call server) and the gateway refills it.
            deliver(linkDownNext ? sZepToOamEvents::ofType(ZEP_EVT_LINK_DOWN) : modeEvent(1, ZEP_MOTYPE_ALDER));
            linkDownNext = !linkDownNext;
            deliver(modeEvent(1, ZEP_MOTYPE_CEDAR));
            populate();
            ++upheavals;
            nextUpheaval = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        } else if (op < 900) {
            sZepIPSetTableGet r = terminal(dn, ZEP_MOTYPE_CEDAR, macOf(dn));
            r.setSetStatus("update " + std::to_string(events));
            deliver(sZepToOamEvents::ipsetRecord(r));
        } else if (op < 950) {
            deliver(sZepToOamEvents::ipsetDeleted(ZEP_MOTYPE_CEDAR, dn));
        } else if (op < 995) {
            // A terminal coming back under a new DN replaces its old entry.
            deliver(sZepToOamEvents::ipsetRecord(terminal(++newcomer, ZEP_MOTYPE_CEDAR, macOf(dn))));
        } else {
            deliver(modeEvent(1, ZEP_MOTYPE_CEDAR));
        }
        if (++events % 1000 == 0) {  // the harness keeps what it captures: keep that bounded
            takeRequests();
            takeLogLines();
        }
    }
    stop = true;
    for (std::thread& t : requests) t.join();

    EXPECT_EQ(0, counts.unexpected.load());
    EXPECT_GE(counts.operations.load(), 4);
    EXPECT_EQ(static_cast<uint32_t>(redirectsBefore + counts.redirected.load()),
              QEL_ZEPCedarTerminalImpl::RedirectSetReturn.load());

    // The cache is still whole: it empties and fills like a fresh one.
    deliver(sZepToOamEvents::ofType(ZEP_EVT_LINK_DOWN));
    EXPECT_TRUE(enumerate(kCedar).empty());
    populate();
    EXPECT_EQ(kPopulation, enumerate(kCedar).size());
    resetCaches();
    EXPECT_TRUE(enumerate(kCedar).empty());
}

}  // namespace

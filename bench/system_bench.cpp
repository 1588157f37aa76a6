// The whole chain between two processes: zepsim ("zep") feeding the provider
// library loaded in this process, each figure beside a baseline from the same
// run:
//  - time from the simulator's link-up to the provider's full cache of 10,000
//    Cedar terminals (target 0.5 s), beside the time the framework itself
//    needs to carry 10,000 such messages between the two processes;
//  - terminal record updates per second from a simulator flood into the
//    provider's cache, beside the framework's raw rate: the same simulator
//    sending messages of the same size to a bare counting callback on the
//    same message loop of this process (target 70% of it).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "BenchTable.hpp"
#include "HulMfw.h"
#include "LoadedProvider.hpp"
#include "Zepsim.hpp"

// The loaded library's tasks run until the process ends (see the provider's
// integration tests); nothing here is for the leak checker.
extern "C" int __lsan_is_turned_off() { return 1; }

namespace {

using Clock = std::chrono::steady_clock;
using simtest::LoadedProvider;
using SimProcess = testsupport::Zepsim;

constexpr uint32_t kTerminals = 10000;
constexpr uint32_t kFirstDn = 1000;  // zepsim's generated DNs: 1000 ...
constexpr uint32_t kLastDn = kFirstDn + kTerminals - 1;
constexpr uint32_t kUpdatesPerRound = 50000;  // five passes over the terminals
constexpr uint16_t kRawClass = 100;
const char kCedarTerminal[] = "QEL_ZEPCedarTerminal";

std::atomic<uint64_t> gRaw{0};
void countRaw(uint16_t, uint32_t, void*, uint32_t) { gRaw.fetch_add(1, std::memory_order_relaxed); }

struct Rate {
    double messages = 0;
    double seconds = 0;
    double perSecond() const { return seconds > 0 ? messages / seconds : 0; }
};
Rate gFloodRate, gRawRate;
double gFillSeconds = 0;
int gFills = 0;

std::unique_ptr<SimProcess> startSimulator() {
    return std::make_unique<SimProcess>(
        ZEPSIM_PATH, std::vector<std::string>{"--peer", simtest::kProviderProcess, "--mode", "cedar",
                                              "--terminals", std::to_string(kTerminals), "--announce-ms", "50"});
}

// Polls pred without sleeping long, so the time it reports is close to the
// moment pred became true; false after a minute.
template <class Pred>
bool spinUntil(Pred pred) {
    const auto end = Clock::now() + std::chrono::seconds(60);
    while (!pred()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

bool cacheEmpty() { return LoadedProvider::get().count(kCedarTerminal) == 0; }

// Records arrive in DN order, so the last DN's presence means all are there.
bool cacheFull() { return LoadedProvider::get().terminal(kCedarTerminal, kLastDn).has_value(); }

void BM_FloodIntoCacheVsFrameworkRaw(benchmark::State& state) {
    LoadedProvider& provider = LoadedProvider::get();
    auto sim = startSimulator();
    if (!spinUntil(cacheFull) || provider.count(kCedarTerminal) != kTerminals)
        return state.SkipWithError("the cache did not fill");
    uint64_t sequence = 0;  // the simulator's flood counter
    for (auto _ : state) {
        // Raw round: the framework alone, same sender, same size, same loop.
        const uint64_t rawTarget = gRaw.load() + kUpdatesPerRound;
        auto start = Clock::now();
        if (sim->command("rawflood " + std::to_string(kUpdatesPerRound) + " " + std::to_string(kRawClass))
                .rfind("ok", 0) != 0 ||
            !spinUntil([&] { return gRaw.load() >= rawTarget; }))
            return state.SkipWithError("the raw messages did not all arrive");
        const double raw = std::chrono::duration<double>(Clock::now() - start).count();

        // Flood round: the last update goes to the last DN; when the cache
        // shows it, every update of the round has been taken.
        sequence += kUpdatesPerRound;
        const std::string last = "flood " + std::to_string(sequence);
        start = Clock::now();
        if (sim->command("flood " + std::to_string(kUpdatesPerRound)).rfind("ok", 0) != 0 ||
            !spinUntil([&] { return simtest::text(provider.terminal(kCedarTerminal, kLastDn), "SetStatus") == last; }))
            return state.SkipWithError("the updates did not all arrive");
        const double flood = std::chrono::duration<double>(Clock::now() - start).count();

        state.SetIterationTime(flood);
        gRawRate.messages += kUpdatesPerRound;
        gRawRate.seconds += raw;
        gFloodRate.messages += kUpdatesPerRound;
        gFloodRate.seconds += flood;
    }
    state.SetItemsProcessed(state.iterations() * kUpdatesPerRound);
    state.counters["updates_per_s"] = gFloodRate.perSecond();
    state.counters["raw_per_s"] = gRawRate.perSecond();
    sim.reset();
    spinUntil(cacheEmpty);
}
BENCHMARK(BM_FloodIntoCacheVsFrameworkRaw)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_LinkUpToFullCache(benchmark::State& state) {
    for (auto _ : state) {
        if (!spinUntil(cacheEmpty)) return state.SkipWithError("the cache did not empty");
        // "ready" comes right after the simulator joined; its first link-up
        // follows at once, so the clock starts with the link-up.
        auto sim = startSimulator();
        const auto start = Clock::now();
        if (!spinUntil(cacheFull)) return state.SkipWithError("the cache did not fill");
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (LoadedProvider::get().count(kCedarTerminal) != kTerminals) return state.SkipWithError("terminals missing");
        state.SetIterationTime(seconds);
        gFillSeconds += seconds;
        ++gFills;
        sim->kill();  // the provider notices within its one-second poll, before the next round
    }
}
BENCHMARK(BM_LinkUpToFullCache)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void report() {
    const double raw = gRawRate.perSecond(), flood = gFloodRate.perSecond();
    if (raw > 0 && flood > 0) {
        std::printf("flood into the cache: %.0f updates/s; framework raw: %.0f messages/s; ratio %.0f%% (target >= 70%%)\n",
                    flood, raw, 100.0 * flood / raw);
        benchtable::row("zepsim flood into the provider cache", flood, "updates/s", raw, "framework raw rate",
                        benchtable::shareOfBaselineAtLeast(0.7));
    }
    if (gFills > 0 && raw > 0) {
        const double fillMs = 1000.0 * gFillSeconds / gFills;
        const double floorMs = 1000.0 * kTerminals / raw;
        std::printf("link-up to full cache, %u Cedar terminals: %.1f ms; framework carrying %u messages: %.1f ms; "
                    "ratio %.2f (target <= 500 ms)\n",
                    kTerminals, fillMs, kTerminals, floorMs, fillMs / floorMs);
        benchtable::row("link-up to full cache, 10,000 Cedar terminals", fillMs, "ms", floorMs,
                        "framework carrying 10,000 messages", benchtable::atMost(500));
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    simtest::useSandbox();
    LoadedProvider::get();  // joins the framework and starts its message loop
    HulMfwRegisterCallback(kRawClass, countRaw);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    report();
    std::fflush(stdout);
    // The provider's tasks run on; leave without unwinding them.
    std::_Exit(0);
}

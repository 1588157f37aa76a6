// Gateway events per second from a zepsim process to the registered
// handlers, beside the framework's raw message rate measured in the same run:
// the same bodies, the same loop task, but a bare counting callback on a
// class of its own. The ratio is the link's cost; the target is 80% or better.
#include <benchmark/benchmark.h>

#include "BenchTable.hpp"
#include <stdlib.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "HulMfw.h"
#include "ZepOam.h"
#include "ZepRecords.h"
#include "Zepsim.hpp"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kSelf[] = "oambench";
constexpr uint16_t kRawClass = 5;
constexpr int kMessagesPerRound = 20000;

std::atomic<uint64_t> gEvents{0};
std::atomic<uint64_t> gRaw{0};
testsupport::Zepsim* gGateway = nullptr;

// Totals per benchmark, for the closing comparison.
struct Rate {
    double messages = 0;
    double seconds = 0;
    double perSecond() const { return seconds > 0 ? messages / seconds : 0; }
};
Rate gEventRate, gRawRate;

// Seven handlers as the provider registers them: the first answers link-up
// with a mode request, as the mode class does; the last counts.
template <int N>
void handler(sZepToOamEvents* event) {
    if (N == 0 && event->getType() == ZEP_EVT_LINK_UP) ZepOamSendRecord(ZEP_REQ_GET_MODE, sZepSettingsRequest(0));
    if (N == 6) gEvents.fetch_add(event->getType() == ZEP_EVT_IPSET_RECORD, std::memory_order_relaxed);
}
void rawCallback(uint16_t, uint32_t, void*, uint32_t) { gRaw.fetch_add(1, std::memory_order_relaxed); }

// Has the gateway flood (a terminal's record updates, or raw messages of the
// same size) and returns the seconds until the last arrived.
double floodRound(const std::string& flood, std::atomic<uint64_t>& counter) {
    const uint64_t target = counter.load() + kMessagesPerRound;
    const auto start = Clock::now();
    const std::string answer = gGateway->command(flood);
    if (answer.rfind("ok", 0) != 0 || answer.find(" lost ") != std::string::npos) return -1;
    while (counter.load() < target) {
        if (Clock::now() - start > std::chrono::seconds(60)) return -1;
        std::this_thread::yield();
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Each iteration floods one round of raw messages and one of gateway events,
// back to back, so that both figures see the same machine load; the reported
// time is the events' round.
void BM_GatewayEventsVsFrameworkRaw(benchmark::State& state) {
    for (auto _ : state) {
        const double raw = floodRound("rawflood " + std::to_string(kMessagesPerRound) + " " + std::to_string(kRawClass), gRaw);
        const double events = floodRound("flood " + std::to_string(kMessagesPerRound), gEvents);
        if (raw < 0 || events < 0) {
            state.SkipWithError("the messages did not all arrive");
            break;
        }
        state.SetIterationTime(events);
        gRawRate.messages += kMessagesPerRound;
        gRawRate.seconds += raw;
        gEventRate.messages += kMessagesPerRound;
        gEventRate.seconds += events;
    }
    state.SetItemsProcessed(state.iterations() * kMessagesPerRound);
    state.counters["events_per_s"] = gEventRate.perSecond();
    state.counters["raw_per_s"] = gRawRate.perSecond();
    state.counters["ratio_pct"] =
        gRawRate.perSecond() > 0 ? 100.0 * gEventRate.perSecond() / gRawRate.perSecond() : 0;
}
BENCHMARK(BM_GatewayEventsVsFrameworkRaw)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// CPU seconds this process has used so far, all threads.
double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// With the link up and nothing arriving, the link should cost nothing but the
// listener's look for the gateway once a second. The floor is zero.
void reportIdleCpu() {
    constexpr int kIdleSeconds = 5;
    const double before = processCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(kIdleSeconds));
    const double used = processCpuSeconds() - before;
    std::printf("idle link: %.3f ms CPU per second over %d s (floor 0)\n", 1000.0 * used / kIdleSeconds,
                kIdleSeconds);
    // "No measurable CPU": under a millisecond of CPU per second, a tenth of a percent of a core.
    benchtable::row("idle link up: CPU per second", 1000.0 * used / kIdleSeconds, "ms", 0, "floor 0",
                    benchtable::atMost(1));
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    char dir[] = "/tmp/oambench.XXXXXX";
    if (!mkdtemp(dir)) return 1;
    setenv("HUL_MFW_DIR", dir, 1);
    setenv("HUL_DIAG_DIR", dir, 1);
    setenv("HUL_MFW_NAME", kSelf, 1);

    ZepOamInit();
    const ZepOamEventHandler handlers[] = {handler<0>, handler<1>, handler<2>, handler<3>,
                                           handler<4>, handler<5>, handler<6>};
    for (ZepOamEventHandler h : handlers) ZepOamRegisterCallback(h);
    HulMfwRegisterCallback(kRawClass, rawCallback);
    int rc = 0;
    {
        testsupport::Zepsim gateway(ZEPSIM_PATH, {"--peer", kSelf, "--mode", "cedar", "--terminals", "1", "--announce-ms", "50"});
        gGateway = &gateway;
        // The link is up once the gateway was asked for its mode; from then on
        // its events reach the handlers.
        testsupport::waitUntil([&] { return gateway.status()["announcing"] == "no"; }, std::chrono::seconds(30));
        gateway.command("flood 1");
        testsupport::waitUntil([] { return gEvents.load() > 0; }, std::chrono::seconds(30));
        if (gEvents.load() == 0) {
            std::fprintf(stderr, "oam_bench: no events reached the handlers\n");
            rc = 1;
        } else {
            benchmark::RunSpecifiedBenchmarks();
            const double events = gEventRate.perSecond(), raw = gRawRate.perSecond();
            std::printf("\ngateway events to handlers: %.0f/s; framework raw messages: %.0f/s; "
                        "ratio %.0f%% (target 80%% or better)\n",
                        events, raw, raw > 0 ? 100.0 * events / raw : 0.0);
            benchtable::row("gateway events to the handlers across processes", events, "/s", raw,
                            "framework raw messages", benchtable::shareOfBaselineAtLeast(0.8));
            reportIdleCpu();
        }
        gGateway = nullptr;
    }
    for (ZepOamEventHandler h : handlers) ZepOamResetCallback(h);
    ZepOamShutdown();
    benchmark::Shutdown();
    const std::string cleanup = std::string("rm -rf '") + dir + "'";
    if (std::system(cleanup.c_str()) != 0) rc = rc ? rc : 1;
    return rc;
}

// End to end through the real object manager: `wbemcli ei` of 10,000 Cedar
// terminals through owcimomd with the provider (target 2 s or less), beside
// the same command through cimhost with the provider built against the
// OpenWBEM stand-in, from the build named by ZEP_BENCH_STANDIN_BUILD
// (scripts/bench sets it). Each stack runs against its own zepsim gateway,
// in a private framework directory, one after the other.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "BenchTable.hpp"
#include "HostProcess.hpp"

namespace {

constexpr unsigned kTerminals = 10000;
const char kCedar[] = "QEL_ZEPCedarTerminal";

std::map<std::string, double> gFigures;

// The stand-in build's programs, or none.
bool standInPrograms(hosttest::StackPrograms& p) {
    const char* dir = std::getenv("ZEP_BENCH_STANDIN_BUILD");
    if (!dir || !*dir) return false;
    p = hosttest::buildPrograms();
    p.realHost = false;
    p.cimhost = std::string(dir) + "/host/cimhost";
    p.providerDir = std::string(dir) + "/ZepProvider";
    p.zepsim = std::string(dir) + "/zepsim/zepsim";
    return true;
}

// wbemcli ei of the Cedar terminals through the stack, timed per command.
void enumerateThrough(benchmark::State& state, const hosttest::StackPrograms& programs) {
    // The provider is never unloaded on either host; cimhost is told so
    // that it does not even look.
    const std::vector<std::string> hostArgs =
        programs.realHost ? std::vector<std::string>{} : std::vector<std::string>{"--provider-ttl", "0"};
    hosttest::Stack stack({"--mode", "cedar", "--terminals", std::to_string(kTerminals)}, hostArgs, programs);
    if (!testsupport::waitUntil([&] { return stack.count(kCedar) == kTerminals; }, std::chrono::seconds(180)))
        return state.SkipWithError("the provider's cache did not fill");
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const hosttest::Result r = stack.wbemcli({"ei", std::string("URL:") + kCedar});
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        size_t lines = 0;
        for (char c : r.out) lines += c == '\n';
        if (r.status != 0 || lines != kTerminals) return state.SkipWithError("wbemcli did not list every terminal");
    }
}

void BM_WbemcliEnumerateThroughOwcimomd(benchmark::State& state) {
    enumerateThrough(state, hosttest::buildPrograms());
}

void BM_BaselineWbemcliEnumerateThroughCimhost(benchmark::State& state) {
    hosttest::StackPrograms programs;
    if (!standInPrograms(programs)) return state.SkipWithError("ZEP_BENCH_STANDIN_BUILD names no stand-in build");
    enumerateThrough(state, programs);
}

BENCHMARK(BM_WbemcliEnumerateThroughOwcimomd)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineWbemcliEnumerateThroughCimhost)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchtable::runTimed(argc, argv, gFigures,
                         {{"BM_WbemcliEnumerateThroughOwcimomd", "owcimomd"},
                          {"BM_BaselineWbemcliEnumerateThroughCimhost", "cimhost"}});
    benchmark::Shutdown();
    const double real = gFigures["owcimomd"], standIn = gFigures["cimhost"];
    if (real > 0) {
        std::printf("\nwbemcli ei of %u Cedar terminals through owcimomd: %8.1f ms (target 2000 ms)\n", kTerminals, real);
        if (standIn > 0) std::printf("  baseline, the same through cimhost:            %8.1f ms\n", standIn);
        benchtable::row("wbemcli ei of 10,000 Cedar terminals via owcimomd", real, "ms", standIn,
                        "the same via cimhost", benchtable::atMost(2000));
    }
    return 0;
}

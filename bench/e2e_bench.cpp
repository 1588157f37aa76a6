// End to end: `wbemcli ei` of 10,000 Cedar terminals through cimhost, each
// figure beside its baseline from the same run:
//  - the whole command's wall time (target 2 s or less); baseline: the same
//    enumeration inside one process, the provider library loaded and asked
//    directly, with no XML and no HTTP;
//  - cimhost's own time for that request, read from its log (provider call,
//    XML writing), as a share of the command's wall time (target 25% or less).
// Both stacks run against their own zepsim gateway, each in a private
// framework directory.
#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <OW_CIMClass.hpp>
#include <OW_CIMInstance.hpp>
#include <OW_CIMObjectPath.hpp>
#include <OW_CppInstanceProviderIFC.hpp>
#include <OW_CppProviderBaseIFC.hpp>
#include <OW_Logger.hpp>
#include <OW_ProviderEnvironmentIFC.hpp>
#include <OW_ResultHandlerIFC.hpp>

#include "BenchTable.hpp"
#include "ProviderEnvironment.hpp"
#include "../tests/host/HostProcess.hpp"
#include "../tests/support/TestSupport.hpp"

using namespace OpenWBEM;

// The loaded provider's gateway tasks run until exit, as in an object manager.
extern "C" int __lsan_is_turned_off() { return 1; }

namespace {

constexpr unsigned kTerminals = 10000;
constexpr char kCedar[] = "QEL_ZEPCedarTerminal";

std::map<std::string, double> gFigures;

// The programs of the same build: this one runs from <build>/bench-bin.
std::string buildDir() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string self(buf, n > 0 ? static_cast<size_t>(n) : 0);
    self = self.substr(0, self.rfind('/'));
    return self.substr(0, self.rfind('/'));
}
const std::string kCimhost = buildDir() + "/host/cimhost";
const std::string kZepsim = buildDir() + "/zepsim/zepsim";
const std::string kProvider = buildDir() + "/ZepProvider/libQEL_ZEPProvider.so";

std::string readFile(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "r")) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
        std::fclose(f);
    }
    return text;
}

// Runs a command; returns its standard output, and its line count in *lines.
std::string run(const std::string& cmd, size_t* lines = nullptr) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    if (lines) {
        *lines = 0;
        for (char c : out) *lines += c == '\n';
    }
    return out;
}

// zepsim with 10,000 Cedar terminals and cimhost, in a sandbox of their own.
class HostStack {
public:
    HostStack() : stack_({"--mode", "cedar", "--terminals", std::to_string(kTerminals)}, {"--provider-ttl", "0"},
                         programs()) {
        ready_ = testsupport::waitUntil([&] { return stack_.count(kCedar) == kTerminals; }, std::chrono::seconds(120));
    }
    bool ready() const { return ready_; }
    const std::string& url() const { return stack_.url(); }
    std::string log() const { return stack_.logFile(); }

private:
    static hosttest::StackPrograms programs() {
        hosttest::StackPrograms p;
        p.zepsim = kZepsim;
        p.cimhost = kCimhost;
        p.providerDir = buildDir() + "/ZepProvider";
        p.mof = MOF_PATH;
        return p;
    }
    hosttest::Stack stack_;
    bool ready_ = false;
};

std::unique_ptr<HostStack> gStack;

// The host's wall and CPU time for the last EnumerateInstances in its log
// ("... in 12.345 ms (10.000 ms CPU)").
std::pair<double, double> lastHostMs(const std::string& logPath) {
    const std::string log = readFile(logPath);
    const size_t line = log.rfind("EnumerateInstances QEL_ZEPCedarTerminal: ");
    if (line == std::string::npos) return {0, 0};
    const size_t in = log.find(" in ", line);
    const size_t cpu = log.find(" (", in);
    if (in == std::string::npos || cpu == std::string::npos) return {0, 0};
    return {std::atof(log.c_str() + in + 4), std::atof(log.c_str() + cpu + 2)};
}

void BM_WbemcliEnumerateThroughCimhost(benchmark::State& state) {
    if (!gStack) gStack.reset(new HostStack);
    HostStack* stack = gStack.get();
    if (!stack->ready()) return state.SkipWithError("the host's cache did not fill");
    const std::string cmd = std::string("wbemcli ei '") + stack->url() + ":" + kCedar + "' 2>/dev/null";
    double hostMs = 0, hostCpuMs = 0;
    for (auto _ : state) {
        size_t n = 0;
        const auto start = std::chrono::steady_clock::now();
        run(cmd, &n);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        if (n != kTerminals) return state.SkipWithError("wbemcli did not list every terminal");
        const std::pair<double, double> host = lastHostMs(stack->log());
        hostMs += host.first;
        hostCpuMs += host.second;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["host_ms"] = hostMs / n;
    state.counters["host_cpu_ms"] = hostCpuMs / n;
    gFigures["host"] = hostMs / n;
    gFigures["host-cpu"] = hostCpuMs / n;
}

class Counter : public ResultHandlerIFC<CIMInstance> {
public:
    size_t count = 0;

protected:
    void doHandle(const CIMInstance&) { ++count; }
};

class NameCounter : public ResultHandlerIFC<CIMObjectPath> {
public:
    size_t count = 0;

protected:
    void doHandle(const CIMObjectPath&) { ++count; }
};

// The provider in this process, as the object manager holds it, fed by its own zepsim.
struct InProcess {
    InProcess() {
        setenv("HUL_MFW_DIR", dir.path().c_str(), 1);
        setenv("HUL_DIAG_DIR", dir.path().c_str(), 1);
        setenv("HUL_MFW_NAME", "e2ebench", 1);
        sim.reset(new testsupport::Zepsim(kZepsim, {"--peer", "e2ebench", "--mode", "cedar", "--terminals",
                                                        std::to_string(kTerminals)}));
        void* lib = dlopen(kProvider.c_str(), RTLD_NOW | RTLD_GLOBAL);
        if (!lib) return;
        typedef CppProviderBaseIFC* (*FactoryFn)();
        FactoryFn factory = reinterpret_cast<FactoryFn>(dlsym(lib, "createProviderQEL_ZEPProvider"));
        if (!factory) return;
        provider = factory();
        provider->initialize(env);
        instances = provider->getInstanceProvider();
        testsupport::waitUntil([&] {
            NameCounter names;
            instances->enumInstanceNames(env, "root/cimv2", kCedar, names, CIMClass(CIMNULL));
            return names.count == kTerminals;
        }, std::chrono::seconds(120));
    }
    testsupport::ScratchDir dir;
    std::unique_ptr<testsupport::Zepsim> sim;
    ProviderEnvironmentIFCRef env = owtest::makeEnvironment();
    IntrusiveReference<CppProviderBaseIFC> provider;
    CppInstanceProviderIFC* instances = nullptr;
};

std::unique_ptr<InProcess> gInProcess;

void BM_BaselineEnumerateInProcess(benchmark::State& state) {
    if (!gInProcess) gInProcess.reset(new InProcess);
    InProcess* p = gInProcess.get();
    if (!p->instances) return state.SkipWithError("the provider library did not load");
    for (auto _ : state) {
        Counter result;
        p->instances->enumInstances(p->env, "root/cimv2", kCedar, result, WBEMFlags::E_NOT_LOCAL_ONLY,
                                    WBEMFlags::E_DEEP, WBEMFlags::E_EXCLUDE_QUALIFIERS,
                                    WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, 0, CIMClass(CIMNULL), CIMClass(CIMNULL));
        if (result.count != kTerminals) return state.SkipWithError("not every terminal was enumerated");
    }
    state.SetItemsProcessed(state.iterations() * kTerminals);
}

// The host first: the in-process provider joins the framework under another name.
BENCHMARK(BM_WbemcliEnumerateThroughCimhost)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineEnumerateInProcess)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchtable::runTimed(argc, argv, gFigures,
                         {{"BM_WbemcliEnumerateThroughCimhost", "wbemcli"}, {"BM_BaselineEnumerateInProcess", "inprocess"}});
    const double whole = gFigures["wbemcli"], host = gFigures["host"], inProcess = gFigures["inprocess"];
    if (whole > 0) {
        std::printf("\nwbemcli ei of %u Cedar terminals through cimhost: %8.1f ms (target 2000 ms)\n", kTerminals, whole);
        std::printf("  cimhost's own time for the request (its log):  %8.1f ms, %.1f%% of the whole (target 25%%);"
                    " %.1f ms of it CPU\n", host, 100.0 * host / whole, gFigures["host-cpu"]);
        if (inProcess > 0)
            std::printf("  baseline, the same enumeration in one process: %8.1f ms (%.1fx)\n", inProcess,
                        whole / inProcess);
        benchtable::row("wbemcli ei of 10,000 Cedar terminals via cimhost", whole, "ms", inProcess,
                        "in-process enumeration", benchtable::atMost(2000));
        benchtable::row("cimhost's share of that request", host, "ms", whole, "whole wbemcli command",
                        benchtable::Target{0.25, true, benchtable::Better::Lower});
    }
    // The host, the gateways and the in-process provider's gateway end here.
    gStack.reset();
    gInProcess.reset();
    benchmark::Shutdown();
    return 0;
}

// One line per headline figure for the table that scripts/bench prints after
// every program has run: the figure, its baseline from the same run, their
// ratio and the target. Each program still prints its own comparison; the rows
// go, tab-separated, to the file named by ZEP_BENCH_TABLE (appended; nothing is
// written when it is unset, as when a program is run by hand).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace benchtable {

enum class Better { Higher, Lower };

// What a figure must reach: a value in the figure's unit, or a share of the
// baseline (0.7 for "70% of the baseline or better").
struct Target {
    double value;
    bool ofBaseline;
    Better better;
};
inline Target atLeast(double v) { return {v, false, Better::Higher}; }
inline Target atMost(double v) { return {v, false, Better::Lower}; }
inline Target shareOfBaselineAtLeast(double share) { return {share, true, Better::Higher}; }
inline Target shareOfBaselineAtMost(double share) { return {share, true, Better::Lower}; }

inline std::string number(double v) {
    char text[32];
    if (v >= 100000)
        std::snprintf(text, sizeof text, "%.3g", v);
    else if (v >= 100)
        std::snprintf(text, sizeof text, "%.0f", v);
    else
        std::snprintf(text, sizeof text, "%.3g", v);
    return text;
}

// baseline <= 0 means the figure has no baseline (its floor is zero, say).
inline void row(const std::string& figure, double value, const std::string& unit, double baseline,
                const std::string& baselineWhat, const Target& target) {
    const char* path = std::getenv("ZEP_BENCH_TABLE");
    if (!path || !*path) return;
    std::FILE* out = std::fopen(path, "a");
    if (!out) return;
    // A second run of a program under other conditions names them in its rows.
    const char* variant = std::getenv("ZEP_BENCH_VARIANT");
    const std::string name = variant && *variant ? figure + " (" + variant + ")" : figure;
    const double ratio = baseline > 0 ? value / baseline : 0.0;
    const double reached = target.ofBaseline ? ratio : value;
    const bool met = target.better == Better::Higher ? reached >= target.value : reached <= target.value;
    std::string targetText = target.better == Better::Higher ? ">= " : "<= ";
    targetText += target.ofBaseline ? number(100.0 * target.value) + "% of baseline" : number(target.value) + " " + unit;
    std::fprintf(out, "%s\t%s %s\t%s\t%s\t%s\t%s\n", name.c_str(), number(value).c_str(), unit.c_str(),
                 baseline > 0 ? (number(baseline) + " " + unit + " (" + baselineWhat + ")").c_str() : baselineWhat.c_str(),
                 baseline > 0 ? (number(100.0 * ratio) + "%").c_str() : "-", targetText.c_str(), met ? "yes" : "NO");
    std::fclose(out);
}

// The console reporter that also keeps, under a key of the caller's, the
// real time of each benchmark whose name starts with a given prefix.
class TimeReporter : public benchmark::ConsoleReporter {
public:
    TimeReporter(std::map<std::string, double>& figures, std::vector<std::pair<std::string, std::string>> keys)
        : figures_(figures), keys_(std::move(keys)) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            for (const auto& [prefix, key] : keys_)
                if (run.benchmark_name().rfind(prefix, 0) == 0) figures_[key] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

private:
    std::map<std::string, double>& figures_;
    std::vector<std::pair<std::string, std::string>> keys_;
};

// Runs the program's benchmarks, keeping their times as TimeReporter does.
inline void runTimed(int& argc, char** argv, std::map<std::string, double>& figures,
                     std::vector<std::pair<std::string, std::string>> keys) {
    benchmark::Initialize(&argc, argv);
    TimeReporter reporter(figures, std::move(keys));
    benchmark::RunSpecifiedBenchmarks(&reporter);
}

}  // namespace benchtable

// Benchmark of the heaviest report the program builds: the report of a
// six-drug combination at 40 effect levels with the Monte Carlo simulation at
// its largest iteration count (32767 per level), measured with the simulation
// on and off; the line after the table gives the share of the report's time
// spent in the simulation.
//
// Run:  build-bench/bench/doseplex_bench_report
#include "bench/bench_support.h"
#include "core/document.h"
#include "core/drug_info.h"
#include "core/random.h"
#include "report/summary_report.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace doseplex;
using namespace doseplex::bench;

constexpr int kPoints = 7;
constexpr int kRepeats = 32767;

// The six-drug combination of bench_support, the drugs named Drug1 to Drug6
// and the mixture "Six-drug mix" without units. Analysis options: 40 effect
// levels, 32767 Monte Carlo iterations per level.
std::unique_ptr<CDoseplexDoc> SixDrugExperiment(int monteCarlo) {
    DrugList drugs = SixDrugCombination(kPoints);
    for (size_t k = 0; k + 1 < drugs.size(); ++k) {
        drugs[k]->m_strName = "Drug" + std::to_string(k + 1);
    }
    drugs.back()->m_strName = "Six-drug mix";
    drugs.back()->m_strUnits.clear();
    auto doc = std::make_unique<CDoseplexDoc>();
    for (auto& drug : drugs) {
        doc->AddDrug(std::move(drug));
    }

    CAnalysisOptions& options = doc->m_analysis;
    options.m_nMonteCarlo = monteCarlo;
    options.m_nReportRepeats = kRepeats;
    options.m_dEffectStart = 0.02;
    options.m_dEffectStep = 0.02;
    options.m_dEffectEnd = 0.98;
    return doc;
}

int CountOf(const std::string& text, std::string_view what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

void BM_SixDrugReport(benchmark::State& state) {
    const auto doc = SixDrugExperiment(static_cast<int>(state.range(0)));
    CRandom random;
    std::string text;
    for (auto _ : state) {
        text.clear();
        BuildReport(*doc, CBuildTarget::Drug(6), random, text);
        benchmark::DoNotOptimize(text.data());
        benchmark::ClobberMemory();
    }
    const int levels = EffectLevelCount(doc->m_analysis);
    state.counters["levels"] = levels;
    state.counters["mc_failed"] = CountOf(text, "MC Failed");
    state.counters["kbytes"] = static_cast<double>(text.size()) / 1024.0;
    if (state.range(0) != 0) {
        // One simulated dose for the mixture and one per component.
        state.SetItemsProcessed(state.iterations() * levels * kRepeats * 7);
    }
}
BENCHMARK(BM_SixDrugReport)->ArgName("monte_carlo")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The console table, then the share of the report's time spent in the
// Monte Carlo simulation: (time with it - time without) / time with it, from
// CPU times (medians when the runs were repeated), which a busy machine
// disturbs less than wall-clock times.
class CShareReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& reports) override {
        ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            if (IsSummaryRun(run)) {
                m_times[run.run_name.str()] = run.GetAdjustedCPUTime();
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto on = m_times.find("BM_SixDrugReport/monte_carlo:1");
        const auto off = m_times.find("BM_SixDrugReport/monte_carlo:0");
        if (on == m_times.end() || off == m_times.end() || on->second <= 0.0) {
            return;
        }
        std::array<char, 160> line{};
        std::snprintf(line.data(), line.size(),
                      "\nMonte Carlo share of the report (CPU): (%.1f - %.3f) / %.1f ms = %.2f%%\n",
                      on->second, off->second, on->second,
                      100.0 * (on->second - off->second) / on->second);
        GetOutputStream() << line.data();
    }

private:
    std::map<std::string, double> m_times;
};

} // namespace

int main(int argc, char** argv) {
    CShareReporter reporter;
    return RunBenchmarks(argc, argv, reporter);
}

// Benchmark of the heaviest report the program builds: the report of a
// six-drug combination at 40 effect levels with the Monte Carlo simulation at
// its largest iteration count (32767 per level), measured with the simulation
// on and off; the line after the table gives the share of the report's time
// spent in the simulation.
//
// Run:  build-bench/bench/doseplex_bench_report
#include "core/document.h"
#include "core/drug_info.h"
#include "core/random.h"
#include "report/summary_report.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace doseplex;

// A median-effect curve: median dose and slope.
struct CCurve {
    double dm;
    double m;
};

constexpr std::uint64_t kSeed = 0x5eed2024u;
constexpr int kPoints = 7;
constexpr int kRepeats = 32767;

// fa of `curve` at `dose` with normal noise on log10(fa/fu), kept inside (0, 1).
double NoisyEffect(double dose, const CCurve& curve, std::mt19937_64& rng) {
    std::normal_distribution<double> deviate(0.0, 0.12);
    const double y = std::clamp(curve.m * std::log10(dose / curve.dm) + deviate(rng), -2.69, 2.69);
    return 1.0 / (1.0 + std::pow(10.0, -y));
}

// Dose i of kPoints doses spread over two decades around the median dose.
double SpacedDose(const CCurve& curve, int i) {
    return curve.dm * std::pow(10.0, 2.0 * (static_cast<double>(i) / (kPoints - 1) - 0.5));
}

// Six drugs (ids 0..5) and their constant-ratio combination (id 6), mixed
// roughly in the ratio of their median doses, with a combination index of
// about 0.6 at fa 0.5. Analysis options: 40 effect levels, 32767 Monte Carlo
// iterations per level.
std::unique_ptr<CDoseplexDoc> SixDrugExperiment(int monteCarlo) {
    const std::array<CCurve, 6> curves{
        {{0.8, 1.1}, {2.5, 0.9}, {6.0, 1.6}, {15.0, 1.3}, {40.0, 2.1}, {1.2, 0.75}}};
    const std::array<double, 6> ratio{1.0, 3.0, 8.0, 20.0, 50.0, 2.0};
    const std::array<std::uint16_t, 6> ids{0, 1, 2, 3, 4, 5};
    std::mt19937_64 rng(kSeed);
    auto doc = std::make_unique<CDoseplexDoc>();
    double potency = 0.0; // sum of (r_k / r_0) / Dm_k
    for (size_t k = 0; k < curves.size(); ++k) {
        auto drug = std::make_unique<CDrugInfo>();
        drug->m_strName = "Drug" + std::to_string(k + 1);
        drug->m_strUnits = "uM";
        for (int i = 0; i < kPoints; ++i) {
            const double dose = SpacedDose(curves[k], i);
            drug->AddPoint(drug->CreatePoint(dose, NoisyEffect(dose, curves[k], rng), 1, nullptr));
        }
        doc->AddDrug(std::move(drug));
        potency += ratio[k] / ratio[0] / curves[k].dm;
    }
    auto mix = std::make_unique<CDrugInfo>();
    mix->m_strName = "Six-drug mix";
    mix->SetComponents(6, ids.data());
    mix->SetRatio(6, ratio.data());
    const CCurve mixCurve{0.6 / potency, 1.2};
    for (int i = 0; i < kPoints; ++i) {
        const double dose = SpacedDose(mixCurve, i);
        mix->AddPoint(mix->CreatePoint(dose, NoisyEffect(dose, mixCurve, rng), 6, ratio.data()));
    }
    doc->AddDrug(std::move(mix));

    CAnalysisOptions& options = doc->m_analysis;
    options.m_nMonteCarlo = monteCarlo;
    options.m_nReportRepeats = kRepeats;
    options.m_dEffectStart = 0.02;
    options.m_dEffectStep = 0.02;
    options.m_dEffectEnd = 0.98;
    doc->m_bOpenSummaryReport = 0;
    doc->m_nCurrentDrug = 6;
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
    ResetRandom();
    std::string text;
    for (auto _ : state) {
        text.clear();
        BuildReport(*doc, text);
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
            if (run.error_occurred) {
                continue;
            }
            const std::string& name = run.run_name.str();
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (median || single) {
                m_times[name] = run.GetAdjustedCPUTime();
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
    // Another output format asked for on the command line gets the library's
    // own reporter; the share line belongs to the console table only.
    bool console = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        constexpr std::string_view format = "--benchmark_format=";
        if (arg.starts_with(format) && arg.substr(format.size()) != "console") {
            console = false;
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    if (console) {
        CShareReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
    } else {
        benchmark::RunSpecifiedBenchmarks();
    }
    benchmark::Shutdown();
    return 0;
}

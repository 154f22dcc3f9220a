// Benchmarks of the analysis engine: the median-effect fit, the Monte Carlo
// error estimate of a combination index, one simulated dose measured against
// the floor of its own arithmetic, and the whole analysis of the largest file
// the "[start]" import accepts.
//
// Run:  build-bench/bench/doseplex_bench --benchmark_min_time=0.2
// With the console output (the default), a line after the table compares
// BM_SimulatedDose with BM_SimulatedDoseFloor; with --benchmark_repetitions
// it uses the medians.
#include "cli/analysis_json.h"
#include "core/document.h"
#include "core/drug_info.h"
#include "core/random.h"
#include "core/text_import.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <sstream>
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

// A copy of `value` the compiler cannot fold: a volatile read. Inputs of the
// timed code go through this; the in-out form of benchmark::DoNotOptimize is
// not used for them because GCC 12 with the installed library dropped the
// initial value of a variable passed to it (the timed code then read garbage).
double Opaque(double value) {
    volatile double source = value;
    return source;
}

// Every benchmark draws its data from its own generator with a fixed seed, so
// each run measures exactly the same numbers.
constexpr std::uint64_t kSeed = 0x5eed2024u;

// fa of `curve` at `dose`, with normal noise of standard deviation `noise` on
// log10(fa/fu). The logit is kept within +-2.69, so fa stays in [0.002, 0.998]
// and survives printing with six significant digits strictly inside (0, 1).
double NoisyEffect(double dose, const CCurve& curve, double noise, std::mt19937_64& rng) {
    std::normal_distribution<double> deviate(0.0, noise);
    const double y = std::clamp(curve.m * std::log10(dose / curve.dm) + deviate(rng), -2.69, 2.69);
    return 1.0 / (1.0 + std::pow(10.0, -y));
}

// Dose i of `count` doses spaced evenly on a log scale over `decades` decades
// centred on the median dose.
double SpacedDose(const CCurve& curve, int i, int count, double decades) {
    const double t = static_cast<double>(i) / static_cast<double>(count - 1);
    return curve.dm * std::pow(10.0, decades * (t - 0.5));
}

std::unique_ptr<CDrugInfo> SingleDrug(const CCurve& curve, int points, double noise,
                                      std::mt19937_64& rng) {
    auto record = std::make_unique<CDrugInfo>();
    record->m_strName = "Drug";
    record->m_strUnits = "uM";
    for (int i = 0; i < points; ++i) {
        const double dose = SpacedDose(curve, i, points, 2.0);
        record->AddPoint(
            record->CreatePoint(dose, NoisyEffect(dose, curve, noise, rng), 1, nullptr));
    }
    return record;
}

// A constant-ratio combination; `curve` is that of its first-component dose.
std::unique_ptr<CDrugInfo> Combination(const std::vector<std::uint16_t>& ids,
                                       const std::vector<double>& ratio, const CCurve& curve,
                                       int points, double noise, std::mt19937_64& rng) {
    const auto count = static_cast<std::uint16_t>(ids.size());
    auto record = std::make_unique<CDrugInfo>();
    record->m_strName = "Mix";
    record->m_strUnits = "uM";
    record->SetComponents(count, ids.data());
    record->SetConstantRatio(1);
    record->SetRatio(count, ratio.data());
    for (int i = 0; i < points; ++i) {
        const double dose = SpacedDose(curve, i, points, 2.0);
        record->AddPoint(
            record->CreatePoint(dose, NoisyEffect(dose, curve, noise, rng), count, ratio.data()));
    }
    return record;
}

// --- 1. The fit of one drug with 40 points -----------------------------------

constexpr CCurve kFortyPointCurve{3.0, 1.4};

void BM_Fit40(benchmark::State& state) {
    std::mt19937_64 rng(kSeed);
    const auto record = SingleDrug(kFortyPointCurve, 40, 0.15, rng);
    for (auto _ : state) {
        const bool ok = record->Fit();
        benchmark::DoNotOptimize(ok);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * record->PointCount());
}
BENCHMARK(BM_Fit40);

// --- 2. Monte Carlo CI of a six-drug constant-ratio combination --------------

constexpr int kMonteCarloIterations = 200;
constexpr int kSixDrugPoints = 7;

// Six drugs and their combination (ids 0..5, then 6), mixed roughly in the
// ratio of their median doses, with a combination index of about 0.6 at fa 0.5.
DrugList SixDrugCombination() {
    const std::array<CCurve, 6> curves{
        {{0.8, 1.1}, {2.5, 0.9}, {6.0, 1.6}, {15.0, 1.3}, {40.0, 2.1}, {1.2, 0.75}}};
    const std::vector<double> ratio{1.0, 3.0, 8.0, 20.0, 50.0, 2.0};
    std::mt19937_64 rng(kSeed);
    DrugList drugs;
    double potency = 0.0; // sum of (r_k / r_0) / Dm_k
    for (size_t k = 0; k < curves.size(); ++k) {
        drugs.push_back(SingleDrug(curves[k], kSixDrugPoints, 0.12, rng));
        potency += ratio[k] / ratio[0] / curves[k].dm;
    }
    const std::vector<std::uint16_t> ids{0, 1, 2, 3, 4, 5};
    drugs.push_back(Combination(ids, ratio, {0.6 / potency, 1.2}, kSixDrugPoints, 0.12, rng));
    return drugs;
}

void BM_MonteCarloCI_SixDrugs(benchmark::State& state) {
    const DrugList drugs = SixDrugCombination();
    const CDrugInfo& combination = *drugs.back();
    const double fa = Opaque(0.5);
    ResetRandom();
    double failures = 0.0;
    double mean = 0.0;
    double sd = 0.0;
    for (auto _ : state) {
        if (!combination.MonteCarloCI(kMonteCarloIterations, fa, drugs, mean, sd)) {
            failures += 1.0;
        }
        benchmark::DoNotOptimize(mean);
        benchmark::DoNotOptimize(sd);
    }
    // One simulated dose for the combination and one per component, per round.
    state.SetItemsProcessed(state.iterations() * kMonteCarloIterations *
                            (combination.m_nComponents + 1));
    state.counters["failed"] = failures;
    state.counters["ci_mean"] = mean;
}
BENCHMARK(BM_MonteCarloCI_SixDrugs);

// --- 3. One simulated dose against the floor of its arithmetic ----------------

// A simulated dose needs at least two normal deviates and one power; the floor
// measures exactly that, with operands the compiler cannot fold.
void BM_SimulatedDose(benchmark::State& state) {
    std::mt19937_64 rng(kSeed);
    const auto record = SingleDrug(kFortyPointCurve, 40, 0.15, rng);
    const double fa = Opaque(0.75);
    ResetRandom();
    for (auto _ : state) {
        double dose = 0.0;
        const bool ok = record->SimulatedDoseForEffect(fa, dose);
        const double result = dose;
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SimulatedDose);

void BM_SimulatedDoseFloor(benchmark::State& state) {
    const double base = Opaque(10.0);
    const double scale = Opaque(0.1);
    ResetRandom();
    for (auto _ : state) {
        const double z1 = NormalDeviate();
        const double z2 = NormalDeviate();
        const double value = std::pow(base, scale * z1 + z2);
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SimulatedDoseFloor);

// --- 4. Import and analysis of the largest "[start]" file ---------------------

constexpr int kSets = 20;
constexpr int kDrugsPerSet = 20;
constexpr int kDoses = 40;

void AppendNumber(std::string& text, double value) {
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.6g", value);
    text += buffer.data();
}

void AppendCurve(std::string& text, const CCurve& curve, std::mt19937_64& rng) {
    std::array<double, kDoses> doses{};
    for (int i = 0; i < kDoses; ++i) {
        doses[static_cast<size_t>(i)] = SpacedDose(curve, i, kDoses, 2.0);
        if (i > 0) {
            text += '\t';
        }
        AppendNumber(text, doses[static_cast<size_t>(i)]);
    }
    text += '\n';
    for (int i = 0; i < kDoses; ++i) {
        if (i > 0) {
            text += '\t';
        }
        AppendNumber(text, NoisyEffect(doses[static_cast<size_t>(i)], curve, 0.15, rng));
    }
    text += '\n';
}

// 20 sets of 20 drugs with 40 doses each, every set with its 20-drug
// combination in the ratio 1:1:...:1. Median doses span 0.1 to 100 uM, slopes
// 0.7 to 2.5; each combination has a combination index of 0.4 to 1.2 at fa 0.5.
std::string LargestImportText() {
    std::mt19937_64 rng(kSeed);
    std::uniform_real_distribution<double> logDm(-1.0, 2.0);
    std::uniform_real_distribution<double> slope(0.7, 2.5);
    std::uniform_real_distribution<double> ciAtMedian(0.4, 1.2);
    std::string text = "Benchmark data set\n[start]\t" + std::to_string(kSets) + "\n";
    for (int s = 0; s < kSets; ++s) {
        text += "Set" + std::to_string(s + 1) + "\t" + std::to_string(kDrugsPerSet) + "\t" +
                std::to_string(kDoses) + "\tuM";
        for (int d = 0; d < kDrugsPerSet; ++d) {
            text += "\t1";
        }
        text += '\n';
        double potency = 0.0; // sum of 1 / Dm_k
        for (int d = 0; d < kDrugsPerSet; ++d) {
            const CCurve curve{std::pow(10.0, logDm(rng)), slope(rng)};
            potency += 1.0 / curve.dm;
            text += "Drug" + std::to_string(d + 1) + "\n";
            AppendCurve(text, curve, rng);
        }
        const double ci = ciAtMedian(rng);
        text += "Mix\n";
        AppendCurve(text, {ci / potency, slope(rng)}, rng);
    }
    return text;
}

void BM_AnalyseLargestImport(benchmark::State& state) {
    static const std::string text = LargestImportText();
    const int monteCarlo = static_cast<int>(state.range(0));
    int records = 0;
    for (auto _ : state) {
        ResetRandom();
        CDoseplexDoc doc;
        std::istringstream in(text);
        CImportError error;
        if (!ImportText(in, doc, error)) {
            state.SkipWithError("the generated file was not imported");
            break;
        }
        doc.m_analysis.m_nMonteCarlo = monteCarlo;
        auto json = AnalysisJson(doc);
        benchmark::DoNotOptimize(json);
        records = doc.DrugCount();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
    state.counters["records"] = records;
}
BENCHMARK(BM_AnalyseLargestImport)
    ->ArgName("monte_carlo")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond);

// --- Console output with the simulated-dose ratio -----------------------------

// The console table as usual, followed by BM_SimulatedDose / BM_SimulatedDoseFloor
// (medians when the runs were repeated).
class CRatioReporter : public benchmark::ConsoleReporter {
public:
    CRatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& reports) override {
        ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            const std::string& name = run.run_name.function_name;
            if (run.error_occurred || (name != kDose && name != kFloor)) {
                continue;
            }
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (median || single) {
                m_times[name] = run.GetAdjustedRealTime();
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto dose = m_times.find(kDose);
        const auto floor = m_times.find(kFloor);
        if (dose == m_times.end() || floor == m_times.end() || floor->second <= 0.0) {
            return;
        }
        std::array<char, 200> line{};
        std::snprintf(line.data(), line.size(),
                      "\nSimulated dose / floor: %.2f ns / %.2f ns = %.2f (goal <= 1.50)\n",
                      dose->second, floor->second, dose->second / floor->second);
        GetOutputStream() << line.data();
    }

private:
    static constexpr std::string_view kDose = "BM_SimulatedDose";
    static constexpr std::string_view kFloor = "BM_SimulatedDoseFloor";
    std::map<std::string, double, std::less<>> m_times;
};

} // namespace

int main(int argc, char** argv) {
    // Another output format asked for on the command line gets the library's
    // own reporter; the ratio line belongs to the console table only.
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
        CRatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
    } else {
        benchmark::RunSpecifiedBenchmarks();
    }
    benchmark::Shutdown();
    return 0;
}

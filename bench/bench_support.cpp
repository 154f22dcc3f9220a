#include "bench/bench_support.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace doseplex::bench {

double NoisyEffect(double dose, const CCurve& curve, double noise, std::mt19937_64& rng) {
    std::normal_distribution<double> deviate(0.0, noise);
    const double y = std::clamp(curve.m * std::log10(dose / curve.dm) + deviate(rng), -2.69, 2.69);
    return 1.0 / (1.0 + std::pow(10.0, -y));
}

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

DrugList SixDrugCombination(int points) {
    constexpr double kNoise = 0.12;
    const std::array<CCurve, 6> curves{
        {{0.8, 1.1}, {2.5, 0.9}, {6.0, 1.6}, {15.0, 1.3}, {40.0, 2.1}, {1.2, 0.75}}};
    const std::vector<double> ratio{1.0, 3.0, 8.0, 20.0, 50.0, 2.0};
    std::mt19937_64 rng(kSeed);
    DrugList drugs;
    double potency = 0.0; // sum of (r_k / r_0) / Dm_k
    for (size_t k = 0; k < curves.size(); ++k) {
        drugs.push_back(SingleDrug(curves[k], points, kNoise, rng));
        potency += ratio[k] / ratio[0] / curves[k].dm;
    }
    const std::vector<std::uint16_t> ids{0, 1, 2, 3, 4, 5};
    drugs.push_back(Combination(ids, ratio, {0.6 / potency, 1.2}, points, kNoise, rng));
    return drugs;
}

bool IsSummaryRun(const benchmark::BenchmarkReporter::Run& run) {
    using Run = benchmark::BenchmarkReporter::Run;
    if (run.error_occurred) {
        return false;
    }
    const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
    return median || single;
}

int RunBenchmarks(int argc, char** argv, benchmark::BenchmarkReporter& console) {
    bool useConsole = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        constexpr std::string_view format = "--benchmark_format=";
        if (arg.starts_with(format) && arg.substr(format.size()) != "console") {
            useConsole = false;
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    if (useConsole) {
        benchmark::RunSpecifiedBenchmarks(&console);
    } else {
        benchmark::RunSpecifiedBenchmarks();
    }
    benchmark::Shutdown();
    return 0;
}

} // namespace doseplex::bench

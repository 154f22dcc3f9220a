#pragma once

// Pieces the benchmark programs share: dose-effect data generated from a
// fixed seed, and a main whose console table may end with a line of the
// program's own.

#include "core/drug_info.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace doseplex::bench {

// A median-effect curve: median dose and slope.
struct CCurve {
    double dm;
    double m;
};

// Every benchmark draws its data from its own generator with a fixed seed, so
// each run measures exactly the same numbers.
inline constexpr std::uint64_t kSeed = 0x5eed2024u;

// fa of `curve` at `dose`, with normal noise of standard deviation `noise` on
// log10(fa/fu). The logit is kept within +-2.69, so fa stays in [0.002, 0.998]
// and survives printing with six significant digits strictly inside (0, 1).
double NoisyEffect(double dose, const CCurve& curve, double noise, std::mt19937_64& rng);

// Dose i of `count` doses spaced evenly on a log scale over `decades` decades
// centred on the median dose.
double SpacedDose(const CCurve& curve, int i, int count, double decades);

// A drug named "Drug" in uM with `points` doses over two decades.
std::unique_ptr<CDrugInfo> SingleDrug(const CCurve& curve, int points, double noise,
                                      std::mt19937_64& rng);

// A constant-ratio combination named "Mix" in uM; `curve` is that of its
// first-component dose.
std::unique_ptr<CDrugInfo> Combination(const std::vector<std::uint16_t>& ids,
                                       const std::vector<double>& ratio, const CCurve& curve,
                                       int points, double noise, std::mt19937_64& rng);

// Six drugs and their combination (ids 0..5, then 6), `points` doses each
// with noise 0.12, mixed roughly in the ratio of their median doses, with a
// combination index of about 0.6 at fa 0.5.
DrugList SixDrugCombination(int points);

// True for the run whose time a reporter keeps: the median when the runs were
// repeated, else the only run; never a run that failed.
bool IsSummaryRun(const benchmark::BenchmarkReporter::Run& run);

// The whole of a benchmark program's main: runs the benchmarks the command
// line selects and reports them with `console`, unless another output format
// is asked for, which gets the library's own reporter (the extra line belongs
// to the console table only).
int RunBenchmarks(int argc, char** argv, benchmark::BenchmarkReporter& console);

} // namespace doseplex::bench

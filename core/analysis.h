#pragma once

// Everything the analysis says about one record, computed in one place and
// read by every output: reports, the summary table, the command line's JSON
// and the graphs.

#include "core/drug_info.h"
#include "core/options.h"
#include "core/run_control.h"

#include <array>
#include <optional>
#include <vector>

namespace doseplex {

class CRandom;

// A value that may not be computable.
using OptionalValue = std::optional<double>;

// The effect levels that tables tabulate, in order (see EffectLevelCount).
std::vector<double> EffectLevels(const CAnalysisOptions& options);

// The median-effect fit of a record.
struct CFitSummary {
    bool valid = false;
    double m = 0.0;
    double seM = 0.0;
    double yInt = 0.0;
    double seYInt = 0.0;
    double ccsi = 0.0;
    double r2 = 0.0;
    double r = 0.0;
    double dm = 0.0;
    double dmLower = 0.0;
    double dmUpper = 0.0;
};

// The dose that gives `fa` with its 95% limits (for a combination, the dose
// of its first component).
struct CDoseEstimate {
    double fa = 0.0;
    bool ok = false;
    double dose = 0.0;
    double lower = 0.0;
    double upper = 0.0;
};

// A measured point of a combination.
struct CPointAnalysis {
    double fa = 0.0;
    OptionalValue ci;               // mutually exclusive
    std::vector<OptionalValue> dx;  // (Dx)k from each component's own record
    std::vector<OptionalValue> dri; // per component
};

// A combination at one tabulated effect level.
struct CLevelAnalysis {
    double fa = 0.0;
    OptionalValue ci; // mutually exclusive
    // The algebraic estimate: the index as that formula computes it, and its s.d.
    bool estimated = false;
    double estimatedCi = 0.0;
    double sd = 0.0;
    OptionalValue dose;        // the combination's first-component dose
    std::vector<double> doses; // each component's dose; empty when unknown
    std::vector<OptionalValue> dx;
    std::vector<OptionalValue> dri;
    // Monte Carlo mean and s.d.: simulated only where requested and where
    // the index and the dose exist; `simulated` tells whether it was tried.
    bool simulated = false;
    OptionalValue mcMean;
    OptionalValue mcSd;
};

// The error band of the Fa-CI plot: lower and upper CI at each of the band's
// levels, empty when no band can be given.
struct CCIBand {
    static constexpr int kLevels = 20;
    // The effect level of entry k (0..19): 0.05, 0.10 .. 0.95, 0.99.
    static double Level(int k);

    bool monteCarlo = false; // simulated, or else the algebraic estimate
    std::vector<double> lower;
    std::vector<double> upper;
    bool Empty() const { return lower.size() != static_cast<size_t>(kLevels); }
};

// The mutually exclusive combination index at Effect1, Effect2 and Effect3.
std::array<OptionalValue, 3> SummaryCombinationIndices(const CDrugInfo& record,
                                                       const DrugList& drugs,
                                                       const CAnalysisOptions& options);

// The error band for `form`: simulated with `iterations` per level when above
// 0 (falling back to the algebraic band when a simulation fails), otherwise
// algebraic; the non-exclusive form has no algebraic band. Half-width
// `sdMultiple` standard deviations. Cancelled: returns false.
bool ComputeCIBand(const CDrugInfo& record, const DrugList& drugs, int iterations,
                   double sdMultiple, ECIForm form, CRandom& random, const CRunControl* control,
                   CCIBand& band);

// What to compute beyond the fit and the dose-effect table.
struct CAnalysisRequest {
    bool combination = true; // points, levels and summary indices of a combination
    bool monteCarlo = false; // simulate the levels (constant-ratio combinations only)
    int monteCarloIterations = 0;
    bool band = false;      // the Fa-CI plot's error band
    int bandIterations = 0; // 0: algebraic
    double bandSdMultiple = 0.0;

    // What reports and the command line show: everything but the band, with
    // the Monte Carlo option and ReportRepeats.
    static CAnalysisRequest ForReport(const CAnalysisOptions& options);
};

struct CAnalysisResult {
    bool combination = false;
    CFitSummary fit;
    std::vector<CDoseEstimate> doseEffect; // one per tabulated effect level
    // Combinations only:
    std::vector<CPointAnalysis> points;
    std::vector<CLevelAnalysis> levels;
    std::array<OptionalValue, 3> summaryCi{};
    CCIBand band;
    // Units of work this request takes (one per simulated level or band
    // level), for progress reports.
    static long long WorkUnits(const CDrugInfo& record, const CAnalysisOptions& options,
                               const CAnalysisRequest& request);
};

// Computes the result for `record` (which belongs to `drugs`). Draws from
// `random` only for what the request simulates, in level order; reads nothing
// but its arguments and writes nothing but `result`. With a run control,
// reports `done + units finished` of `total` and returns Cancelled once it is
// cancelled (`result` is then incomplete and must not be shown).
EBuildStatus AnalyseRecord(const CDrugInfo& record, const DrugList& drugs,
                           const CAnalysisOptions& options, const CAnalysisRequest& request,
                           CRandom& random, CAnalysisResult& result,
                           const CRunControl* control = nullptr, long long done = 0,
                           long long total = 0);

} // namespace doseplex

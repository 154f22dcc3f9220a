#include "core/analysis.h"

#include "core/random.h"

#include <cmath>

namespace doseplex {

namespace {

template <class F> OptionalValue IfComputed(F&& compute) {
    double value = 0.0;
    return compute(value) ? OptionalValue(value) : std::nullopt;
}

CFitSummary FitSummary(const CDrugInfo& record) {
    CFitSummary fit;
    fit.valid = record.GetAllParameters(fit.m, fit.seM, fit.dm, fit.dmLower, fit.dmUpper, fit.r,
                                        fit.ccsi, fit.yInt, fit.seYInt);
    fit.r2 = record.m_r2;
    return fit;
}

CDoseEstimate DoseEstimate(const CDrugInfo& record, double fa) {
    CDoseEstimate row;
    row.fa = fa;
    double logDose = 0.0;
    double se = 0.0;
    if (record.LogDoseForEffect(fa, logDose, se)) {
        row.ok = true;
        row.dose = std::pow(10.0, logDose);
        row.lower = std::pow(10.0, logDose - kLimitFactor * se);
        row.upper = std::pow(10.0, logDose + kLimitFactor * se);
    }
    return row;
}

// (Dx)k at fa from each component's own record.
std::vector<OptionalValue> DrugAloneDoses(const CDrugInfo& record, double fa,
                                          const DrugList& drugs) {
    std::vector<OptionalValue> doses;
    doses.reserve(record.m_nComponents);
    for (int k = 0; k < record.m_nComponents; ++k) {
        const CDrugInfo* component =
            static_cast<size_t>(k) < record.m_pComponents.size()
                ? FindDrug(drugs, record.m_pComponents[static_cast<size_t>(k)])
                : nullptr;
        doses.push_back(component
                            ? IfComputed([&](double& v) { return component->DoseForEffect(fa, v); })
                            : std::nullopt);
    }
    return doses;
}

CPointAnalysis PointAnalysis(const CDrugInfo& record, int j, const DrugList& drugs) {
    CPointAnalysis point;
    point.fa = record.PointEffect(j);
    point.ci = IfComputed([&](double& v) { return record.PointCombinationIndex(j, drugs, v); });
    point.dx = DrugAloneDoses(record, point.fa, drugs);
    for (int k = 0; k < record.m_nComponents; ++k) {
        point.dri.push_back(
            IfComputed([&](double& v) { return record.PointDoseReductionIndex(j, k, drugs, v); }));
    }
    return point;
}

CLevelAnalysis LevelAnalysis(const CDrugInfo& record, double fa, const DrugList& drugs) {
    CLevelAnalysis level;
    level.fa = fa;
    level.ci = IfComputed([&](double& v) { return record.CombinationIndex(fa, drugs, v); });
    level.estimated = record.CombinationIndexSD(fa, drugs, level.estimatedCi, level.sd);
    level.dose = IfComputed([&](double& v) { return record.DoseForEffect(fa, v); });
    const double* ratio = record.GetRatio(record.m_nComponents, 1);
    if (level.dose && ratio && ratio[0] != 0.0) {
        for (int k = 0; k < record.m_nComponents; ++k) {
            level.doses.push_back(*level.dose * ratio[k] / ratio[0]);
        }
    }
    level.dx = DrugAloneDoses(record, fa, drugs);
    for (int k = 0; k < record.m_nComponents; ++k) {
        level.dri.push_back(
            IfComputed([&](double& v) { return record.DoseReductionIndex(fa, k, drugs, v); }));
    }
    return level;
}

bool MonteCarloBand(const CDrugInfo& record, const DrugList& drugs, int iterations,
                    double sdMultiple, ECIForm form, CRandom& random, const CRunControl* control,
                    CCIBand& band) {
    std::vector<double> lower(CCIBand::kLevels);
    std::vector<double> upper(CCIBand::kLevels);
    for (int k = 0; k < CCIBand::kLevels; ++k) {
        double mean = 0.0;
        double sd = 0.0;
        if (!record.MonteCarloCI(iterations, CCIBand::Level(k), drugs, random, mean, sd, form,
                                 control)) {
            return false;
        }
        lower[static_cast<size_t>(k)] = mean - sd * sdMultiple;
        upper[static_cast<size_t>(k)] = mean + sd * sdMultiple;
    }
    band.monteCarlo = true;
    band.lower = std::move(lower);
    band.upper = std::move(upper);
    return true;
}

bool AlgebraicBand(const CDrugInfo& record, const DrugList& drugs, double sdMultiple, ECIForm form,
                   CCIBand& band) {
    // The algebraic estimate exists for the mutually exclusive form only.
    if (form != ECIForm::MutuallyExclusive) {
        return false;
    }
    std::vector<double> lower(CCIBand::kLevels);
    std::vector<double> upper(CCIBand::kLevels);
    for (int k = 0; k < CCIBand::kLevels; ++k) {
        double ci = 0.0;
        double sd = 0.0;
        if (!record.CombinationIndexSD(CCIBand::Level(k), drugs, ci, sd, form)) {
            return false;
        }
        lower[static_cast<size_t>(k)] = ci - sd * sdMultiple;
        upper[static_cast<size_t>(k)] = ci + sd * sdMultiple;
    }
    band.monteCarlo = false;
    band.lower = std::move(lower);
    band.upper = std::move(upper);
    return true;
}

} // namespace

std::vector<double> EffectLevels(const CAnalysisOptions& options) {
    const int count = EffectLevelCount(options);
    std::vector<double> levels;
    levels.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        levels.push_back(EffectLevel(options, i, count));
    }
    return levels;
}

double CCIBand::Level(int k) {
    if (k <= 0) {
        return 0.05;
    }
    if (k >= kLevels - 1) {
        return 0.99;
    }
    return 0.10 + static_cast<double>(k - 1) * 0.05;
}

std::array<OptionalValue, 3> SummaryCombinationIndices(const CDrugInfo& record,
                                                       const DrugList& drugs,
                                                       const CAnalysisOptions& options) {
    std::array<OptionalValue, 3> values;
    const double levels[] = {options.m_dEffect1, options.m_dEffect2, options.m_dEffect3};
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] =
            IfComputed([&](double& v) { return record.CombinationIndex(levels[i], drugs, v); });
    }
    return values;
}

bool ComputeCIBand(const CDrugInfo& record, const DrugList& drugs, int iterations,
                   double sdMultiple, ECIForm form, CRandom& random, const CRunControl* control,
                   CCIBand& band) {
    band = CCIBand();
    // A simulation that fails at any level gives way to the algebraic band.
    if (iterations > 0 &&
        MonteCarloBand(record, drugs, iterations, sdMultiple, form, random, control, band)) {
        return true;
    }
    if (IsCancelled(control)) {
        return false;
    }
    AlgebraicBand(record, drugs, sdMultiple, form, band);
    return true;
}

CAnalysisRequest CAnalysisRequest::ForReport(const CAnalysisOptions& options) {
    CAnalysisRequest request;
    request.monteCarlo = options.m_nMonteCarlo != 0;
    request.monteCarloIterations = options.m_nReportRepeats;
    return request;
}

long long CAnalysisResult::WorkUnits(const CDrugInfo& record, const CAnalysisOptions& options,
                                     const CAnalysisRequest& request) {
    if (!record.IsCombination() || !request.combination) {
        return 0;
    }
    long long units = 0;
    if (request.monteCarlo && record.m_bConstantRatio) {
        units += EffectLevelCount(options);
    }
    if (request.band) {
        units += CCIBand::kLevels;
    }
    return units;
}

EBuildStatus AnalyseRecord(const CDrugInfo& record, const DrugList& drugs,
                           const CAnalysisOptions& options, const CAnalysisRequest& request,
                           CRandom& random, CAnalysisResult& result, const CRunControl* control,
                           long long done, long long total) {
    result = CAnalysisResult();
    result.combination = record.IsCombination();
    result.fit = FitSummary(record);
    const std::vector<double> levels = EffectLevels(options);
    result.doseEffect.reserve(levels.size());
    for (const double fa : levels) {
        result.doseEffect.push_back(DoseEstimate(record, fa));
    }
    if (!result.combination || !request.combination) {
        return EBuildStatus::Built;
    }

    for (int j = 0; j < record.PointCount(); ++j) {
        result.points.push_back(PointAnalysis(record, j, drugs));
    }
    // Only a constant-ratio combination has a fit to simulate.
    const bool monteCarlo = request.monteCarlo && record.m_bConstantRatio != 0;
    for (const double fa : levels) {
        CLevelAnalysis level = LevelAnalysis(record, fa, drugs);
        if (monteCarlo && level.ci && level.dose) {
            level.simulated = true;
            double mean = 0.0;
            double sd = 0.0;
            if (record.MonteCarloCI(request.monteCarloIterations, fa, drugs, random, mean, sd,
                                    ECIForm::MutuallyExclusive, control)) {
                level.mcMean = mean;
                level.mcSd = sd;
            }
        }
        if (IsCancelled(control)) {
            return EBuildStatus::Cancelled;
        }
        if (monteCarlo && control) {
            control->Progress(++done, total);
        }
        result.levels.push_back(std::move(level));
    }
    result.summaryCi = SummaryCombinationIndices(record, drugs, options);

    if (request.band) {
        if (!ComputeCIBand(record, drugs, request.bandIterations, request.bandSdMultiple,
                           ECIForm::MutuallyExclusive, random, control, result.band)) {
            return EBuildStatus::Cancelled;
        }
        if (control) {
            control->Progress(done + CCIBand::kLevels, total);
        }
    }
    return EBuildStatus::Built;
}

} // namespace doseplex

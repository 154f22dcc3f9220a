#include "report/combination_report.h"

#include "core/document.h"
#include "report/report_text.h"

namespace doseplex {

using namespace report_text;

namespace {

// (Dx)_k at fa from component k's own record: fmt(4), or "ERR".
std::string DrugAloneCell(const CDrugInfo& record, int k, double fa, const DrugList& drugs) {
    const CDrugInfo* component = static_cast<size_t>(k) < record.m_pComponents.size()
                                     ? FindDrug(drugs, record.m_pComponents[static_cast<size_t>(k)])
                                     : nullptr;
    double dose = 0.0;
    if (!component || !component->DoseForEffect(fa, dose)) {
        return "ERR";
    }
    return Fmt(dose, 4);
}

// "DRI for experimental values" or "DRI Calculations" and their three
// heading lines.
void AppendDriHeadings(std::string& text, std::string_view title, int n, const std::string& names,
                       const std::string& units) {
    AppendLine(text, title);
    text += kLineEnd;
    AppendLine(text, {"\tDrug alone", std::string(static_cast<size_t>(n), '\t'),
                      "Dose Reduction Index (DRI)"});
    AppendLine(text, {"Fa\t", names, "\t", names});
    AppendLine(text, {"\t", units});
}

void AppendExperimentalCI(const CDoseplexDoc& doc, std::string& text, const CDrugInfo& record,
                          const std::string& names, const std::string& units) {
    AppendLine(text, "CI For experimental values");
    AppendLine(text, {names, "\tFa\tCI"});
    AppendLine(text, units);
    for (int j = 0; j < record.PointCount(); ++j) {
        // A point whose index cannot be computed keeps the TAB after its Fa.
        std::string line = record.DoseText(j, true, nullptr, -1);
        AppendCell(line, Fmt(record.PointEffect(j), -1));
        double ci = 0.0;
        AppendCell(line, record.PointCombinationIndex(j, doc.m_drugs, ci) ? Fmt(ci, 3) : "");
        AppendLine(text, line);
    }
}

void AppendCISimulations(const CDoseplexDoc& doc, std::string& text, const CDrugInfo& record,
                         const std::string& names, const std::string& units) {
    AppendShortRule(text);
    AppendLine(text, "CI Simulations");
    AppendLine(text, {"Fa\tCI\tEst. s.d.\t", names});
    AppendLine(text, {"\t\t\t", units});
    const int count = EffectLevelCount(doc.m_analysis);
    for (int i = 0; i < count; ++i) {
        const double fa = EffectLevel(doc.m_analysis, i, count);
        std::string line = Fmt(fa, 3);
        double ci = 0.0;
        double sd = 0.0;
        double dose = 0.0;
        if (record.CombinationIndexSD(fa, doc.m_drugs, ci, sd) && record.DoseForEffect(fa, dose)) {
            AppendCell(line, Fmt(ci, 3));
            AppendCell(line, Fmt(sd, 4));
            AppendCell(line, record.DoseTextFor(dose, true, nullptr, 5));
        } else {
            AppendCell(line, "Unable to calculate CI");
        }
        AppendLine(text, line);
    }
}

void AppendMonteCarlo(const CDoseplexDoc& doc, std::string& text, const CDrugInfo& record) {
    const int repeats = doc.m_analysis.m_nReportRepeats;
    AppendShortRule(text);
    AppendLine(text, "CI simulations with Monte Carlo simulations");
    // A whole count, never rounded into exponent form (32767 stays 32767).
    AppendLine(text, {Fix(repeats, 0), " iterations per point"});
    AppendLine(text, "Fa\tCI\tMean\ts.d.");
    const int count = EffectLevelCount(doc.m_analysis);
    for (int i = 0; i < count; ++i) {
        const double fa = EffectLevel(doc.m_analysis, i, count);
        std::string line = Fmt(fa, 3);
        double ci = 0.0;
        double dose = 0.0;
        double mean = 0.0;
        double sd = 0.0;
        if (!record.CombinationIndex(fa, doc.m_drugs, ci) || !record.DoseForEffect(fa, dose)) {
            AppendCell(line, "Unable to calculate CI");
        } else {
            AppendCell(line, Fmt(ci, 3));
            if (record.MonteCarloCI(repeats, fa, doc.m_drugs, mean, sd)) {
                AppendCell(line, Fmt(mean, 3));
                AppendCell(line, Fmt(sd, 4));
            } else {
                AppendCell(line, "MC Failed");
            }
        }
        AppendLine(text, line);
    }
}

// fa, then (Dx)_k of every component, then the DRI of every component from
// `dri` (k, value), or "ERR" where it fails.
template <class Dri>
std::string DriRow(const std::string& effect, double fa, const CDrugInfo& record,
                   const DrugList& drugs, Dri&& dri) {
    std::string line = effect;
    for (int k = 0; k < record.m_nComponents; ++k) {
        AppendCell(line, DrugAloneCell(record, k, fa, drugs));
    }
    for (int k = 0; k < record.m_nComponents; ++k) {
        double value = 0.0;
        AppendCell(line, dri(k, value) ? Fmt(value, 3) : "ERR");
    }
    return line;
}

void AppendDoseReduction(const CDoseplexDoc& doc, std::string& text, const CDrugInfo& record,
                         const std::string& names, const std::string& units) {
    const DrugList& drugs = doc.m_drugs;
    const int n = record.m_nComponents;
    AppendLongRule(text);
    AppendDriHeadings(text, "DRI for experimental values", n, names, units);
    for (int j = 0; j < record.PointCount(); ++j) {
        const double fa = record.PointEffect(j);
        AppendLine(text, DriRow(Fmt(fa, -1), fa, record, drugs, [&](int k, double& dri) {
                       return record.PointDoseReductionIndex(j, k, drugs, dri);
                   }));
    }
    if (!record.m_bConstantRatio) {
        return;
    }
    AppendShortRule(text);
    AppendDriHeadings(text, "DRI Calculations", n, names, units);
    const int count = EffectLevelCount(doc.m_analysis);
    for (int i = 0; i < count; ++i) {
        const double fa = EffectLevel(doc.m_analysis, i, count);
        AppendLine(text, DriRow(Fmt(fa, 3), fa, record, drugs, [&](int k, double& dri) {
                       return record.DoseReductionIndex(fa, k, drugs, dri);
                   }));
    }
}

} // namespace

void AppendCombinationSections(const CDoseplexDoc& doc, std::string& text, CDrugInfo& record) {
    record.m_bExclusive = 1;
    const std::string names = record.ComponentNamesText(doc.m_drugs, false);
    const std::string units = record.ComponentUnitsText(doc.m_drugs);

    AppendExperimentalCI(doc, text, record, names, units);
    // Only a constant-ratio combination has a fit, so only it can be judged
    // at chosen effect levels.
    if (record.m_bConstantRatio) {
        AppendCISimulations(doc, text, record, names, units);
        if (doc.m_analysis.m_nMonteCarlo) {
            AppendMonteCarlo(doc, text, record);
        }
    }
    if (doc.m_analysis.m_nDRI) {
        AppendDoseReduction(doc, text, record, names, units);
    }
    AppendLongRule(text);
}

} // namespace doseplex

#include "report/combination_report.h"

#include "core/analysis.h"
#include "core/document.h"
#include "report/report_text.h"

namespace doseplex {

using namespace report_text;

namespace {

// A value with `precision`, or `marker` where it could not be computed.
std::string Cell(const OptionalValue& value, int precision, const char* marker) {
    return value ? Fmt(*value, precision) : std::string(marker);
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

void AppendExperimentalCI(std::string& text, const CDrugInfo& record, const CAnalysisResult& result,
                          const std::string& names, const std::string& units) {
    AppendLine(text, "CI For experimental values");
    AppendLine(text, {names, "\tFa\tCI"});
    AppendLine(text, units);
    for (int j = 0; j < record.PointCount(); ++j) {
        const CPointAnalysis& point = result.points[static_cast<size_t>(j)];
        // A point whose index cannot be computed keeps the TAB after its Fa.
        std::string line = record.DoseText(j, true, nullptr, -1);
        AppendCell(line, Fmt(point.fa, -1));
        AppendCell(line, Cell(point.ci, 3, ""));
        AppendLine(text, line);
    }
}

void AppendCISimulations(std::string& text, const CDrugInfo& record, const CAnalysisResult& result,
                         const std::string& names, const std::string& units) {
    AppendShortRule(text);
    AppendLine(text, "CI Simulations");
    AppendLine(text, {"Fa\tCI\tEst. s.d.\t", names});
    AppendLine(text, {"\t\t\t", units});
    for (const CLevelAnalysis& level : result.levels) {
        std::string line = Fmt(level.fa, 3);
        if (level.estimated && level.dose) {
            AppendCell(line, Fmt(level.estimatedCi, 3));
            AppendCell(line, Fmt(level.sd, 4));
            AppendCell(line, record.DoseTextFor(*level.dose, true, nullptr, 5));
        } else {
            AppendCell(line, "Unable to calculate CI");
        }
        AppendLine(text, line);
    }
}

void AppendMonteCarlo(const CDoseplexDoc& doc, std::string& text, const CAnalysisResult& result) {
    AppendShortRule(text);
    AppendLine(text, "CI simulations with Monte Carlo simulations");
    // A whole count, never rounded into exponent form (32767 stays 32767).
    AppendLine(text, {Fix(doc.m_analysis.m_nReportRepeats, 0), " iterations per point"});
    AppendLine(text, "Fa\tCI\tMean\ts.d.");
    for (const CLevelAnalysis& level : result.levels) {
        std::string line = Fmt(level.fa, 3);
        if (!level.ci || !level.dose) {
            AppendCell(line, "Unable to calculate CI");
        } else {
            AppendCell(line, Fmt(*level.ci, 3));
            if (level.mcMean && level.mcSd) {
                AppendCell(line, Fmt(*level.mcMean, 3));
                AppendCell(line, Fmt(*level.mcSd, 4));
            } else {
                AppendCell(line, "MC Failed");
            }
        }
        AppendLine(text, line);
    }
}

// fa, then (Dx)k of every component, then the DRI of every component, or
// "ERR" where one cannot be computed.
std::string DriRow(const std::string& effect, const std::vector<OptionalValue>& dx,
                   const std::vector<OptionalValue>& dri) {
    std::string line = effect;
    for (const OptionalValue& value : dx) {
        AppendCell(line, Cell(value, 4, "ERR"));
    }
    for (const OptionalValue& value : dri) {
        AppendCell(line, Cell(value, 3, "ERR"));
    }
    return line;
}

void AppendDoseReduction(std::string& text, const CDrugInfo& record, const CAnalysisResult& result,
                         const std::string& names, const std::string& units) {
    const int n = record.m_nComponents;
    AppendLongRule(text);
    AppendDriHeadings(text, "DRI for experimental values", n, names, units);
    for (const CPointAnalysis& point : result.points) {
        AppendLine(text, DriRow(Fmt(point.fa, -1), point.dx, point.dri));
    }
    if (!record.m_bConstantRatio) {
        return;
    }
    AppendShortRule(text);
    AppendDriHeadings(text, "DRI Calculations", n, names, units);
    for (const CLevelAnalysis& level : result.levels) {
        AppendLine(text, DriRow(Fmt(level.fa, 3), level.dx, level.dri));
    }
}

} // namespace

void AppendCombinationSections(const CDoseplexDoc& doc, std::string& text, const CDrugInfo& record,
                               const CAnalysisResult& result) {
    const std::string names = record.ComponentNamesText(doc.m_drugs, false);
    const std::string units = record.ComponentUnitsText(doc.m_drugs);

    AppendExperimentalCI(text, record, result, names, units);
    // Only a constant-ratio combination has a fit, so only it can be judged
    // at chosen effect levels.
    if (record.m_bConstantRatio) {
        AppendCISimulations(text, record, result, names, units);
        if (doc.m_analysis.m_nMonteCarlo) {
            AppendMonteCarlo(doc, text, result);
        }
    }
    if (doc.m_analysis.m_nDRI) {
        AppendDoseReduction(text, record, result, names, units);
    }
    AppendLongRule(text);
}

} // namespace doseplex

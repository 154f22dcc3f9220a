#include "report/summary_report.h"

#include "core/analysis.h"
#include "core/document.h"
#include "report/combination_report.h"
#include "report/drug_report.h"
#include "report/report_text.h"

#include <vector>

namespace doseplex {

using namespace report_text;

namespace {

// The record itself, then its components in component order, as CollectDrugs
// gathers them (a missing component ends the list).
std::vector<const CDrugInfo*> Collection(const CDoseplexDoc& doc, const CDrugInfo& record) {
    std::vector<const CDrugInfo*> collection;
    record.CollectDrugs(doc.m_drugs, collection);
    return collection;
}

void BuildSummaryReport(const CDoseplexDoc& doc, std::string& text) {
    AppendReportHeader(doc, text);
    AppendSummaryTableHeader(doc, text);
    for (const auto& record : doc.m_drugs) {
        AppendSummaryRow(doc, text, *record);
    }
    AppendLongRule(text);
    for (const auto& record : doc.m_drugs) {
        AppendDrugSection(doc, text, *record);
    }
}

EBuildStatus BuildRecordReport(const CDoseplexDoc& doc, const CDrugInfo& record, CRandom& random,
                               std::string& text, const CRunControl* control) {
    const CAnalysisRequest request = CAnalysisRequest::ForReport(doc.m_analysis);
    const long long total = CAnalysisResult::WorkUnits(record, doc.m_analysis, request);
    CAnalysisResult result;
    if (AnalyseRecord(record, doc.m_drugs, doc.m_analysis, request, random, result, control, 0,
                      total) == EBuildStatus::Cancelled) {
        return EBuildStatus::Cancelled;
    }
    const std::vector<const CDrugInfo*> collection = Collection(doc, record);
    AppendReportHeader(doc, text);
    for (size_t i = 1; i < collection.size(); ++i) {
        AppendDrugSection(doc, text, *collection[i]);
    }
    AppendDrugSection(doc, text, record);
    if (!record.IsCombination()) {
        AppendDoseEffectTable(text, record, result);
    } else {
        if (doc.m_analysis.m_nEffectTable && record.m_bConstantRatio) {
            AppendDoseEffectTable(text, record, result);
        }
        AppendCombinationSections(doc, text, record, result);
    }
    AppendSummaryTableHeader(doc, text);
    for (const CDrugInfo* entry : collection) {
        AppendSummaryRow(doc, text, *entry);
    }
    return EBuildStatus::Built;
}

} // namespace

EBuildStatus BuildReport(const CDoseplexDoc& doc, const CBuildTarget& target, CRandom& random,
                         std::string& text, const CRunControl* control) {
    std::string report;
    if (target.summary) {
        BuildSummaryReport(doc, report);
    } else {
        const CDrugInfo* record = doc.GetDrug(target.drug);
        if (!record) {
            return EBuildStatus::Missing;
        }
        const EBuildStatus status = BuildRecordReport(doc, *record, random, report, control);
        if (status != EBuildStatus::Built) {
            return status;
        }
    }
    text += report;
    return EBuildStatus::Built;
}

CBuildTarget ReportTarget(const CDoseplexDoc& doc) {
    return doc.m_bOpenSummaryReport ? CBuildTarget::Summary()
                                    : CBuildTarget::Drug(doc.m_nCurrentDrug);
}

void AppendSummaryTableHeader(const CDoseplexDoc& doc, std::string& text) {
    const CAnalysisOptions& options = doc.m_analysis;
    AppendLine(text, "Summary table");
    AppendLine(text, "Drug\tCombination Index Values at");
    std::string line;
    for (const double effect : {options.m_dEffect1, options.m_dEffect2, options.m_dEffect3}) {
        AppendCell(line, "ED");
        line += Fmt(effect * 100.0, -1);
    }
    AppendLine(text, {line, "\tDm\tm\tr"});
}

void AppendSummaryRow(const CDoseplexDoc& doc, std::string& text, const CDrugInfo& record) {
    std::string line = record.m_strName;
    for (const OptionalValue& ci : SummaryCombinationIndices(record, doc.m_drugs, doc.m_analysis)) {
        AppendCell(line, ci ? Fmt(*ci, 5) : "N/A");
    }
    double m = 0.0, seM = 0.0, dm = 0.0, dmLower = 0.0, dmUpper = 0.0, r = 0.0;
    if (record.GetParameters(m, seM, dm, dmLower, dmUpper, r)) {
        AppendCell(line, Fmt(dm, 5));
        AppendCell(line, Fmt(m, 5));
        AppendCell(line, Fmt(r, 5));
    } else {
        AppendCell(line, "N/A");
    }
    AppendLine(text, line);
    AppendLine(text, {"(", record.RatioText(-1), ")"});
}

} // namespace doseplex

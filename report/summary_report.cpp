#include "report/summary_report.h"

#include "core/document.h"
#include "report/combination_report.h"
#include "report/drug_report.h"
#include "report/report_text.h"

#include <vector>

namespace doseplex {

using namespace report_text;

namespace {

// The record itself, then its components in component order, as CollectDrugs
// gathers them (a missing component ends the list), but writable: the
// summary rows set the combination index's working flag.
std::vector<CDrugInfo*> Collection(CDoseplexDoc& doc, CDrugInfo& record) {
    std::vector<CDrugInfo*> collection{&record};
    if (!record.IsCombination()) {
        return collection;
    }
    for (int k = 0; k < record.m_nComponents; ++k) {
        CDrugInfo* component = static_cast<size_t>(k) < record.m_pComponents.size()
                                   ? doc.GetDrug(record.m_pComponents[static_cast<size_t>(k)])
                                   : nullptr;
        if (!component) {
            break;
        }
        collection.push_back(component);
    }
    return collection;
}

void BuildSummaryReport(CDoseplexDoc& doc, std::string& text) {
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

void BuildRecordReport(CDoseplexDoc& doc, std::string& text, CDrugInfo& record) {
    const std::vector<CDrugInfo*> collection = Collection(doc, record);
    AppendReportHeader(doc, text);
    for (size_t i = 1; i < collection.size(); ++i) {
        AppendDrugSection(doc, text, *collection[i]);
    }
    AppendDrugSection(doc, text, record);
    if (!record.IsCombination()) {
        AppendDoseEffectTable(doc, text, record);
    } else {
        if (doc.m_analysis.m_nEffectTable && record.m_bConstantRatio) {
            AppendDoseEffectTable(doc, text, record);
        }
        AppendCombinationSections(doc, text, record);
    }
    AppendSummaryTableHeader(doc, text);
    for (CDrugInfo* entry : collection) {
        AppendSummaryRow(doc, text, *entry);
    }
}

} // namespace

bool BuildReport(CDoseplexDoc& doc, std::string& text) {
    if (doc.m_bOpenSummaryReport) {
        BuildSummaryReport(doc, text);
        return true;
    }
    CDrugInfo* record = doc.GetDrug(doc.m_nCurrentDrug);
    if (!record) {
        return false;
    }
    BuildRecordReport(doc, text, *record);
    return true;
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

void AppendSummaryRow(const CDoseplexDoc& doc, std::string& text, CDrugInfo& record) {
    const CAnalysisOptions& options = doc.m_analysis;
    record.m_bExclusive = 1;
    std::string line = record.m_strName;
    for (const double effect : {options.m_dEffect1, options.m_dEffect2, options.m_dEffect3}) {
        double ci = 0.0;
        AppendCell(line, record.CombinationIndex(effect, doc.m_drugs, ci) ? Fmt(ci, 5) : "N/A");
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

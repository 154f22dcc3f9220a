#include "report/drug_report.h"

#include "core/analysis.h"
#include "core/document.h"
#include "report/report_text.h"

namespace doseplex {

using namespace report_text;

void AppendReportHeader(const CDoseplexDoc& doc, std::string& text) {
    AppendLine(text, {"Title:       \t", doc.m_strTitle});
    if (!doc.m_strNotes.empty()) {
        AppendLine(text, doc.m_strNotes);
        text += kLineEnd;
    }
    AppendLine(text, {"Date:        \t", doc.m_strDate});
    AppendLine(text, {"Investigator:\t", doc.m_strInvestigator});
    AppendLine(text, {"Filename:    \t", doc.m_strPathName});
    AppendLongRule(text);
}

void AppendDrugSection(const CDoseplexDoc& doc, std::string& text, const CDrugInfo& record) {
    const std::string names = record.ComponentNamesText(doc.m_drugs, false);
    const std::string units = record.ComponentUnitsText(doc.m_drugs);

    AppendLine(text, {"Drug:\t", record.m_strName});
    if (!record.m_strComment.empty()) {
        AppendLine(text, {"Comment:\t", record.m_strComment});
    }
    if (record.IsCombination()) {
        AppendLine(text, {"Combination:\t", names});
        const std::string ratio =
            record.m_bConstantRatio ? record.RatioText(-1) : std::string("Non constant ratio");
        AppendLine(text, {"Ratio:\t", ratio});
    }
    text += kLineEnd;
    AppendLine(text, "Data points entered:");
    AppendLine(text, {names, "\tFraction affected"});
    AppendLine(text, units);
    for (int j = 0; j < record.PointCount(); ++j) {
        AppendLine(text,
                   {record.DoseText(j, true, nullptr, -1), "\t", Fmt(record.PointEffect(j), 4)});
    }

    double m = 0.0, seM = 0.0, dm = 0.0, dmLower = 0.0, dmUpper = 0.0, r = 0.0;
    double ccsi = 0.0, yInt = 0.0, seYInt = 0.0;
    if (record.GetAllParameters(m, seM, dm, dmLower, dmUpper, r, ccsi, yInt, seYInt)) {
        text += kLineEnd;
        AppendLine(text, "Median-effect parameters:");
        AppendLine(text, {"\t", names});
        AppendLine(text, {"\t", units});
        // A combination's Dm is that of its first component; the dose texts
        // split it by the ratio into one column per component.
        AppendLine(text, {"Dm:\t", record.DoseTextFor(dm, true, nullptr, 5)});
        AppendLine(text, {"lower 95%:\t", record.DoseTextFor(dmLower, true, nullptr, 5)});
        AppendLine(text, {"upper 95%:\t", record.DoseTextFor(dmUpper, true, nullptr, 5)});
        text += kLineEnd;
        AppendLine(text, {"m:\t", Fmt(m, 5), " +/- ", Fmt(seM, 6)});
        AppendLine(text, {"y-int:\t", Fmt(yInt, 5), " +/- ", Fmt(seYInt, 6)});
        AppendLine(text, {"r:\t", Fix(r, 5)});
        AppendLine(text, {"CCSI: \t", Fmt(ccsi, 5)});
    }
    AppendLongRule(text);
}

void AppendDoseEffectTable(std::string& text, const CDrugInfo& record,
                           const CAnalysisResult& result) {
    AppendLine(text, "Dose-effect table");
    AppendLine(text, record.IsCombination() ? "Fa\tDose(*)\tLower 95%\tUpper 95%"
                                            : "Fa\tDose\tLower 95%\tUpper 95%");
    for (const CDoseEstimate& row : result.doseEffect) {
        std::string line = Fmt(row.fa, 3);
        if (row.ok) {
            AppendCell(line, Fmt(row.dose, 5));
            AppendCell(line, Fmt(row.lower, 5));
            AppendCell(line, Fmt(row.upper, 5));
        } else {
            AppendCell(line, "ERR");
        }
        AppendLine(text, line);
    }
    if (record.IsCombination()) {
        AppendLine(text, "Note: Dose displayed is dose of first component only");
    }
    AppendLongRule(text);
}

} // namespace doseplex

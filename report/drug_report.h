#pragma once

// Text builders for one record: the experiment header, a drug's section (its
// points and median-effect parameters) and its dose-effect table. Each appends
// to `text` (UTF-8, CR LF line ends, TAB between columns) and changes nothing.

#include <string>

namespace doseplex {

class CDoseplexDoc;
class CDrugInfo;
struct CAnalysisResult;

// Title, notes (when present), date, investigator and file name, then the
// long rule.
void AppendReportHeader(const CDoseplexDoc& doc, std::string& text);

// The record's name, comment, components and ratio, its data points and, when
// the record has a valid fit, its median-effect parameters; then the long
// rule. `record` must belong to `doc`'s drug list.
void AppendDrugSection(const CDoseplexDoc& doc, std::string& text, const CDrugInfo& record);

// The dose (with its 95% limits) that reaches each tabulated effect level,
// from the record's analysis; "ERR" where the record cannot predict one. Ends
// with the long rule.
void AppendDoseEffectTable(std::string& text, const CDrugInfo& record,
                           const CAnalysisResult& result);

} // namespace doseplex

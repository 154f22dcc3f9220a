#pragma once

// Whole report texts: the summary report of the experiment and the report of
// one record, each with the summary table (one row pair per record: its
// combination index at three effect levels and its median-effect parameters).

#include <string>

namespace doseplex {

class CDoseplexDoc;
class CDrugInfo;

// Appends the report the document asks for: the summary report when
// m_bOpenSummaryReport is set, otherwise the report of the record at
// m_nCurrentDrug. Returns false, appending nothing, when that record does not
// exist. A combination's report draws from the program-wide generator when
// the MonteCarlo option is on.
bool BuildReport(CDoseplexDoc& doc, std::string& text);

// "Summary table", the "Drug" line and the column headings (ED50 ... for the
// options Effect1..Effect3, then Dm, m, r).
void AppendSummaryTableHeader(const CDoseplexDoc& doc, std::string& text);

// The record's values line (its combination index at Effect1..Effect3 and
// its Dm, m and r, "N/A" where they cannot be computed) and its ratio line.
// The indices are computed for mutually exclusive drugs (m_bExclusive is set
// to 1). `record` must belong to `doc`'s drug list.
void AppendSummaryRow(const CDoseplexDoc& doc, std::string& text, CDrugInfo& record);

} // namespace doseplex

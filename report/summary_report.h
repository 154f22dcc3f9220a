#pragma once

// Whole report texts: the summary report of the experiment and the report of
// one record, each with the summary table (one row pair per record: its
// combination index at three effect levels and its median-effect parameters).

#include "core/run_control.h"

#include <string>

namespace doseplex {

class CDoseplexDoc;
class CDrugInfo;
class CRandom;

// Appends the report of `target`: the summary report, or the report of one
// record. Returns Missing, appending nothing, when that record does not
// exist. A combination's report draws from `random` when the MonteCarlo
// option is on. Reads the document and changes nothing in it, so it may run
// on a worker thread while the window thread only reads the document too.
// With a run control it reports progress in simulated effect levels and
// returns Cancelled, appending nothing, once cancelled.
EBuildStatus BuildReport(const CDoseplexDoc& doc, const CBuildTarget& target, CRandom& random,
                         std::string& text, const CRunControl* control = nullptr);

// The target the document's hand-over fields name (m_bOpenSummaryReport,
// else m_nCurrentDrug), for windows opened through them.
CBuildTarget ReportTarget(const CDoseplexDoc& doc);

// "Summary table", the "Drug" line and the column headings (ED50 ... for the
// options Effect1..Effect3, then Dm, m, r).
void AppendSummaryTableHeader(const CDoseplexDoc& doc, std::string& text);

// The record's values line (its combination index at Effect1..Effect3 for
// mutually exclusive drugs and its Dm, m and r, "N/A" where they cannot be
// computed) and its ratio line. `record` must belong to `doc`'s drug list.
void AppendSummaryRow(const CDoseplexDoc& doc, std::string& text, const CDrugInfo& record);

} // namespace doseplex

#pragma once

// The combination sections of a report: the combination index of every
// experimental point, the index with its algebraic error at the tabulated
// effect levels, optionally its Monte Carlo simulation, and optionally the
// dose reduction indices.

#include <string>

namespace doseplex {

class CDoseplexDoc;
class CDrugInfo;
struct CAnalysisResult;

// Appends the sections for the combination `record` (which must belong to
// `doc`'s drug list) from its analysis `result` (computed with the report's
// request, so for mutually exclusive drugs and with the Monte Carlo levels
// the options ask for) and closes them with the long rule.
void AppendCombinationSections(const CDoseplexDoc& doc, std::string& text, const CDrugInfo& record,
                               const CAnalysisResult& result);

} // namespace doseplex

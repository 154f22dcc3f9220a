#pragma once

// The combination sections of a report: the combination index of every
// experimental point, the index with its algebraic error at the tabulated
// effect levels, optionally its Monte Carlo simulation, and optionally the
// dose reduction indices.

#include <string>

namespace doseplex {

class CDoseplexDoc;
class CDrugInfo;

// Appends the sections for the combination `record` (which must belong to
// `doc`'s drug list) and closes them with the long rule. Every index is
// computed for mutually exclusive drugs: the record's m_bExclusive is set to
// 1 first. With the MonteCarlo option on this draws from the program-wide
// generator.
void AppendCombinationSections(const CDoseplexDoc& doc, std::string& text, CDrugInfo& record);

} // namespace doseplex

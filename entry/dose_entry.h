#pragma once

// What the Drug Properties and Dose / Effect dialogs compute: the dose list
// lines, the rows of the dose table and the point that OK builds from it.

#include "core/drug_info.h"
#include "entry/result.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace doseplex::entry {

inline constexpr std::string_view kEffectRangeMessage =
    "The Effect must be greater than zero and less than one.";
inline constexpr std::string_view kDoseInvalidMessage =
    "The dose data is not valid - all doses must be greater than zero.";

// One line of the Drug Properties dose list: the dose with "%g", a TAB and
// the effect with "%.04f" ("2.5\t0.5000").
std::string DoseListLine(const CDoseData& point);

// True when the Drug Properties preview can show the median-effect plot:
// the record has at least two points of different doses.
bool HasTwoDistinctDoses(const CDrugInfo& record);

// A point's ratio from the doses given for each component in one row:
// entry k is dose k / dose 1, then every entry is divided by the smallest
// (when that is above 0) so that the smallest entry is 1. Doses 2 and 1 give
// 2 : 1; doses 1 and 4 give 1 : 4.
std::vector<double> RatioFromDoses(const std::vector<double>& doses);

// How many dose rows the Dose / Effect table shows: one per component for a
// combination without a constant ratio, otherwise one.
int DoseEntryRowCount(const CDrugInfo& record);

// The row headings: the record's name for a single drug, the first
// component's name for a constant-ratio combination, otherwise every
// component's name ("NK" for a component that has no record).
std::vector<std::string> DoseEntryRowLabels(const CDrugInfo& record, const DrugList& drugs);

// The cell texts ("%.13g") the table opens with for an existing point: its
// dose, and for a combination without a constant ratio each further
// component's dose from the point's own ratio (left empty when the ratio's
// first entry is 0). A new point (null) opens with empty cells.
std::vector<std::string> DoseEntryCells(const CDrugInfo& record, const CDoseData* point);

// OK of the Dose / Effect dialog: checks the effect (strictly between 0 and 1,
// else kEffectRangeMessage) and every shown dose cell (a number above 0, else
// kDoseInvalidMessage), then builds the point: a new one when `edited` is
// null, otherwise a copy of `edited` with the new values. For a combination
// without a constant ratio the point's ratio comes from the row's doses. A
// new point of a constant-ratio combination whose record has no ratio cannot
// be built: the result is then a null point, with no message.
CResult<std::unique_ptr<CDoseData>> BuildDoseEntryPoint(const CDrugInfo& record,
                                                        const CDoseData* edited,
                                                        const std::vector<std::string>& doseCells,
                                                        std::string_view effectText);

} // namespace doseplex::entry

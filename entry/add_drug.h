#pragma once

// The checks and the Finish of the Add Drug Wizard: a drug or combination
// record built from columns of the raw-data sheet.

#include "core/drug_info.h"
#include "core/raw_sheet.h"
#include "entry/result.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace doseplex::entry {

inline constexpr std::string_view kNoDrugNameMessage = "Please enter a name for your Drug.";
inline constexpr std::string_view kTooFewDrugsMessage =
    "There are less than two drugs in existence. Please add a non-combination drug or cancel "
    "the wizard.";
inline constexpr std::string_view kSelectTwoDrugsMessage =
    "Please select 2 or more drugs for your combination.";
inline constexpr std::string_view kTooManyDrugsMessage =
    "You cannot create a combination with more that 6 drugs using the wizard.";
inline constexpr std::string_view kPointValuesMessage =
    "There was an error adding dose data to the drug. \nDoses must be > 0, Effects must be >0 "
    "and <1. \nPlease check your data and try again.";
inline constexpr std::string_view kPointRefusedMessage =
    "There was an error adding dose data to the drug.";
inline constexpr std::string_view kCombinationRatioMessage =
    "There was an error adding dose data to the Combination. \nThis problem was with the drug "
    "ratios\nPlease recheck your ratios and try again.";

inline constexpr int kMaxWizardDrugs = 6;

// Next on the name page: the name must not be empty (blanks are a name), and
// a combination needs at least two drugs in the experiment.
CStatus CheckDrugNamePage(std::string_view name, bool single, int drugsInExperiment);

// Next on the drugs page: 2 to 6 drugs selected.
CStatus CheckDrugSelection(int selectedCount);

// What the wizard's pages collected.
struct CAddDrugRequest {
    std::string m_strName;
    std::string m_strComment;
    std::string m_strUnits;
    bool m_bSingle = true;
    // Combination: positions of the selected drugs in the drug list, in list
    // order; the ratio parsed from the ratio text (ParseRatioText) when the
    // ratio is constant.
    std::vector<std::uint16_t> m_positions;
    bool m_bConstantRatio = true;
    std::vector<double> m_ratio;
    // Range texts ("A2..A9"): the effects, and the doses of each drug row.
    std::string m_strEffectRange;
    std::array<std::string, kMaxWizardDrugs> m_doseRanges;
};

// The label of dose row `row` (1 to 6) of the data page: the drug's own name
// for a single drug, else the name of the selected drug at that place.
std::string DoseRowLabel(const CAddDrugRequest& request, const DrugList& drugs, int row);

// How many dose rows the data page shows: one, or one per drug for a
// combination without a constant ratio.
int DoseRowCount(const CAddDrugRequest& request);

// Finish: a new record with the name, comment and units, for a combination
// its components, ratio and constant-ratio flag, and one point per row of the
// ranges (as many as the shortest range has rows). The effect range and the
// dose ranges are checked first, each with its own label. Every cell must
// hold a number: doses above 0, effects strictly between 0 and 1. A
// combination without a constant ratio takes each row's first dose as the
// point's dose and the row's doses for the point's ratio, normalised as the
// Dose / Effect dialog does it. On failure no record comes back, only the
// message.
CResult<std::unique_ptr<CDrugInfo>>
BuildDrugFromSheet(const CAddDrugRequest& request, const DrugList& drugs, const CRawSheet& sheet);

} // namespace doseplex::entry

#pragma once

// Mixing ratios as the user types them ("1:2:3") in the Add Drug Wizard and
// the Drug Selection dialog.

#include "entry/result.h"

#include <string>
#include <string_view>
#include <vector>

namespace doseplex::entry {

inline constexpr std::string_view kRatioFormatMessage =
    "Ratio must be entered in the format n : n : n (spacing optional).  No zero values are "
    "allowed.";

// The first `count` pieces of a ratio text, separated by ":". Each piece must
// be a number greater than 0 (blanks around it allowed); pieces beyond the
// `count`-th are ignored, so "1:2:3:4" gives 1, 2, 3 for three drugs. Too few
// pieces, an empty piece, a word, 0 or a negative number fail with
// kRatioFormatMessage.
CResult<std::vector<double>> ParseRatioText(std::string_view text, int count);

// OK of the Drug Selection dialog with a constant ratio: every entry must be
// greater than 0, else kRatioFormatMessage.
CStatus CheckRatioEntries(const std::vector<double>& ratio);

// The wizard's starting ratio for `count` selected drugs: "1:1" for two.
std::string DefaultRatioText(int count);

// Ratio entries as the Drug Selection dialog shows them: "%g" joined by ": ".
std::string RatioEntriesText(const std::vector<double>& ratio);

// Names of selected drugs joined as the wizard's "Drugs selected" shows them.
std::string SelectedDrugsText(const std::vector<std::string>& names);

} // namespace doseplex::entry

#pragma once

// Numbers typed into cells and edits, read back the same way everywhere.

#include <optional>
#include <string>
#include <string_view>

namespace doseplex::entry {

// The value of a text that is a plain decimal number once blanks around it
// are dropped ("2.5", " -3 ", "1e-3"); nothing for anything else: empty
// texts, words, "5 mg", "1,5", hexadecimal, infinity and NaN, or a number too
// large for a double.
std::optional<double> ParseNumberText(std::string_view text);

// A cell's value as the wizard reads doses and effects: its number, or 0 when
// the cell holds no number (so the range tests refuse it).
double CellNumber(std::string_view text);

// A number as a cell text: "%.13g", the form the Dose / Effect table shows.
std::string DoseCellText(double value);

// The shortest text that reads back as exactly `value` ("0.1", "12", "1e+20").
std::string ShortestNumberText(double value);

} // namespace doseplex::entry

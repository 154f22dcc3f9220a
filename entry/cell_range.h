#pragma once

// Cell positions and ranges of the raw-data sheet, their text references
// ("A1..A12") and the check the Add Drug Wizard makes on a one-column range.

#include "entry/result.h"

#include <optional>
#include <string>
#include <string_view>

namespace doseplex::entry {

// A cell, rows and columns numbered from 1 (column A is 1).
struct CCellPosition {
    int m_nRow = 1;
    int m_nColumn = 1;
    bool operator==(const CCellPosition&) const = default;
};

// A rectangle of cells, both corners included, top <= bottom and left <= right.
struct CCellRange {
    int m_nTop = 1;
    int m_nLeft = 1;
    int m_nBottom = 1;
    int m_nRight = 1;

    int RowCount() const { return m_nBottom - m_nTop + 1; }
    int ColumnCount() const { return m_nRight - m_nLeft + 1; }
    bool operator==(const CCellRange&) const = default;
};

// Column letters: 1 is "A", 26 "Z", 27 "AA". Empty for a column below 1.
std::string ColumnName(int column);

// "B7" and the like; empty for a position with a row or column below 1.
std::string CellName(const CCellPosition& cell);

// A cell reference of 1 or 2 letters (either case) and 1 to 4 digits, nothing
// else: "a1", "AB1000", "Z0" (row 0 passes: the reference form allows it).
std::optional<CCellPosition> ParseCellName(std::string_view text);

// "A1..B12": two cell references joined by "..". The corners may come in any
// order; the result spans both. Nothing else is accepted.
std::optional<CCellRange> ParseRangeReference(std::string_view text);

// The reference text of a range: "A1..A12", also for a single cell ("C3..C3").
std::string RangeReference(const CCellRange& range);

// The messages of the range check; `label` is "Effect" or the drug's name.
std::string RangeFormatMessage(std::string_view label);
std::string RangeOneColumnMessage(std::string_view label);
std::string RangeTwoPointsMessage(std::string_view label);

// The wizard's check of a data range: a reference of the form above, one
// column wide and at least two rows tall. Rows beyond the sheet pass; their
// cells read as empty.
CResult<CCellRange> CheckDataRange(std::string_view text, std::string_view label);

// Where an import starts: the current cell, or A1 when there is none.
CCellPosition ImportOrigin(const std::optional<CCellPosition>& current);

} // namespace doseplex::entry

#include "entry/cell_range.h"

#include <algorithm>

namespace doseplex::entry {

namespace {

bool IsLetter(char ch) {
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

bool IsDigit(char ch) {
    return ch >= '0' && ch <= '9';
}

int LetterValue(char ch) {
    return (ch >= 'a' ? ch - 'a' : ch - 'A') + 1;
}

constexpr std::string_view kRangeSeparator = "..";

} // namespace

std::string ColumnName(int column) {
    std::string name;
    while (column > 0) {
        const int digit = (column - 1) % 26;
        name.insert(name.begin(), static_cast<char>('A' + digit));
        column = (column - 1) / 26;
    }
    return name;
}

std::string CellName(const CCellPosition& cell) {
    if (cell.m_nRow < 1 || cell.m_nColumn < 1) {
        return {};
    }
    return ColumnName(cell.m_nColumn) + std::to_string(cell.m_nRow);
}

std::optional<CCellPosition> ParseCellName(std::string_view text) {
    std::size_t letters = 0;
    while (letters < text.size() && IsLetter(text[letters])) {
        ++letters;
    }
    const std::size_t digits = text.size() - letters;
    if (letters < 1 || letters > 2 || digits < 1 || digits > 4 ||
        !std::all_of(text.begin() + static_cast<std::ptrdiff_t>(letters), text.end(), IsDigit)) {
        return std::nullopt;
    }
    CCellPosition cell{0, 0};
    for (std::size_t i = 0; i < letters; ++i) {
        cell.m_nColumn = cell.m_nColumn * 26 + LetterValue(text[i]);
    }
    for (std::size_t i = letters; i < text.size(); ++i) {
        cell.m_nRow = cell.m_nRow * 10 + (text[i] - '0');
    }
    return cell;
}

std::optional<CCellRange> ParseRangeReference(std::string_view text) {
    const std::size_t separator = text.find(kRangeSeparator);
    if (separator == std::string_view::npos) {
        return std::nullopt;
    }
    const auto first = ParseCellName(text.substr(0, separator));
    const auto second = ParseCellName(text.substr(separator + kRangeSeparator.size()));
    if (!first || !second) {
        return std::nullopt;
    }
    return CCellRange{
        std::min(first->m_nRow, second->m_nRow), std::min(first->m_nColumn, second->m_nColumn),
        std::max(first->m_nRow, second->m_nRow), std::max(first->m_nColumn, second->m_nColumn)};
}

std::string RangeReference(const CCellRange& range) {
    return CellName({range.m_nTop, range.m_nLeft}) + std::string(kRangeSeparator) +
           CellName({range.m_nBottom, range.m_nRight});
}

std::string RangeFormatMessage(std::string_view label) {
    return "Error with " + std::string(label) + " range (format should be $$nn..$$nn)";
}

std::string RangeOneColumnMessage(std::string_view label) {
    return RangeFormatMessage(label) +
           " \nThe data must be arranged in columns and can only be 1 column wide";
}

std::string RangeTwoPointsMessage(std::string_view label) {
    return RangeFormatMessage(label) +
           " \nThe data must be arranged in columns and there must be at least 2 data points";
}

CResult<CCellRange> CheckDataRange(std::string_view text, std::string_view label) {
    const auto range = ParseRangeReference(text);
    if (!range) {
        return CStatus::Fail(RangeFormatMessage(label));
    }
    if (range->m_nLeft != range->m_nRight) {
        return CStatus::Fail(RangeOneColumnMessage(label));
    }
    if (range->RowCount() < 2) {
        return CStatus::Fail(RangeTwoPointsMessage(label));
    }
    return *range;
}

CCellPosition ImportOrigin(const std::optional<CCellPosition>& current) {
    if (current) {
        return *current;
    }
    return CCellPosition{};
}

} // namespace doseplex::entry

#pragma once

// A worksheet read from a workbook file, before any of it goes into the
// raw-data sheet: every cell's value as text.

#include <map>
#include <string>
#include <utility>

namespace doseplex::entry {

struct CSheetData {
    // The sheet's size as the workbook gives it (rows and columns from 1).
    int m_nRows = 0;
    int m_nColumns = 0;
    // Cells that hold a value, by (row, column); UTF-8.
    std::map<std::pair<int, int>, std::string> m_cells;

    // The cell's text; empty when it holds nothing.
    std::string Text(int row, int column) const {
        const auto found = m_cells.find({row, column});
        return found == m_cells.end() ? std::string() : found->second;
    }
};

} // namespace doseplex::entry

#pragma once

#include <string>
#include <vector>

namespace doseplex {

// One cell of an exported table. Texts are UTF-8.
struct CTableCell {
    std::string m_strText;
    bool m_bBold = false;
    bool m_bBorder = false; // thin border on all four sides
};

// A rectangular sheet of cells for export: rows of cells (rows may be shorter
// than others; missing cells are empty), a font size for every cell, and
// optional column widths in pixels (0 or missing: the writer's default).
struct CTable {
    std::vector<std::vector<CTableCell>> m_rows;
    std::vector<int> m_columnWidthsPx;
    int m_nFontPoints = 10;
    std::string m_strSheetName = "Sheet1";
};

// True when the whole text is a decimal number (as printed by the report
// formatter: "12.5", "-3", "1.23e+04"); such cells are written as numbers.
bool CellTextIsNumber(const std::string& text, double& value);

// Write the table as an Excel 97 workbook (.xls, BIFF8) or an Office Open XML
// workbook (.xlsx). The file is written to a temporary file beside `path` and
// renamed over it only when complete. On failure `error` says why.
bool WriteXls(const CTable& table, const std::string& path, std::string& error);
bool WriteXlsx(const CTable& table, const std::string& path, std::string& error);

} // namespace doseplex

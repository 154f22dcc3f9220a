#pragma once

// The summary table as the summary table window shows it, and its exports.

#include "report/table.h"

#include <string>

namespace doseplex {

class CDoseplexDoc;

// The summary table of the whole experiment as a grid: the table part of the
// summary report, one report line per row and one TAB-separated field per
// column. Row 0 is empty, row 1 holds "Summary table", rows 2 and 3 the bold
// headings ("Drug", "CI Values at"; then ED.., Dm, m, r), then two rows per
// record. At least 7 columns, every row as wide as the widest; every cell
// bordered, 10-point; the first column 125 pixels wide.
CTable BuildSummaryTable(const CDoseplexDoc& doc);

// Every row of the table up to its last used column (the same number of TABs
// on every row), each row followed by CR LF. UTF-8, like the cells.
std::string TabDelimitedText(const CTable& table);

enum class ETableFormat { None, Text, Xls, Xlsx };

// The export format named by the file's extension (.txt, .xls, .xlsx; any
// case), or None.
ETableFormat TableFormatForPath(const std::string& path);

// Writes the table in the format its extension names: tab-delimited 8-bit
// text (Windows-1252 where every character has a byte there), an Excel 97
// workbook or an Office Open XML workbook. Any other extension writes
// nothing and fails. A file is replaced only once its new contents are
// complete. On failure `error` says why.
bool ExportTable(const CTable& table, const std::string& path, std::string& error);

} // namespace doseplex

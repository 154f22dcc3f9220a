#pragma once

// Filling the raw-data sheet from text files, workbook selections and
// database rows, and writing it out as text. Every import starts at an origin
// cell (the current cell, or A1) and stops where the sheet ends.

#include "core/raw_sheet.h"
#include "entry/cell_range.h"
#include "entry/result.h"
#include "entry/sheet_data.h"

#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace doseplex::entry {

inline constexpr std::string_view kImportOpenMessage = "Error opening file to import.";
// OK of the workbook selection with nothing selected.
inline constexpr std::string_view kNoImportAreaMessage = "Please select an area of data to import";
inline constexpr std::string_view kUnknownFileTypeMessage =
    "DosePlex cannot read or write files of this type. Please choose a tab-delimited text file "
    "(.txt), an Excel 97 workbook (.xls) or an Excel workbook (.xlsx).";

// What a file is taken for, by its extension compared exactly: "txt", "xls"
// and "xlsx". "DATA.TXT" is of no known kind.
enum class ESheetFileKind { Text, Xls, Xlsx, Unknown };
ESheetFileKind SheetFileKind(std::string_view path);

// Tab-delimited text into the sheet from `origin`: a TAB moves to the next
// column, a line end (LF, CR or CR LF) to the first column of the next row.
// Each field is written with the blanks around it dropped, also when it is
// empty, so two TABs in a row empty the cell between them. The field written
// in column 50 is the last of its line (the rest of the line is dropped), the
// field written in row 1000 the last of the import. Text is 8-bit (UTF-8 kept,
// anything else read as Windows-1252).
void ImportSheetText(std::istream& in, CRawSheet& sheet, CCellPosition origin);
// The same from a file; kImportOpenMessage when it cannot be read, and the
// sheet is then unchanged.
CStatus ImportSheetTextFile(const std::string& path, CRawSheet& sheet, CCellPosition origin);

// The whole sheet as text: rows 1 to 1000 of columns 1 to 50, cells joined by
// TAB, each row ended by CR LF, 8-bit (Windows-1252 where it can be).
std::string SheetText(const CRawSheet& sheet);
// Writes SheetText to `path` (replacing the file only once it is complete);
// on failure the message says why.
CStatus ExportSheetTextFile(const CRawSheet& sheet, const std::string& path);

// The cells of `range` of a workbook sheet copied to `origin` and on, row by
// row. A cell that would land in row 1000 or column 50 ends the copy before
// it is written.
void ImportCellRange(CRawSheet& sheet, CCellPosition origin, const CSheetData& source,
                     const CCellRange& range);

// A database row as the ODBC import hands it on: every value followed by a
// TAB and a blank. A TAB inside a value becomes a blank, so that it cannot
// shift the values after it into other columns.
std::string OdbcRowText(const std::vector<std::string>& values);

// Rows of OdbcRowText into the sheet from `origin`: `fieldCount` values per
// row, each the row's text up to its next TAB (so every value after the first
// keeps its leading blank). A value that would land in row 1000 or column 50
// ends the import before it is written. No rows change nothing.
void ImportOdbcRows(CRawSheet& sheet, CCellPosition origin, int fieldCount,
                    const std::vector<std::string>& rowTexts);

} // namespace doseplex::entry

#pragma once

// Excel workbooks as sources and destinations of the raw-data sheet: the
// first worksheet of an Excel 97 (.xls, read with FreeXL) or Office Open XML
// (.xlsx) workbook read as cell texts, and the sheet written as either kind.
// Nothing here names a type of the libraries behind it.

#include "core/raw_sheet.h"
#include "entry/result.h"
#include "entry/sheet_data.h"

#include <string>

namespace doseplex::entry {

// The first worksheet's cells as texts: texts as they are, numbers in the
// shortest form that reads back as the same number ("0.1", "12"), booleans
// as TRUE and FALSE, dates and times as FreeXL or the workbook gives them.
// Failures name the file and say why.
CResult<CSheetData> ReadXlsWorkbook(const std::string& path);
CResult<CSheetData> ReadXlsxWorkbook(const std::string& path);
// By the extension, "xls" or "xlsx" exactly; any other is refused.
CResult<CSheetData> ReadWorkbook(const std::string& path);

// The used part of the sheet (from A1) as a workbook of one worksheet. Cell
// texts that are plain numbers are stored as numbers. The .xls file carries
// bold, a thin frame for cells with any border and the column widths; the
// .xlsx file carries every style field, the column widths and the row
// heights. The file is replaced only once it is complete.
CStatus WriteXlsWorkbook(const CRawSheet& sheet, const std::string& path);
CStatus WriteXlsxWorkbook(const CRawSheet& sheet, const std::string& path);

// Export of the raw-data sheet by the file's extension, compared exactly:
// tab-delimited text for "txt", a workbook for "xls" and "xlsx". Any other
// extension writes nothing and says so (kUnknownFileTypeMessage).
CStatus ExportSheetFile(const CRawSheet& sheet, const std::string& path);

} // namespace doseplex::entry

#pragma once

// Cut, copy and paste of raw-sheet cells as tab-separated text, the form
// spreadsheet programs put on the clipboard.

#include "core/raw_sheet.h"
#include "entry/cell_range.h"

#include <optional>
#include <string>
#include <string_view>

namespace doseplex::entry {

// The texts of `range` (clipped to the sheet): cells joined by TAB, every row
// ended by CR LF. A text holding a TAB, a line break or a double quote is
// enclosed in double quotes, its quotes doubled, as spreadsheet programs do.
std::string CopyRangeText(const CRawSheet& sheet, const CCellRange& range);

// Puts tab-separated text into the sheet from `origin`: a TAB moves to the
// next column, a line end (LF, CR LF or CR) to the next row; a line end at the
// very end ends the text. Fields in double quotes may hold TABs, line breaks
// and doubled quotes. Texts are taken as they are (UTF-8 kept, other bytes
// read as Windows-1252); styles stay. Cells that would fall outside the sheet
// are dropped. The result is the range written, or nothing for an empty text.
std::optional<CCellRange> PasteText(CRawSheet& sheet, CCellPosition origin, std::string_view text);

// Empties the texts of `range`, keeping the styles (Clear Cells).
void ClearRangeTexts(CRawSheet& sheet, const CCellRange& range);

// Gives every cell of `range` the style `style`, keeping the texts.
void ApplyRangeStyle(CRawSheet& sheet, const CCellRange& range, const CCellStyle& style);

} // namespace doseplex::entry

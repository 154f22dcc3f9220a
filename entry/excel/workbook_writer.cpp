// The raw-data sheet as an Excel 97 workbook (through the report's BIFF8
// writer) or as an Office Open XML workbook (through libxlsxwriter, with
// every cell style).

#include "core/file_io.h"
#include "entry/excel/workbook_file.h"
#include "entry/number_text.h"
#include "entry/sheet_import.h"
#include "report/table.h"

#include <xlsxwriter.h>

#include <utility>
#include <vector>

namespace doseplex::entry {

namespace {

bool HasBorder(const CCellStyle& style) {
    for (const CCellBorder& border : style.m_borders) {
        if (border.m_nLine != CCellBorder::kNone) {
            return true;
        }
    }
    return false;
}

// A number when the whole text is one, with no blanks around it.
std::optional<double> StoredNumber(const std::string& text) {
    if (text.empty() || text.front() == ' ' || text.back() == ' ') {
        return std::nullopt;
    }
    return ParseNumberText(text);
}

std::uint32_t Rgb(std::uint32_t colour) {
    return colour & 0xFFFFFF;
}

std::uint8_t BorderKind(std::uint16_t line) {
    switch (line) {
    case CCellBorder::kThin:
        return LXW_BORDER_THIN;
    case CCellBorder::kMedium:
        return LXW_BORDER_MEDIUM;
    case CCellBorder::kThick:
        return LXW_BORDER_THICK;
    case CCellBorder::kDashed:
        return LXW_BORDER_DASHED;
    case CCellBorder::kDotted:
        return LXW_BORDER_DOTTED;
    case CCellBorder::kDouble:
        return LXW_BORDER_DOUBLE;
    default:
        return LXW_BORDER_NONE;
    }
}

void ApplyStyle(lxw_format* format, const CCellStyle& style) {
    if (!style.m_strFontName.empty()) {
        format_set_font_name(format, style.m_strFontName.c_str());
    }
    if (style.m_nFontSize != 0) {
        format_set_font_size(format, style.m_nFontSize / 10.0);
    }
    if ((style.m_nFlags & CCellStyle::kBold) != 0) {
        format_set_bold(format);
    }
    if ((style.m_nFlags & CCellStyle::kItalic) != 0) {
        format_set_italic(format);
    }
    if ((style.m_nFlags & CCellStyle::kUnderline) != 0) {
        format_set_underline(format, LXW_UNDERLINE_SINGLE);
    }
    if ((style.m_nFlags & CCellStyle::kStrikeOut) != 0) {
        format_set_font_strikeout(format);
    }
    if ((style.m_nFlags & CCellStyle::kWrapText) != 0) {
        format_set_text_wrap(format);
    }
    if (style.m_nTextColour != 0) {
        format_set_font_color(format, Rgb(style.m_nTextColour));
    }
    if (style.m_nBackColour != 0) {
        format_set_pattern(format, LXW_PATTERN_SOLID);
        format_set_bg_color(format, Rgb(style.m_nBackColour));
    }
    switch (style.m_nAlign) {
    case CCellStyle::kAlignLeft:
        format_set_align(format, LXW_ALIGN_LEFT);
        break;
    case CCellStyle::kAlignCentre:
        format_set_align(format, LXW_ALIGN_CENTER);
        break;
    case CCellStyle::kAlignRight:
        format_set_align(format, LXW_ALIGN_RIGHT);
        break;
    default:
        break;
    }
    if (style.m_nVerticalAlign == CCellStyle::kAlignTop) {
        format_set_align(format, LXW_ALIGN_VERTICAL_TOP);
    } else if (style.m_nVerticalAlign == CCellStyle::kAlignMiddle) {
        format_set_align(format, LXW_ALIGN_VERTICAL_CENTER);
    }
    const auto& b = style.m_borders;
    format_set_left(format, BorderKind(b[CCellStyle::kLeft].m_nLine));
    format_set_top(format, BorderKind(b[CCellStyle::kTop].m_nLine));
    format_set_right(format, BorderKind(b[CCellStyle::kRight].m_nLine));
    format_set_bottom(format, BorderKind(b[CCellStyle::kBottom].m_nLine));
    if (b[CCellStyle::kLeft].m_nColour != 0) {
        format_set_left_color(format, Rgb(b[CCellStyle::kLeft].m_nColour));
    }
    if (b[CCellStyle::kTop].m_nColour != 0) {
        format_set_top_color(format, Rgb(b[CCellStyle::kTop].m_nColour));
    }
    if (b[CCellStyle::kRight].m_nColour != 0) {
        format_set_right_color(format, Rgb(b[CCellStyle::kRight].m_nColour));
    }
    if (b[CCellStyle::kBottom].m_nColour != 0) {
        format_set_bottom_color(format, Rgb(b[CCellStyle::kBottom].m_nColour));
    }
    if (!style.m_strNumberFormat.empty()) {
        format_set_num_format(format, style.m_strNumberFormat.c_str());
    }
}

lxw_error FillWorkbook(lxw_workbook* workbook, const CRawSheet& rawSheet) {
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Raw Data");
    if (sheet == nullptr) {
        return LXW_ERROR_MEMORY_MALLOC_FAILED;
    }
    for (int column = 1; column <= CRawSheet::kColumns; ++column) {
        if (const int width = rawSheet.ColumnWidth(column); width > 0) {
            const auto index = static_cast<lxw_col_t>(column - 1);
            const lxw_error error = worksheet_set_column_pixels(
                sheet, index, index, static_cast<std::uint32_t>(width), nullptr);
            if (error != LXW_NO_ERROR) {
                return error;
            }
        }
    }
    for (int row = 1; row <= CRawSheet::kRows; ++row) {
        if (const int height = rawSheet.RowHeight(row); height > 0) {
            const lxw_error error =
                worksheet_set_row_pixels(sheet, static_cast<lxw_row_t>(row - 1),
                                         static_cast<std::uint32_t>(height), nullptr);
            if (error != LXW_NO_ERROR) {
                return error;
            }
        }
    }
    // One format per distinct style; sheets use few.
    std::vector<std::pair<CCellStyle, lxw_format*>> formats;
    for (const auto& [position, cell] : rawSheet.Cells()) {
        lxw_format* format = nullptr;
        if (!cell.m_style.IsDefault()) {
            for (const auto& known : formats) {
                if (known.first == cell.m_style) {
                    format = known.second;
                }
            }
            if (format == nullptr) {
                format = workbook_add_format(workbook);
                if (format == nullptr) {
                    return LXW_ERROR_MEMORY_MALLOC_FAILED;
                }
                ApplyStyle(format, cell.m_style);
                formats.emplace_back(cell.m_style, format);
            }
        }
        const auto row = static_cast<lxw_row_t>(position.first - 1);
        const auto column = static_cast<lxw_col_t>(position.second - 1);
        lxw_error error = LXW_NO_ERROR;
        if (cell.m_strText.empty()) {
            error = worksheet_write_blank(sheet, row, column, format);
        } else if (const auto number = StoredNumber(cell.m_strText)) {
            error = worksheet_write_number(sheet, row, column, *number, format);
        } else {
            error = worksheet_write_string(sheet, row, column, cell.m_strText.c_str(), format);
        }
        if (error != LXW_NO_ERROR) {
            return error;
        }
    }
    return LXW_NO_ERROR;
}

} // namespace

CStatus WriteXlsWorkbook(const CRawSheet& sheet, const std::string& path) {
    CTable table;
    table.m_strSheetName = "Raw Data";
    table.m_rows.resize(static_cast<std::size_t>(sheet.UsedRows()));
    for (int column = 1; column <= CRawSheet::kColumns; ++column) {
        if (sheet.ColumnWidth(column) > 0) {
            table.m_columnWidthsPx.resize(static_cast<std::size_t>(column));
            table.m_columnWidthsPx.back() = sheet.ColumnWidth(column);
        }
    }
    for (const auto& [position, cell] : sheet.Cells()) {
        auto& row = table.m_rows[static_cast<std::size_t>(position.first - 1)];
        row.resize(std::max(row.size(), static_cast<std::size_t>(position.second)));
        CTableCell& out = row[static_cast<std::size_t>(position.second - 1)];
        out.m_strText = cell.m_strText;
        out.m_bBold = cell.m_style.IsBold();
        out.m_bBorder = HasBorder(cell.m_style);
    }
    std::string error;
    if (!WriteXls(table, path, error)) {
        return CStatus::Fail("The raw data could not be exported: " + error);
    }
    return CStatus::Ok();
}

CStatus WriteXlsxWorkbook(const CRawSheet& sheet, const std::string& path) {
    // libxlsxwriter insists on a file name of its own: the workbook is made
    // in an unnamed scratch file, then written like every other file, which
    // replaces `path` only when complete.
    std::string error;
    CScratchFile scratch;
    if (!scratch.Create(error)) {
        return CStatus::Fail("The raw data could not be exported: " + error);
    }
    lxw_workbook* workbook = workbook_new(scratch.Path().c_str());
    if (workbook == nullptr) {
        return CStatus::Fail("The raw data could not be exported: cannot start the workbook.");
    }
    const lxw_error fillError = FillWorkbook(workbook, sheet);
    // Closing writes the file and frees the workbook in every case.
    const lxw_error closeError = workbook_close(workbook);
    if (fillError != LXW_NO_ERROR || closeError != LXW_NO_ERROR) {
        return CStatus::Fail(std::string("The raw data could not be exported: ") +
                             lxw_strerror(fillError != LXW_NO_ERROR ? fillError : closeError));
    }
    std::vector<std::uint8_t> bytes;
    if (!scratch.ReadAll(bytes, error) || !WriteFileSafely(path, bytes, error)) {
        return CStatus::Fail("The raw data could not be exported: " + error);
    }
    return CStatus::Ok();
}

CStatus ExportSheetFile(const CRawSheet& sheet, const std::string& path) {
    switch (SheetFileKind(path)) {
    case ESheetFileKind::Text:
        return ExportSheetTextFile(sheet, path);
    case ESheetFileKind::Xls:
        return WriteXlsWorkbook(sheet, path);
    case ESheetFileKind::Xlsx:
        return WriteXlsxWorkbook(sheet, path);
    case ESheetFileKind::Unknown:
        break;
    }
    return CStatus::Fail(std::string(kUnknownFileTypeMessage));
}

} // namespace doseplex::entry

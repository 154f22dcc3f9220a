// Office Open XML workbook writer (one worksheet) on top of libxlsxwriter.

#include "core/encoding.h"
#include "core/file_io.h"
#include "report/export_file.h"
#include "report/table.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>
#include <xlsxwriter.h>

namespace doseplex {

namespace {

constexpr std::size_t kMaxTextUnits = 32767; // UTF-16 code units per cell

// UTF-16 code units of a UTF-8 sequence starting with `lead`.
std::size_t Utf16Units(unsigned char lead) {
    return lead >= 0xF0 ? 2 : 1;
}

bool IsContinuationByte(char ch) {
    return (static_cast<unsigned char>(ch) & 0xC0) == 0x80;
}

std::size_t TextUnits(const std::string& utf8) {
    std::size_t units = 0;
    for (const char ch : utf8) {
        if (!IsContinuationByte(ch)) {
            units += Utf16Units(static_cast<unsigned char>(ch));
        }
    }
    return units;
}

bool CheckTable(const CTable& table, std::string& error) {
    if (table.m_rows.size() > LXW_ROW_MAX) {
        error = "the table has " + std::to_string(table.m_rows.size()) +
                " rows; an .xlsx sheet holds at most " + std::to_string(LXW_ROW_MAX);
        return false;
    }
    for (std::size_t r = 0; r < table.m_rows.size(); ++r) {
        const auto& row = table.m_rows[r];
        if (row.size() > LXW_COL_MAX) {
            error = "row " + std::to_string(r + 1) + " has " + std::to_string(row.size()) +
                    " columns; an .xlsx sheet holds at most " + std::to_string(LXW_COL_MAX);
            return false;
        }
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (TextUnits(EightBitToUtf8(row[c].m_strText)) > kMaxTextUnits) {
                error = "the text in row " + std::to_string(r + 1) + ", column " +
                        std::to_string(c + 1) + " is longer than " + std::to_string(kMaxTextUnits) +
                        " characters";
                return false;
            }
        }
    }
    return true;
}

// Fills the workbook; returns the first libxlsxwriter error.
lxw_error FillWorkbook(lxw_workbook* workbook, const CTable& table) {
    lxw_worksheet* sheet =
        workbook_add_worksheet(workbook, export_file::SheetName(table.m_strSheetName).c_str());
    if (sheet == nullptr) {
        return LXW_ERROR_PARAMETER_VALIDATION;
    }
    // Excel accepts font sizes from 1 to 409 points.
    const int points = std::clamp(table.m_nFontPoints, 1, 409);

    // Formats by index: 1 for bold + 2 for a border.
    std::array<lxw_format*, 4> formats{};
    for (std::size_t i = 0; i < formats.size(); ++i) {
        formats[i] = workbook_add_format(workbook);
        if (formats[i] == nullptr) {
            return LXW_ERROR_MEMORY_MALLOC_FAILED;
        }
        format_set_font_size(formats[i], points);
        if ((i & 1) != 0) {
            format_set_bold(formats[i]);
        }
        if ((i & 2) != 0) {
            format_set_border(formats[i], LXW_BORDER_THIN);
        }
    }

    // Rows keep the 15-point default height, made for the 11-point default
    // font; a larger font gets taller rows (1.8 pixels per point, in whole
    // pixels of 0.75 points).
    if (points > 11) {
        worksheet_set_default_row(sheet, std::ceil(points * 1.8) * 0.75, LXW_FALSE);
    }

    const std::size_t widthCount =
        std::min<std::size_t>(table.m_columnWidthsPx.size(), LXW_COL_MAX);
    for (std::size_t c = 0; c < widthCount; ++c) {
        const int px = table.m_columnWidthsPx[c];
        if (px > 0) {
            const auto column = static_cast<lxw_col_t>(c);
            const lxw_error err = worksheet_set_column_pixels(
                sheet, column, column, static_cast<std::uint32_t>(px), nullptr);
            if (err != LXW_NO_ERROR) {
                return err;
            }
        }
    }

    for (std::size_t r = 0; r < table.m_rows.size(); ++r) {
        const auto& row = table.m_rows[r];
        for (std::size_t c = 0; c < row.size(); ++c) {
            const CTableCell& cell = row[c];
            if (cell.m_strText.empty() && !cell.m_bBold && !cell.m_bBorder) {
                continue;
            }
            lxw_format* format = formats[(cell.m_bBold ? 1 : 0) + (cell.m_bBorder ? 2 : 0)];
            const auto rowIndex = static_cast<lxw_row_t>(r);
            const auto column = static_cast<lxw_col_t>(c);
            double number = 0.0;
            lxw_error err = LXW_NO_ERROR;
            if (cell.m_strText.empty()) {
                err = worksheet_write_blank(sheet, rowIndex, column, format);
            } else if (CellTextIsNumber(cell.m_strText, number)) {
                err = worksheet_write_number(sheet, rowIndex, column, number, format);
            } else {
                // Invalid UTF-8 is read as Windows-1252, as everywhere else
                // in DosePlex, so the XML stays well-formed.
                err = worksheet_write_string(sheet, rowIndex, column,
                                             EightBitToUtf8(cell.m_strText).c_str(), format);
            }
            if (err != LXW_NO_ERROR) {
                return err;
            }
        }
    }
    return LXW_NO_ERROR;
}

// Sends stderr to /dev/null for its lifetime. stderr is process-wide, so
// anything another thread prints meanwhile is lost as well; the library's
// messages are short-lived and only appear when a write fails.
class CQuietStderr {
public:
    CQuietStderr() {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (m_saved >= 0 && null >= 0) {
            ::dup2(null, STDERR_FILENO);
        }
        if (null >= 0) {
            ::close(null);
        }
    }
    ~CQuietStderr() {
        std::fflush(stderr);
        if (m_saved >= 0) {
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
        }
    }
    CQuietStderr(const CQuietStderr&) = delete;
    CQuietStderr& operator=(const CQuietStderr&) = delete;

private:
    int m_saved = -1;
};

} // namespace

bool WriteXlsx(const CTable& table, const std::string& path, std::string& error) {
    if (!CheckTable(table, error)) {
        return false;
    }
    // libxlsxwriter insists on a file name of its own, and it needs to seek in
    // it: the workbook is made in an unnamed scratch file and then written
    // like every other file, so a pipe or device works as a destination too.
    CScratchFile scratch;
    if (!scratch.Create(error)) {
        return false;
    }
    lxw_workbook* workbook = workbook_new(scratch.Path().c_str());
    if (workbook == nullptr) {
        error = "cannot start the workbook '" + path + "'";
        return false;
    }
    const lxw_error fillError = FillWorkbook(workbook, table);
    // Closing writes the file and frees the workbook in every case. The
    // library prints its own lines on stderr when a write fails; the reason
    // is given once, below, instead.
    lxw_error closeError = LXW_NO_ERROR;
    int closeErrno = 0;
    {
        const CQuietStderr quiet;
        errno = 0;
        closeError = workbook_close(workbook);
        closeErrno = errno;
    }
    if (fillError != LXW_NO_ERROR || closeError != LXW_NO_ERROR) {
        const bool diskFault = closeErrno == ENOSPC || closeErrno == EFBIG ||
                               closeErrno == EDQUOT || closeErrno == EIO;
        error =
            "cannot write '" + path + "': " +
            (fillError == LXW_NO_ERROR && diskFault
                 ? std::string(std::strerror(closeErrno))
                 : std::string(lxw_strerror(fillError != LXW_NO_ERROR ? fillError : closeError)));
        return false;
    }
    std::vector<std::uint8_t> bytes;
    return scratch.ReadAll(bytes, error) && WriteFileSafely(path, bytes, error);
}

} // namespace doseplex

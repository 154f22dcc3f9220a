#include "entry/sheet_import.h"

#include "core/encoding.h"
#include "core/file_io.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace doseplex::entry {

namespace {

bool IsBlank(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f';
}

std::string Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

// True when an import must not write (row, column) or anything after it.
bool PastImportLimit(int row, int column) {
    return row >= CRawSheet::kRows || column >= CRawSheet::kColumns;
}

} // namespace

ESheetFileKind SheetFileKind(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return ESheetFileKind::Unknown;
    }
    const std::string_view extension = path.substr(dot + 1);
    if (extension == "txt") {
        return ESheetFileKind::Text;
    }
    if (extension == "xls") {
        return ESheetFileKind::Xls;
    }
    if (extension == "xlsx") {
        return ESheetFileKind::Xlsx;
    }
    return ESheetFileKind::Unknown;
}

void ImportSheetText(std::istream& in, CRawSheet& sheet, CCellPosition origin) {
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    int r = 0;
    int k = 0;
    std::size_t pos = 0;
    while (true) {
        const std::size_t end = text.find_first_of("\t\r\n", pos);
        const bool atEnd = end == std::string::npos;
        const std::string_view field =
            std::string_view(text).substr(pos, atEnd ? std::string::npos : end - pos);
        // A file that ends with its line end has no field after it: writing
        // an empty one there would wipe the cell below the imported block.
        if (atEnd && field.empty() && k == 0) {
            return;
        }
        const int row = origin.m_nRow + r;
        const int column = origin.m_nColumn + k;
        sheet.SetText(row, column, EightBitToUtf8(Trimmed(field)));
        if (atEnd || row >= CRawSheet::kRows) {
            return;
        }
        std::size_t lineEnd = end;
        if (column >= CRawSheet::kColumns) {
            // The fields past the last column are dropped and the next line
            // goes on, so a text of 50 columns (what the export writes)
            // imports whole.
            lineEnd = text.find_first_of("\r\n", end);
            if (lineEnd == std::string::npos) {
                return;
            }
        }
        if (text[lineEnd] == '\t') {
            ++k;
        } else {
            ++r;
            k = 0;
        }
        // CR LF is one line end.
        pos = lineEnd + 1;
        if (text[lineEnd] == '\r' && pos < text.size() && text[pos] == '\n') {
            ++pos;
        }
    }
}

CStatus ImportSheetTextFile(const std::string& path, CRawSheet& sheet, CCellPosition origin) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!ReadFileBytes(path, bytes, error)) {
        return CStatus::Fail(std::string(kImportOpenMessage));
    }
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    ImportSheetText(in, sheet, origin);
    return CStatus::Ok();
}

std::string SheetText(const CRawSheet& sheet) {
    std::string text;
    for (int row = 1; row <= CRawSheet::kRows; ++row) {
        for (int column = 1; column <= CRawSheet::kColumns; ++column) {
            if (column > 1) {
                text += '\t';
            }
            if (const CRawCell* cell = sheet.GetCell(row, column)) {
                text += Utf8ToEightBit(cell->m_strText);
            }
        }
        text += "\r\n";
    }
    return text;
}

CStatus ExportSheetTextFile(const CRawSheet& sheet, const std::string& path) {
    std::string error;
    if (!WriteFileSafely(path, SheetText(sheet), error)) {
        return CStatus::Fail("The raw data could not be exported: " + error);
    }
    return CStatus::Ok();
}

void ImportCellRange(CRawSheet& sheet, CCellPosition origin, const CSheetData& source,
                     const CCellRange& range) {
    for (int i = 0; i <= range.m_nBottom - range.m_nTop; ++i) {
        for (int j = 0; j <= range.m_nRight - range.m_nLeft; ++j) {
            if (PastImportLimit(origin.m_nRow + i, origin.m_nColumn + j)) {
                return;
            }
            sheet.SetText(origin.m_nRow + i, origin.m_nColumn + j,
                          source.Text(range.m_nTop + i, range.m_nLeft + j));
        }
    }
}

std::string OdbcRowText(const std::vector<std::string>& values) {
    std::string text;
    for (std::string value : values) {
        std::replace(value.begin(), value.end(), '\t', ' ');
        text += value;
        text += "\t ";
    }
    return text;
}

void ImportOdbcRows(CRawSheet& sheet, CCellPosition origin, int fieldCount,
                    const std::vector<std::string>& rowTexts) {
    for (std::size_t i = 0; i < rowTexts.size(); ++i) {
        std::string_view rest = rowTexts[i];
        for (int j = 0; j < fieldCount; ++j) {
            const std::size_t tab = rest.find('\t');
            const std::string_view value = rest.substr(0, tab);
            rest = tab == std::string_view::npos ? std::string_view() : rest.substr(tab + 1);
            const int row = origin.m_nRow + static_cast<int>(i);
            const int column = origin.m_nColumn + j;
            if (PastImportLimit(row, column)) {
                return;
            }
            sheet.SetText(row, column, std::string(value));
        }
    }
}

} // namespace doseplex::entry

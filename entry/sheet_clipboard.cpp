#include "entry/sheet_clipboard.h"

#include "core/encoding.h"

#include <algorithm>
#include <vector>

namespace doseplex::entry {

namespace {

// `range` limited to the sheet; nothing when no cell of it is inside.
std::optional<CCellRange> Clipped(const CCellRange& range) {
    const CCellRange clipped{std::max(range.m_nTop, 1), std::max(range.m_nLeft, 1),
                             std::min(range.m_nBottom, CRawSheet::kRows),
                             std::min(range.m_nRight, CRawSheet::kColumns)};
    if (clipped.m_nTop > clipped.m_nBottom || clipped.m_nLeft > clipped.m_nRight) {
        return std::nullopt;
    }
    return clipped;
}

std::string Quoted(const std::string& text) {
    if (text.find_first_of("\t\r\n\"") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char ch : text) {
        quoted += ch;
        if (ch == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

// The rows of tab-separated text, each a list of fields.
std::vector<std::vector<std::string>> SplitText(std::string_view text) {
    std::vector<std::vector<std::string>> rows(1);
    std::string field;
    bool fieldStarted = false;
    bool atLineStart = true; // nothing of the current row read yet
    std::size_t i = 0;
    while (i < text.size()) {
        const char ch = text[i];
        if (ch == '"' && !fieldStarted) {
            // A quoted field runs to the quote that is not doubled.
            ++i;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i++];
            }
            fieldStarted = true;
            atLineStart = false;
            continue;
        }
        if (ch == '\t' || ch == '\r' || ch == '\n') {
            rows.back().push_back(std::move(field));
            field.clear();
            fieldStarted = false;
            atLineStart = false;
            ++i;
            if (ch != '\t') {
                if (ch == '\r' && i < text.size() && text[i] == '\n') {
                    ++i;
                }
                if (i < text.size()) {
                    rows.emplace_back();
                }
                atLineStart = true;
            }
            continue;
        }
        field += ch;
        fieldStarted = true;
        atLineStart = false;
        ++i;
    }
    // The text's last line end ends it; otherwise the last field is open.
    if (!atLineStart) {
        rows.back().push_back(std::move(field));
    }
    if (rows.back().empty()) {
        rows.pop_back();
    }
    return rows;
}

} // namespace

std::string CopyRangeText(const CRawSheet& sheet, const CCellRange& range) {
    const auto clipped = Clipped(range);
    if (!clipped) {
        return {};
    }
    std::string text;
    for (int row = clipped->m_nTop; row <= clipped->m_nBottom; ++row) {
        for (int column = clipped->m_nLeft; column <= clipped->m_nRight; ++column) {
            if (column > clipped->m_nLeft) {
                text += '\t';
            }
            text += Quoted(sheet.GetText(row, column));
        }
        text += "\r\n";
    }
    return text;
}

std::optional<CCellRange> PasteText(CRawSheet& sheet, CCellPosition origin, std::string_view text) {
    const auto rows = SplitText(text);
    if (rows.empty()) {
        return std::nullopt;
    }
    std::size_t widest = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        widest = std::max(widest, rows[r].size());
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            sheet.SetText(origin.m_nRow + static_cast<int>(r),
                          origin.m_nColumn + static_cast<int>(c), EightBitToUtf8(rows[r][c]));
        }
    }
    return Clipped({origin.m_nRow, origin.m_nColumn,
                    origin.m_nRow + static_cast<int>(rows.size()) - 1,
                    origin.m_nColumn + static_cast<int>(widest) - 1});
}

void ClearRangeTexts(CRawSheet& sheet, const CCellRange& range) {
    const auto clipped = Clipped(range);
    if (!clipped) {
        return;
    }
    for (int row = clipped->m_nTop; row <= clipped->m_nBottom; ++row) {
        for (int column = clipped->m_nLeft; column <= clipped->m_nRight; ++column) {
            sheet.SetText(row, column, std::string());
        }
    }
}

void ApplyRangeStyle(CRawSheet& sheet, const CCellRange& range, const CCellStyle& style) {
    const auto clipped = Clipped(range);
    if (!clipped) {
        return;
    }
    for (int row = clipped->m_nTop; row <= clipped->m_nBottom; ++row) {
        for (int column = clipped->m_nLeft; column <= clipped->m_nRight; ++column) {
            sheet.SetStyle(row, column, style);
        }
    }
}

} // namespace doseplex::entry

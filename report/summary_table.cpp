#include "report/summary_table.h"

#include "core/document.h"
#include "core/encoding.h"
#include "core/file_io.h"
#include "core/random.h"
#include "report/drug_report.h"
#include "report/report_text.h"
#include "report/summary_report.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <vector>

namespace doseplex {

using namespace report_text;

namespace {

constexpr size_t kMinColumns = 7;
constexpr int kFirstColumnPx = 125;
constexpr int kFontPoints = 10;
constexpr size_t kHeadingRow = 2;
constexpr size_t kColumnHeadingRow = 3;

// The table part of a summary report whose header block is `headerLength`
// characters long: from the line end that follows the header's long rule up
// to the next long rule standing on a line of its own. Locating the start by
// the header's length keeps a notes text that holds a rule of dashes from
// being mistaken for the header's end.
std::string_view TablePiece(std::string_view report, size_t headerLength) {
    const size_t start = headerLength - kLineEnd.size();
    const std::string rule =
        std::string(kLineEnd) + std::string(kLongRuleLength, '-') + std::string(kLineEnd);
    size_t end = report.find(rule, start);
    end = end == std::string_view::npos ? report.size() : end + kLineEnd.size();
    return report.substr(start, end - start);
}

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
    std::vector<std::string> parts;
    size_t from = 0;
    for (size_t at = text.find(separator); at != std::string_view::npos;
         at = text.find(separator, from)) {
        parts.emplace_back(text.substr(from, at - from));
        from = at + separator.size();
    }
    parts.emplace_back(text.substr(from));
    return parts;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

} // namespace

CTable BuildSummaryTable(const CDoseplexDoc& doc) {
    // The summary report simulates nothing; the generator is never drawn from.
    CRandom unused;
    std::string report;
    BuildReport(doc, CBuildTarget::Summary(), unused, report);
    std::string header;
    AppendReportHeader(doc, header);

    // One text line per row, one field per column. The piece ends with a line
    // end, which starts no further row.
    std::vector<std::string> lines = Split(TablePiece(report, header.size()), kLineEnd);
    if (!lines.empty() && lines.back().empty()) {
        lines.pop_back();
    }
    CTable table;
    size_t columns = kMinColumns;
    for (const std::string& line : lines) {
        std::vector<CTableCell> row;
        for (std::string& field : Split(line, "\t")) {
            row.push_back({std::move(field), false, true});
        }
        columns = std::max(columns, row.size());
        table.m_rows.push_back(std::move(row));
    }
    for (auto& row : table.m_rows) {
        row.resize(columns, CTableCell{{}, false, true});
    }

    if (table.m_rows.size() > kHeadingRow) {
        auto& heading = table.m_rows[kHeadingRow];
        heading[1].m_strText = "CI Values at";
        heading[2].m_strText.clear();
    }
    for (size_t r : {kHeadingRow, kColumnHeadingRow}) {
        if (r < table.m_rows.size()) {
            for (CTableCell& cell : table.m_rows[r]) {
                cell.m_bBold = true;
            }
        }
    }
    table.m_columnWidthsPx = {kFirstColumnPx};
    table.m_nFontPoints = kFontPoints;
    return table;
}

std::string TabDelimitedText(const CTable& table) {
    size_t columns = 0;
    for (const auto& row : table.m_rows) {
        for (size_t c = row.size(); c > columns; --c) {
            if (!row[c - 1].m_strText.empty()) {
                columns = c;
                break;
            }
        }
    }
    std::string text;
    for (const auto& row : table.m_rows) {
        for (size_t c = 0; c < columns; ++c) {
            if (c > 0) {
                text += '\t';
            }
            if (c < row.size()) {
                text += row[c].m_strText;
            }
        }
        text += kLineEnd;
    }
    return text;
}

ETableFormat TableFormatForPath(const std::string& path) {
    const std::string extension = Lower(std::filesystem::path(path).extension().string());
    if (extension == ".txt") {
        return ETableFormat::Text;
    }
    if (extension == ".xls") {
        return ETableFormat::Xls;
    }
    if (extension == ".xlsx") {
        return ETableFormat::Xlsx;
    }
    return ETableFormat::None;
}

bool ExportTable(const CTable& table, const std::string& path, std::string& error) {
    switch (TableFormatForPath(path)) {
    case ETableFormat::Text:
        return WriteFileSafely(path, Utf8ToEightBit(TabDelimitedText(table)), error);
    case ETableFormat::Xls:
        return WriteXls(table, path, error);
    case ETableFormat::Xlsx:
        return WriteXlsx(table, path, error);
    case ETableFormat::None:
        break;
    }
    error = "unsupported file type: " + path + " (use .txt, .xls or .xlsx)";
    return false;
}

} // namespace doseplex

// Tests of the spreadsheet exports. The .xls files are read back with FreeXL,
// an independent reader; the formatting records, which FreeXL does not
// report, are read from the Workbook stream directly. The .xlsx files are
// checked by unpacking their XML parts.
#include "report/table.h"

#include <gtest/gtest.h>

#include <freexl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace doseplex;
namespace fs = std::filesystem;

class CTempDir {
public:
    CTempDir() {
        std::string pattern = (fs::temp_directory_path() / "doseplex-xls-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        } else {
            ADD_FAILURE() << "cannot create a temporary directory";
        }
    }
    ~CTempDir() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    std::string File(const std::string& name) const { return (m_path / name).string(); }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_path)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

private:
    fs::path m_path;
};

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

CTableCell Cell(std::string text, bool bold = false, bool border = false) {
    return CTableCell{std::move(text), bold, border};
}

// ---- Reading back with FreeXL ----

struct CReadCell {
    int m_nType = FREEXL_CELL_NULL;
    std::string m_strText;
    double m_dNumber = 0.0;
};

struct CReadSheet {
    std::string m_strName;
    unsigned m_nRows = 0;
    unsigned short m_nColumns = 0;
    unsigned m_nFatEntries = 0; // 128 per FAT sector
    unsigned m_nStrings = 0;
    std::vector<std::vector<CReadCell>> m_cells;
};

// Reads the first sheet; fails the test when FreeXL refuses the file.
CReadSheet ReadXls(const std::string& path) {
    CReadSheet sheet;
    const void* handle = nullptr;
    const int opened = freexl_open(path.c_str(), &handle);
    // FreeXL 1.0.6 may also report success without a handle.
    EXPECT_TRUE(opened == FREEXL_OK && handle != nullptr) << path << ": " << opened;
    if (opened != FREEXL_OK || handle == nullptr) {
        freexl_close(handle);
        return sheet;
    }
    unsigned info = 0;
    EXPECT_EQ(freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &info), FREEXL_OK);
    EXPECT_EQ(info, 1u);
    EXPECT_EQ(freexl_get_info(handle, FREEXL_CFBF_FAT_COUNT, &sheet.m_nFatEntries), FREEXL_OK);
    EXPECT_EQ(freexl_get_info(handle, FREEXL_BIFF_STRING_COUNT, &sheet.m_nStrings), FREEXL_OK);
    const char* name = nullptr;
    EXPECT_EQ(freexl_get_worksheet_name(handle, 0, &name), FREEXL_OK);
    sheet.m_strName = name != nullptr ? name : "";
    EXPECT_EQ(freexl_select_active_worksheet(handle, 0), FREEXL_OK);
    EXPECT_EQ(freexl_worksheet_dimensions(handle, &sheet.m_nRows, &sheet.m_nColumns), FREEXL_OK);
    sheet.m_cells.assign(sheet.m_nRows, std::vector<CReadCell>(sheet.m_nColumns));
    for (unsigned r = 0; r < sheet.m_nRows; ++r) {
        for (unsigned short c = 0; c < sheet.m_nColumns; ++c) {
            FreeXL_CellValue value;
            EXPECT_EQ(freexl_get_cell_value(handle, r, c, &value), FREEXL_OK);
            CReadCell& cell = sheet.m_cells[r][c];
            cell.m_nType = value.type;
            if (value.type == FREEXL_CELL_DOUBLE) {
                cell.m_dNumber = value.value.double_value;
            } else if (value.type == FREEXL_CELL_INT) {
                cell.m_dNumber = value.value.int_value;
            } else if (value.type == FREEXL_CELL_TEXT || value.type == FREEXL_CELL_SST_TEXT) {
                cell.m_strText = value.value.text_value;
            }
        }
    }
    freexl_close(handle);
    return sheet;
}

// ---- Reading the BIFF records ----

std::uint32_t U32(const std::string& bytes, std::size_t pos) {
    std::uint32_t value = 0;
    for (int k = 3; k >= 0; --k) {
        value =
            (value << 8) | static_cast<unsigned char>(bytes.at(pos + static_cast<std::size_t>(k)));
    }
    return value;
}

std::uint16_t U16(const std::string& bytes, std::size_t pos) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes.at(pos)) |
                                      static_cast<unsigned char>(bytes.at(pos + 1)) << 8);
}

// The "Workbook" stream of a compound file with 512-byte sectors, read by
// following the FAT (located through the header and DIFAT sectors) or, for a
// stream below 4096 bytes, the mini FAT inside the root entry's stream.
std::string WorkbookStream(const std::string& file) {
    const auto sector = [&](std::uint32_t n) { return file.substr(512 + n * 512ull, 512); };
    std::vector<std::uint32_t> fatSectors;
    for (std::size_t i = 0; i < 109 && i < U32(file, 44); ++i) {
        fatSectors.push_back(U32(file, 76 + 4 * i));
    }
    for (std::uint32_t d = U32(file, 68); d != 0xFFFFFFFE && fatSectors.size() < U32(file, 44);) {
        const std::string s = sector(d);
        for (std::size_t k = 0; k < 127 && fatSectors.size() < U32(file, 44); ++k) {
            fatSectors.push_back(U32(s, 4 * k));
        }
        d = U32(s, 508);
    }
    std::string fat;
    for (const std::uint32_t s : fatSectors) {
        fat += sector(s);
    }
    const auto chain = [&](const std::string& table, std::uint32_t first, auto&& read) {
        std::string data;
        for (std::uint32_t n = first; n != 0xFFFFFFFE; n = U32(table, 4 * n)) {
            data += read(n);
        }
        return data;
    };
    const std::string directory = chain(fat, U32(file, 48), sector);
    std::string name;
    for (std::size_t i = 128; i < 128 + 16; i += 2) {
        name += directory.at(i);
    }
    EXPECT_EQ(name, "Workbook");
    const std::uint32_t size = U32(directory, 128 + 120);
    std::string stream;
    if (size < 4096) {
        const std::string miniStream = chain(fat, U32(directory, 116), sector);
        const std::string miniFat = chain(fat, U32(file, 60), sector);
        stream = chain(miniFat, U32(directory, 128 + 116),
                       [&](std::uint32_t n) { return miniStream.substr(n * 64ull, 64); });
    } else {
        stream = chain(fat, U32(directory, 128 + 116), sector);
    }
    return stream.substr(0, size);
}

struct CRecord {
    std::uint16_t m_nId;
    std::string m_data;
};

std::vector<CRecord> Records(const std::string& stream) {
    std::vector<CRecord> records;
    for (std::size_t pos = 0; pos + 4 <= stream.size();) {
        const std::uint16_t length = U16(stream, pos + 2);
        records.push_back({U16(stream, pos), stream.substr(pos + 4, length)});
        pos += 4u + length;
    }
    return records;
}

// ---- .xls ----

TEST(XlsWriter, TextsNumbersAndEmptyCellsReadBack) {
    CTempDir dir;
    const std::string path = dir.File("summary.xls");
    WriteBytes(path, "old contents");

    CTable table;
    table.m_strSheetName = "Dose/Effect [µM]: a name longer than Excel allows";
    table.m_rows = {
        {Cell("Dose", true, true), Cell("µM", true, true), Cell("ΔE 𝛼", true, true), Cell("")},
        {Cell("12.5"), Cell("-3"), Cell("1.23e+04"), Cell("0.1")},
        {Cell(""), Cell("µM"), Cell("\xB5g")}, // short row; invalid UTF-8 read as Windows-1252
        {Cell("1,5"), Cell(" 2"), Cell("+4"), Cell("2.5e-300")},
        {}, // empty rows and a trailing empty cell add nothing
        {Cell("")},
    };
    std::string error;
    ASSERT_TRUE(WriteXls(table, path, error)) << error;
    EXPECT_EQ(dir.Names(), std::set<std::string>{"summary.xls"}); // replaced, no leftovers

    const CReadSheet sheet = ReadXls(path);
    EXPECT_EQ(sheet.m_strName, "Dose_Effect _µM__ a name longer");
    EXPECT_EQ(sheet.m_nRows, 4u);
    EXPECT_EQ(sheet.m_nColumns, 4);
    EXPECT_EQ(sheet.m_nStrings, 6u); // "µM" is shared

    struct CExpected {
        unsigned m_nRow;
        unsigned short m_nColumn;
        const char* m_szText; // nullptr: a number
        double m_dNumber;
    };
    const CExpected expected[] = {
        {0, 0, "Dose", 0},         {0, 1, "µM", 0},     {0, 2, "ΔE 𝛼", 0},
        {1, 0, nullptr, 12.5},     {1, 1, nullptr, -3}, {1, 2, nullptr, 12300},
        {1, 3, nullptr, 0.1},      {2, 1, "µM", 0},     {2, 2, "µg", 0},
        {3, 0, "1,5", 0},          {3, 1, " 2", 0},     {3, 2, nullptr, 4},
        {3, 3, nullptr, 2.5e-300},
    };
    std::set<std::pair<unsigned, unsigned>> filled;
    for (const CExpected& e : expected) {
        ASSERT_LT(e.m_nRow, sheet.m_cells.size());
        const CReadCell& cell = sheet.m_cells[e.m_nRow][e.m_nColumn];
        SCOPED_TRACE(testing::Message() << "row " << e.m_nRow << " column " << e.m_nColumn);
        if (e.m_szText != nullptr) {
            EXPECT_EQ(cell.m_nType, FREEXL_CELL_SST_TEXT);
            EXPECT_EQ(cell.m_strText, e.m_szText);
        } else {
            EXPECT_EQ(cell.m_nType, FREEXL_CELL_DOUBLE);
            EXPECT_EQ(cell.m_dNumber, e.m_dNumber);
        }
        filled.insert({e.m_nRow, e.m_nColumn});
    }
    for (unsigned r = 0; r < sheet.m_nRows; ++r) {
        for (unsigned c = 0; c < sheet.m_nColumns; ++c) {
            if (filled.count({r, c}) == 0) {
                EXPECT_EQ(sheet.m_cells[r][c].m_nType, FREEXL_CELL_NULL) << r << "," << c;
            }
        }
    }
}

TEST(XlsWriter, FormattingRecords) {
    CTempDir dir;
    const std::string path = dir.File("format.xls");
    CTable table;
    table.m_nFontPoints = 14;
    table.m_columnWidthsPx = {70, 0, 140};
    table.m_rows = {
        {Cell("Dose", true, true), Cell("Effect", true)},
        {Cell("1.5", false, true), Cell("", false, true), Cell(""), Cell("x")},
        {Cell("", true)},
    };
    std::string error;
    ASSERT_TRUE(WriteXls(table, path, error)) << error;

    std::vector<std::string> fonts;
    std::vector<std::string> xfs;
    std::map<int, std::uint16_t> columnWidths;
    std::map<std::pair<int, int>, std::pair<std::uint16_t, std::uint16_t>> cells; // id, XF
    for (const CRecord& record : Records(WorkbookStream(ReadBytes(path)))) {
        const std::string& d = record.m_data;
        switch (record.m_nId) {
        case 0x0031:
            fonts.push_back(d);
            break;
        case 0x00E0:
            xfs.push_back(d);
            break;
        case 0x007D:
            columnWidths[U16(d, 0)] = U16(d, 4);
            break;
        case 0x0201:
        case 0x0203:
        case 0x00FD:
            cells[{U16(d, 0), U16(d, 2)}] = {record.m_nId, U16(d, 4)};
            break;
        default:
            break;
        }
    }
    ASSERT_GE(fonts.size(), 4u);
    for (const std::string& font : fonts) {
        EXPECT_EQ(U16(font, 0), 14 * 20); // every font at the table's size, in twips
    }

    struct CExpected {
        int m_nRow;
        int m_nColumn;
        std::uint16_t m_nRecord;
        bool m_bBold;
        bool m_bBorder;
    };
    const CExpected expected[] = {
        {0, 0, 0x00FD, true, true},  {0, 1, 0x00FD, true, false},  {1, 0, 0x0203, false, true},
        {1, 1, 0x0201, false, true}, {1, 3, 0x00FD, false, false}, {2, 0, 0x0201, true, false},
    };
    EXPECT_EQ(cells.size(), std::size(expected)); // no record for the plain empty cell
    for (const CExpected& e : expected) {
        SCOPED_TRACE(testing::Message() << "row " << e.m_nRow << " column " << e.m_nColumn);
        const auto it = cells.find({e.m_nRow, e.m_nColumn});
        ASSERT_NE(it, cells.end());
        EXPECT_EQ(it->second.first, e.m_nRecord);
        ASSERT_LT(it->second.second, xfs.size());
        ASSERT_GE(it->second.second, 16); // a cell XF after the 16 built-in ones
        const std::string& xf = xfs[it->second.second];
        EXPECT_EQ(U16(xf, 4) & 0x0004, 0); // a cell XF, not a style XF
        // Font indices skip 4: index 5 is the fifth FONT record.
        const std::uint16_t fontIndex = U16(xf, 0);
        ASSERT_NE(fontIndex, 4);
        const std::size_t fontRecord = fontIndex < 4 ? fontIndex : fontIndex - 1u;
        ASSERT_LT(fontRecord, fonts.size());
        EXPECT_EQ(U16(fonts[fontRecord], 6), e.m_bBold ? 700 : 400);
        // Left, right, top and bottom line styles: 1 = thin.
        EXPECT_EQ(U16(xf, 10), e.m_bBorder ? 0x1111 : 0);
    }

    // Column widths in 1/256 of the digit width: none for width 0, twice as
    // wide for twice the pixels, and a digit width that fits a 14-point font.
    ASSERT_EQ(columnWidths.size(), 2u);
    EXPECT_NEAR(columnWidths[2], 2 * columnWidths[0], 2);
    const double digitPx = 70.0 / (columnWidths[0] / 256.0);
    EXPECT_GT(digitPx, 8.0);
    EXPECT_LT(digitPx, 12.0);
}

TEST(XlsWriter, LargeTableNeedsSeveralFatSectors) {
    CTempDir dir;
    const std::string path = dir.File("large.xls");
    CTable table;
    for (int r = 0; r < 1000; ++r) {
        auto& row = table.m_rows.emplace_back();
        row.push_back(Cell("sample " + std::to_string(r)));
        for (int c = 1; c < 50; ++c) {
            row.push_back(Cell(std::to_string(r * 50 + c) + ".25"));
        }
    }
    std::string error;
    ASSERT_TRUE(WriteXls(table, path, error)) << error;

    const CReadSheet sheet = ReadXls(path);
    EXPECT_GT(sheet.m_nFatEntries, 128u);
    ASSERT_EQ(sheet.m_nRows, 1000u);
    ASSERT_EQ(sheet.m_nColumns, 50);
    int mismatches = 0;
    for (int r = 0; r < 1000; ++r) {
        const auto& row = sheet.m_cells[static_cast<std::size_t>(r)];
        mismatches += row[0].m_strText != "sample " + std::to_string(r);
        for (int c = 1; c < 50; ++c) {
            const CReadCell& cell = row[static_cast<std::size_t>(c)];
            mismatches += cell.m_nType != FREEXL_CELL_DOUBLE || cell.m_dNumber != r * 50 + c + 0.25;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Shared strings far beyond one record: many short ones, and long 8-bit and
// UTF-16 ones (with surrogate pairs) that run into CONTINUE records. Their
// total, over 7 MB, also needs more FAT sectors than the header can list.
// (FreeXL 1.0.6 reads no string spanning more than two records; longer ones
// are checked in the next test.)
TEST(XlsWriter, SharedStringsAcrossContinueRecordsAndDifat) {
    CTempDir dir;
    const std::string path = dir.File("strings.xls");
    std::vector<std::string> texts;
    for (int i = 0; i < 3000; ++i) {
        texts.push_back("short " + std::to_string(i));
    }
    for (int i = 0; i < 1200; ++i) {
        std::string text = std::to_string(i) + " ";
        const bool wide = i % 2 == 1;
        // Under 8000 bytes of characters each: at most two records per string.
        while (text.size() < (wide ? 5000u : 7900u)) {
            text += wide ? "Δ𝛼 effect " : "µM dose ";
        }
        texts.push_back(text);
    }
    CTable table;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i % 10 == 0) {
            table.m_rows.emplace_back();
        }
        table.m_rows.back().push_back(Cell(texts[i]));
    }
    std::string error;
    ASSERT_TRUE(WriteXls(table, path, error)) << error;

    const CReadSheet sheet = ReadXls(path);
    EXPECT_GT(sheet.m_nFatEntries, 109u * 128u);
    EXPECT_EQ(sheet.m_nStrings, texts.size());
    ASSERT_EQ(sheet.m_nRows * sheet.m_nColumns, texts.size());
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        mismatches += sheet.m_cells[i / 10][i % 10].m_strText != texts[i];
    }
    EXPECT_EQ(mismatches, 0u);
}

// The shared strings reassembled from the SST and its CONTINUE records: a
// string's header stays in one record; where its characters continue, the
// next record starts with their option byte (0: 8-bit, 1: UTF-16).
std::vector<std::u16string> SharedStrings(const std::vector<CRecord>& records) {
    std::vector<std::string> blocks;
    for (const CRecord& record : records) {
        if (record.m_nId == 0x00FC || (record.m_nId == 0x003C && !blocks.empty())) {
            blocks.push_back(record.m_data);
        } else if (!blocks.empty()) {
            break;
        }
    }
    std::vector<std::u16string> strings;
    std::size_t b = 0;
    std::size_t pos = 8;
    const std::uint32_t count = blocks.empty() ? 0 : U32(blocks[0], 4);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (pos == blocks[b].size()) {
            ++b;
            pos = 0;
        }
        std::size_t left = U16(blocks[b], pos);
        bool wide = (blocks[b].at(pos + 2) & 1) != 0;
        pos += 3;
        std::u16string& text = strings.emplace_back();
        while (true) {
            for (; left > 0 && pos < blocks[b].size(); --left, pos += wide ? 2 : 1) {
                text += static_cast<char16_t>(wide ? U16(blocks[b], pos)
                                                   : static_cast<unsigned char>(blocks[b][pos]));
            }
            if (left == 0) {
                break;
            }
            EXPECT_FALSE(text.back() >= 0xD800 && text.back() < 0xDC00) << "split surrogate pair";
            ++b;
            wide = (blocks.at(b).at(0) & 1) != 0;
            pos = 1;
        }
    }
    return strings;
}

TEST(XlsWriter, MaximumLengthStringsSpanSeveralRecords) {
    // 32767 characters each: "µM dose " repeated (8-bit), and "Δ𝛼 " repeated
    // (UTF-16, a surrogate pair in every 4 units), both ending on a whole
    // character.
    std::string narrow;
    std::u16string narrow16;
    std::string wide;
    std::u16string wide16;
    for (int i = 0; i < 4096; ++i) {
        narrow += "µM dose ";
        narrow16 += u"µM dose ";
    }
    for (int i = 0; i < 8192; ++i) {
        wide += "Δ𝛼 ";
        wide16 += u"Δ𝛼 ";
    }
    narrow.pop_back();
    narrow16.pop_back();
    wide.pop_back();
    wide16.pop_back();
    ASSERT_EQ(narrow16.size(), 32767u);
    ASSERT_EQ(wide16.size(), 32767u);

    CTempDir dir;
    const std::string path = dir.File("long.xls");
    CTable table;
    table.m_rows = {{Cell(wide), Cell("x"), Cell(narrow), Cell(wide)}};
    std::string error;
    ASSERT_TRUE(WriteXls(table, path, error)) << error;

    const std::vector<CRecord> records = Records(WorkbookStream(ReadBytes(path)));
    for (const CRecord& record : records) {
        EXPECT_LE(record.m_data.size(), 8224u);
    }
    std::vector<std::u16string> strings = SharedStrings(records);
    std::sort(strings.begin(), strings.end());
    std::vector<std::u16string> expected = {wide16, u"x", narrow16};
    std::sort(expected.begin(), expected.end());
    EXPECT_TRUE(strings == expected);
}

// ---- .xlsx ----

std::string Unzip(const std::string& archive, const std::string& member) {
    const std::string command = "unzip -p '" + archive + "' '" + member + "'";
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            text.append(buffer, n);
        }
        pclose(pipe);
    }
    return text;
}

TEST(XlsxWriter, CellsFormatsAndWidths) {
    CTempDir dir;
    const std::string path = dir.File("summary.xlsx");
    WriteBytes(path, "old contents");
    CTable table;
    table.m_strSheetName = "Dose/Effect";
    table.m_nFontPoints = 14;
    table.m_columnWidthsPx = {0, 140};
    table.m_rows = {
        {Cell("Dose", true, true), Cell("µM", true, true), Cell("ΔE")},
        {Cell("12.5"), Cell("", false, true), Cell(""), Cell("1.23e+04")},
    };
    std::string error;
    ASSERT_TRUE(WriteXlsx(table, path, error)) << error;
    EXPECT_EQ(dir.Names(), std::set<std::string>{"summary.xlsx"});
    EXPECT_EQ(ReadBytes(path).substr(0, 2), "PK");

    const std::string sheet = Unzip(path, "xl/worksheets/sheet1.xml");
    const std::string strings = Unzip(path, "xl/sharedStrings.xml");
    const std::string styles = Unzip(path, "xl/styles.xml");
    for (const char* text : {"Dose", "µM", "ΔE"}) {
        EXPECT_NE(strings.find(std::string(">") + text + "<"), std::string::npos) << text;
    }
    // The <c> element of a cell, "" when there is none.
    const auto cellXml = [&](const std::string& ref) {
        const std::size_t at = sheet.find("<c r=\"" + ref + "\"");
        if (at == std::string::npos) {
            return std::string();
        }
        const std::size_t tagEnd = sheet.find('>', at);
        const std::size_t end = sheet[tagEnd - 1] == '/' ? tagEnd + 1 : sheet.find("</c>", at) + 4;
        return sheet.substr(at, end - at);
    };
    EXPECT_NE(cellXml("A1").find("t=\"s\""), std::string::npos);
    EXPECT_NE(cellXml("A2").find("><v>12.5</v>"), std::string::npos) << cellXml("A2");
    EXPECT_EQ(cellXml("A2").find("t="), std::string::npos);
    EXPECT_NE(cellXml("D2").find("><v>12300</v>"), std::string::npos) << cellXml("D2");
    EXPECT_NE(cellXml("B2").find(" s=\""), std::string::npos); // bordered blank
    EXPECT_EQ(cellXml("C2"), "");                              // plain empty cell
    EXPECT_NE(sheet.find("<col min=\"2\" max=\"2\""), std::string::npos);
    EXPECT_EQ(sheet.find("<col min=\"1\""), std::string::npos);
    EXPECT_NE(styles.find("<b/>"), std::string::npos);
    EXPECT_NE(styles.find("<left style=\"thin\">"), std::string::npos);
    EXPECT_NE(styles.find("<sz val=\"14\"/>"), std::string::npos);
    EXPECT_NE(Unzip(path, "xl/workbook.xml").find("name=\"Dose_Effect\""), std::string::npos);
}

// ---- Failures ----

using Writer = std::function<bool(const CTable&, const std::string&, std::string&)>;

TEST(SpreadsheetExport, FailuresLeaveOldFileAndNoTemporaries) {
    CTable tooManyColumns;
    tooManyColumns.m_rows = {std::vector<CTableCell>(257, Cell("1"))};
    CTable tooManyRows;
    tooManyRows.m_rows.assign(65537, {Cell("1")});
    CTable tooLongText;
    tooLongText.m_rows = {{Cell(std::string(32768, 'x'))}};
    CTable fine;
    fine.m_rows = {{Cell("1")}};

    struct CCase {
        const char* m_szName;
        Writer m_writer;
        const CTable* m_table;
        const char* m_szTarget; // beside the old file; "": the old file itself
        const char* m_szError;
    };
    const CCase cases[] = {
        {"xls columns", WriteXls, &tooManyColumns, "", "257 columns"},
        {"xls rows", WriteXls, &tooManyRows, "", "65537 rows"},
        {"xls text", WriteXls, &tooLongText, "", "longer than 32767"},
        {"xlsx text", WriteXlsx, &tooLongText, "", "longer than 32767"},
        {"xls no directory", WriteXls, &fine, "missing/out.xls", "cannot create"},
        {"xlsx no directory", WriteXlsx, &fine, "missing/out.xlsx", "cannot create"},
        {"xls onto a directory", WriteXls, &fine, "subdir", "cannot replace"},
        {"xlsx onto a directory", WriteXlsx, &fine, "subdir", "cannot replace"},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.m_szName);
        CTempDir dir;
        WriteBytes(dir.File("old"), "old contents");
        fs::create_directory(dir.File("subdir"));
        const auto before = dir.Names();
        const std::string target = dir.File(*c.m_szTarget != '\0' ? c.m_szTarget : "old");
        std::string error;
        EXPECT_FALSE(c.m_writer(*c.m_table, target, error));
        EXPECT_NE(error.find(c.m_szError), std::string::npos) << error;
        EXPECT_EQ(ReadBytes(dir.File("old")), "old contents");
        EXPECT_EQ(dir.Names(), before);
    }
}

} // namespace

// Excel workbooks read into and written from the raw-data sheet.

#include "entry/excel/workbook_file.h"
#include "entry/sheet_import.h"
#include "report/table.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>
#include <xlsxwriter.h>
#include <zip.h>

#include <fstream>

namespace doseplex::entry {
namespace {

using testing_support::CTempDir;

// A workbook as a spreadsheet program writes it: shared strings, numbers,
// a boolean, a formula, a second sheet that must not be read.
std::string MakeXlsx(const CTempDir& dir) {
    const std::string path = (dir / "plate.xlsx").string();
    lxw_workbook* workbook = workbook_new(path.c_str());
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Plate");
    worksheet_write_string(sheet, 0, 0, "Dose", nullptr);
    worksheet_write_string(sheet, 0, 1, "Effect \xC2\xB5", nullptr);
    const double doses[] = {0.1, 2, 1e-7};
    const double effects[] = {0.25, 0.5, 0.75};
    for (int i = 0; i < 3; ++i) {
        worksheet_write_number(sheet, static_cast<lxw_row_t>(i + 1), 0, doses[i], nullptr);
        worksheet_write_number(sheet, static_cast<lxw_row_t>(i + 1), 1, effects[i], nullptr);
    }
    worksheet_write_boolean(sheet, 5, 3, 1, nullptr);
    worksheet_write_formula_str(sheet, 6, 3, "=\"a\"&\"b\"", nullptr, "ab");
    lxw_worksheet* other = workbook_add_worksheet(workbook, "Other");
    worksheet_write_string(other, 0, 0, "not this one", nullptr);
    EXPECT_EQ(workbook_close(workbook), LXW_NO_ERROR);
    return path;
}

TEST(Workbooks, ReadsTheFirstSheetOfAnXlsxWorkbook) {
    const CTempDir dir("doseplex-entry");
    const auto data = ReadWorkbook(MakeXlsx(dir));
    ASSERT_TRUE(data) << data.Message();
    const CSheetData& sheet = data.Value();
    EXPECT_EQ(sheet.m_nRows, 7);
    EXPECT_EQ(sheet.m_nColumns, 4);
    EXPECT_EQ(sheet.Text(1, 1), "Dose");
    EXPECT_EQ(sheet.Text(1, 2), "Effect \xC2\xB5");
    EXPECT_EQ(sheet.Text(2, 1), "0.1");
    EXPECT_EQ(sheet.Text(3, 1), "2");
    EXPECT_EQ(sheet.Text(4, 1), "1e-07");
    EXPECT_EQ(sheet.Text(4, 2), "0.75");
    EXPECT_EQ(sheet.Text(6, 4), "TRUE");
    EXPECT_EQ(sheet.Text(7, 4), "ab");
    EXPECT_EQ(sheet.m_cells.size(), 10u);

    // The selection B2..B4 goes to the current cell of the raw sheet.
    CRawSheet raw;
    ImportCellRange(raw, {5, 3}, sheet, {2, 2, 4, 2});
    EXPECT_EQ(raw.GetText(5, 3), "0.25");
    EXPECT_EQ(raw.GetText(7, 3), "0.75");
    EXPECT_EQ(raw.CellCount(), 3u);
}

TEST(Workbooks, ReadsAnXlsWorkbookOfTheProjectsOwnWriter) {
    const CTempDir dir("doseplex-entry");
    CTable table;
    table.m_rows = {
        {{"Dose"}, {"Effect"}}, {{"0.5"}, {"0.125"}}, {{}, {"12345678901"}}, {{"5 \xB5M"}}};
    const std::string path = (dir / "plate.xls").string();
    std::string error;
    ASSERT_TRUE(WriteXls(table, path, error)) << error;
    const auto data = ReadWorkbook(path);
    ASSERT_TRUE(data) << data.Message();
    EXPECT_EQ(data.Value().Text(1, 2), "Effect");
    EXPECT_EQ(data.Value().Text(2, 1), "0.5");
    EXPECT_EQ(data.Value().Text(2, 2), "0.125");
    EXPECT_EQ(data.Value().Text(3, 1), "");
    EXPECT_EQ(data.Value().Text(3, 2), "12345678901");
    EXPECT_EQ(data.Value().Text(4, 1), "5 \xC2\xB5M");

    CRawSheet raw;
    ImportCellRange(raw, {1, 1}, data.Value(), {1, 1, 4, 2});
    EXPECT_EQ(raw.GetText(2, 2), "0.125");
}

// A package written by hand with what libxlsxwriter never writes: inline
// texts, rich text with a phonetic hint, cells without a reference, an
// absolute part name.
TEST(Workbooks, ReadsInlineAndRichTexts) {
    const CTempDir dir("doseplex-entry");
    const std::string path = (dir / "hand.xlsx").string();
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    const auto add = [zip](const char* name, const std::string& text) {
        char* copy = static_cast<char*>(malloc(text.size()));
        memcpy(copy, text.data(), text.size());
        zip_source_t* source = zip_source_buffer(zip, copy, text.size(), 1);
        ASSERT_GE(zip_file_add(zip, name, source, ZIP_FL_OVERWRITE), 0);
    };
    add("xl/workbook.xml",
        R"(<workbook xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
        R"(<sheets><sheet name="A" sheetId="1" r:id="rId7"/></sheets></workbook>)");
    add("xl/_rels/workbook.xml.rels",
        R"(<Relationships><Relationship Id="rId7" Target="/xl/data/s.xml"/></Relationships>)");
    add("xl/sharedStrings.xml",
        R"(<sst><si><r><t>Ta</t></r><r><rPr/><t>xol</t></r><rPh><t>x</t></rPh></si></sst>)");
    add("xl/data/s.xml",
        R"(<worksheet><sheetData><row r="2">)"
        R"(<c t="inlineStr"><is><t>in</t></is></c>)"
        R"(<c t="s"><v>0</v></c><c r="E2" t="b"><v>0</v></c>)"
        R"(<c><v>0.10000000000000001</v></c></row>)"
        R"(<row><c r="A3" t="e"><v>#DIV/0!</v></c></row>)"
        R"(<row r="12345"><c r="AB12345"><v>5</v></c></row></sheetData></worksheet>)");
    ASSERT_EQ(zip_close(zip), 0);

    const auto data = ReadXlsxWorkbook(path);
    ASSERT_TRUE(data) << data.Message();
    EXPECT_EQ(data.Value().Text(2, 1), "in");
    EXPECT_EQ(data.Value().Text(2, 2), "Taxol");
    EXPECT_EQ(data.Value().Text(2, 5), "FALSE");
    EXPECT_EQ(data.Value().Text(2, 6), "0.1");
    EXPECT_EQ(data.Value().Text(3, 1), "#DIV/0!");
    EXPECT_EQ(data.Value().Text(12345, 28), "5");
    EXPECT_EQ(data.Value().m_nRows, 12345);
    EXPECT_EQ(data.Value().m_nColumns, 28);
}

TEST(Workbooks, RefusesWhatIsNotAWorkbook) {
    const CTempDir dir("doseplex-entry");
    std::ofstream(dir / "text.xlsx") << "Dose\tEffect\n";
    std::ofstream(dir / "text.xls") << "Dose\tEffect\n";
    for (const std::string name : {"missing.xlsx", "missing.xls", "text.xlsx", "text.xls"}) {
        const auto data = ReadWorkbook((dir / name).string());
        EXPECT_FALSE(data) << name;
        EXPECT_NE(data.Message().find("Cannot read the workbook"), std::string::npos) << name;
    }
    const std::string empty = (dir / "empty.xlsx").string();
    int error = 0;
    zip_t* zip = zip_open(empty.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    zip_dir_add(zip, "xl", 0);
    ASSERT_EQ(zip_close(zip), 0);
    EXPECT_NE(ReadWorkbook(empty).Message().find("not an .xlsx workbook"), std::string::npos);
    EXPECT_FALSE(ReadWorkbook((dir / "DATA.XLS").string()));
}

CRawSheet StyledSheet() {
    CRawSheet sheet;
    sheet.SetText(1, 1, "Dose");
    sheet.SetText(1, 2, "Effect");
    sheet.SetText(2, 1, "0.5");
    sheet.SetText(2, 2, " 0.25"); // an ODBC value: kept as text
    sheet.SetText(3, 3, "5 \xC2\xB5M");
    CCellStyle style;
    style.m_nFlags = CCellStyle::kBold;
    style.m_strFontName = "DejaVu Serif";
    style.m_nBackColour = CCellStyle::Colour(0xFF, 0xFF, 0xE0);
    style.m_borders[CCellStyle::kBottom] = {CCellBorder::kDouble, 0};
    style.m_strNumberFormat = "0.000";
    sheet.SetStyle(1, 1, style);
    sheet.SetStyle(4, 4, style); // styled, no text
    sheet.SetColumnWidth(3, 200);
    sheet.SetRowHeight(2, 40);
    return sheet;
}

TEST(Workbooks, TheSheetWrittenAsEitherKindReadsBack) {
    const CTempDir dir("doseplex-entry");
    const CRawSheet sheet = StyledSheet();
    for (const std::string name : {"out.xls", "out.xlsx"}) {
        const std::string path = (dir / name).string();
        const CStatus written =
            name == "out.xls" ? WriteXlsWorkbook(sheet, path) : WriteXlsxWorkbook(sheet, path);
        ASSERT_TRUE(written) << written.Message();
        const auto data = ReadWorkbook(path);
        ASSERT_TRUE(data) << name << ": " << data.Message();
        for (const auto& [position, cell] : sheet.Cells()) {
            EXPECT_EQ(data.Value().Text(position.first, position.second), cell.m_strText)
                << name << " " << position.first << "," << position.second;
        }
        EXPECT_EQ(data.Value().m_cells.size(), 5u) << name;
    }
    // The .xlsx carries the styles.
    int error = 0;
    zip_t* zip = zip_open((dir / "out.xlsx").c_str(), ZIP_RDONLY, &error);
    ASSERT_NE(zip, nullptr);
    zip_file_t* file = zip_fopen(zip, "xl/styles.xml", 0);
    ASSERT_NE(file, nullptr);
    std::string styles(100000, '\0');
    styles.resize(static_cast<std::size_t>(zip_fread(file, styles.data(), styles.size())));
    zip_fclose(file);
    zip_discard(zip);
    for (const char* part : {"DejaVu Serif", "FFFFFFE0", "0.000", "double", "<b/>"}) {
        EXPECT_NE(styles.find(part), std::string::npos) << part;
    }
    zip = zip_open((dir / "out.xlsx").c_str(), ZIP_RDONLY, &error);
    ASSERT_NE(zip, nullptr);
    file = zip_fopen(zip, "xl/worksheets/sheet1.xml", 0);
    ASSERT_NE(file, nullptr);
    std::string cells(100000, '\0');
    cells.resize(static_cast<std::size_t>(zip_fread(file, cells.data(), cells.size())));
    zip_fclose(file);
    zip_discard(zip);
    EXPECT_NE(cells.find("<col min=\"3\" max=\"3\""), std::string::npos) << cells;
    EXPECT_NE(cells.find("ht=\"30\""), std::string::npos) << cells; // 40 pixels
    EXPECT_FALSE(WriteXlsxWorkbook(sheet, (dir / "no" / "out.xlsx").string()));
    // Export picks the writer by the exact extension.
    ASSERT_TRUE(ExportSheetFile(sheet, (dir / "by-name.xlsx").string()));
    EXPECT_EQ(ReadWorkbook((dir / "by-name.xlsx").string()).Value().Text(3, 3), "5 \xC2\xB5M");
    ASSERT_TRUE(ExportSheetFile(sheet, (dir / "by-name.txt").string()));
    EXPECT_EQ(testing_support::ReadFile(dir / "by-name.txt"), SheetText(sheet));
    EXPECT_EQ(ExportSheetFile(sheet, (dir / "by-name.XLS").string()).Message(),
              kUnknownFileTypeMessage);
    EXPECT_FALSE(std::filesystem::exists(dir / "by-name.XLS"));
    EXPECT_FALSE(WriteXlsWorkbook(sheet, (dir / "no" / "out.xls").string()));
}

} // namespace
} // namespace doseplex::entry

// The raw sheet's text import and export, and imports of workbook ranges and
// database rows.

#include "entry/sheet_import.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace doseplex::entry {
namespace {

using testing_support::CTempDir;
using testing_support::ReadFile;

CRawSheet ImportText(const std::string& text, CCellPosition origin, CRawSheet sheet = {}) {
    std::istringstream in(text);
    ImportSheetText(in, sheet, origin);
    return sheet;
}

TEST(SheetTextImport, FieldsGoRightAndLinesDown) {
    const CRawSheet sheet = ImportText("a\tb\nc", {5, 3});
    EXPECT_EQ(sheet.GetText(5, 3), "a");
    EXPECT_EQ(sheet.GetText(5, 4), "b");
    EXPECT_EQ(sheet.GetText(6, 3), "c");
    EXPECT_EQ(sheet.CellCount(), 3u);

    // CR LF is one line end, a lone CR is one too; blanks around fields go.
    const CRawSheet crlf = ImportText(" 1.5 \t2\r\n3\r4\r\n", {1, 1});
    EXPECT_EQ(crlf.GetText(1, 1), "1.5");
    EXPECT_EQ(crlf.GetText(1, 2), "2");
    EXPECT_EQ(crlf.GetText(2, 1), "3");
    EXPECT_EQ(crlf.GetText(3, 1), "4");
    EXPECT_EQ(crlf.CellCount(), 4u);

    // Windows-1252 text arrives as UTF-8.
    EXPECT_EQ(ImportText("5 \xB5M", {1, 1}).GetText(1, 1), "5 \xC2\xB5M");
}

TEST(SheetTextImport, EmptyFieldsAreWrittenButNothingAfterTheLastLineEnd) {
    CRawSheet before;
    for (int column = 1; column <= 4; ++column) {
        before.SetText(1, column, "old");
        before.SetText(2, column, "old");
    }
    CCellStyle bold;
    bold.m_nFlags = CCellStyle::kBold;
    before.SetStyle(1, 2, bold);
    const CRawSheet sheet = ImportText("x\t\ty\t\n", {1, 1}, before);
    EXPECT_EQ(sheet.GetText(1, 1), "x");
    EXPECT_EQ(sheet.GetText(1, 2), "");
    EXPECT_EQ(sheet.GetStyle(1, 2), bold); // emptied, still formatted
    EXPECT_EQ(sheet.GetText(1, 3), "y");
    EXPECT_EQ(sheet.GetText(1, 4), "");
    EXPECT_EQ(sheet.GetText(2, 1), "old"); // the line end ends the file
    EXPECT_EQ(ImportText("", {2, 2}, before), before);
}

TEST(SheetTextImport, StopsAfterTheLastRowOrColumn) {
    const CRawSheet low = ImportText("a\tb\nc\td\ne", {999, 1});
    EXPECT_EQ(low.GetText(999, 1), "a");
    EXPECT_EQ(low.GetText(999, 2), "b");
    EXPECT_EQ(low.GetText(1000, 1), "c");
    EXPECT_EQ(low.CellCount(), 3u);

    // Past column 50 the rest of the line is dropped.
    const CRawSheet right = ImportText("a\tb\tc\r\nd\te\tf", {1, 49});
    EXPECT_EQ(right.GetText(1, 49), "a");
    EXPECT_EQ(right.GetText(1, 50), "b");
    EXPECT_EQ(right.GetText(2, 49), "d");
    EXPECT_EQ(right.GetText(2, 50), "e");
    EXPECT_EQ(right.CellCount(), 4u);
    EXPECT_EQ(ImportText("a\tb\tc", {1, 50}).CellCount(), 1u);
}

TEST(SheetTextImport, FilesByExactExtension) {
    EXPECT_EQ(SheetFileKind("/data/plate.txt"), ESheetFileKind::Text);
    EXPECT_EQ(SheetFileKind("plate.xls"), ESheetFileKind::Xls);
    EXPECT_EQ(SheetFileKind("plate.xlsx"), ESheetFileKind::Xlsx);
    EXPECT_EQ(SheetFileKind("DATA.TXT"), ESheetFileKind::Unknown);
    EXPECT_EQ(SheetFileKind("plate.csv"), ESheetFileKind::Unknown);
    EXPECT_EQ(SheetFileKind("dir.txt/plate"), ESheetFileKind::Unknown);

    const CTempDir dir("doseplex-entry");
    CRawSheet sheet;
    sheet.SetText(1, 1, "kept");
    const auto missing = ImportSheetTextFile((dir / "missing.txt").string(), sheet, {1, 1});
    EXPECT_EQ(missing.Message(), "Error opening file to import.");
    EXPECT_EQ(sheet.GetText(1, 1), "kept");

    std::ofstream(dir / "plate.txt", std::ios::binary) << "0.1\t1\r\n0.2\t2\r\n";
    ASSERT_TRUE(ImportSheetTextFile((dir / "plate.txt").string(), sheet, {3, 2}));
    EXPECT_EQ(sheet.GetText(4, 3), "2");
}

TEST(SheetTextExport, WritesEveryRowAndColumn) {
    CRawSheet sheet;
    sheet.SetText(1, 1, "Dose");
    sheet.SetText(2, 3, "5 \xC2\xB5M");
    sheet.SetText(999, 50, "last");
    sheet.SetText(1000, 1, "end");
    const std::string text = SheetText(sheet);
    const auto lines = testing_support::Lines(text);
    ASSERT_EQ(lines.size(), 1000u);
    EXPECT_EQ(lines[0], "Dose" + std::string(49, '\t'));
    EXPECT_EQ(lines[1], "\t\t5 \xB5M" + std::string(47, '\t'));
    EXPECT_EQ(lines[998], std::string(49, '\t') + "last");
    EXPECT_EQ(lines[999], "end" + std::string(49, '\t'));

    // Exported text imports back into the same cells.
    const CRawSheet back = ImportText(text, {1, 1});
    EXPECT_EQ(back.GetText(2, 3), sheet.GetText(2, 3));
    EXPECT_EQ(back.GetText(999, 50), "last");
    EXPECT_EQ(back.GetText(1000, 1), "end");
    EXPECT_EQ(back.CellCount(), 4u);

    const CTempDir dir("doseplex-entry");
    ASSERT_TRUE(ExportSheetTextFile(sheet, (dir / "out.txt").string()));
    EXPECT_EQ(ReadFile(dir / "out.txt"), text);
    EXPECT_FALSE(ExportSheetTextFile(sheet, (dir / "no" / "out.txt").string()));
}

TEST(OdbcRowImport, ValuesAfterTheFirstKeepTheirBlank) {
    const std::vector<std::string> rows{OdbcRowText({"1", "0.25", "Taxol"}),
                                        OdbcRowText({"2", "", "a\tb"})};
    EXPECT_EQ(rows[0], "1\t 0.25\t Taxol\t ");
    CRawSheet sheet;
    ImportOdbcRows(sheet, {5, 3}, 3, rows);
    EXPECT_EQ(sheet.GetText(5, 3), "1");
    EXPECT_EQ(sheet.GetText(5, 4), " 0.25");
    EXPECT_EQ(sheet.GetText(5, 5), " Taxol");
    EXPECT_EQ(sheet.GetText(6, 4), " ");
    EXPECT_EQ(sheet.GetText(6, 5), " a b");

    CRawSheet unchanged;
    unchanged.SetText(1, 1, "x");
    ImportOdbcRows(unchanged, {1, 1}, 2, {});
    EXPECT_EQ(unchanged.CellCount(), 1u);
    EXPECT_EQ(unchanged.GetText(1, 1), "x");
}

TEST(OdbcRowImport, StopsBeforeRowThousandAndColumnFifty) {
    CRawSheet sheet;
    ImportOdbcRows(sheet, {998, 1}, 2,
                   {OdbcRowText({"a", "b"}), OdbcRowText({"c", "d"}), OdbcRowText({"e", "f"})});
    EXPECT_EQ(sheet.GetText(999, 2), " d");
    EXPECT_EQ(sheet.CellCount(), 4u);
    CRawSheet right;
    ImportOdbcRows(right, {1, 48}, 3, {OdbcRowText({"a", "b", "c"}), OdbcRowText({"d"})});
    EXPECT_EQ(right.GetText(1, 49), " b");
    EXPECT_EQ(right.CellCount(), 2u);
}

TEST(WorkbookRangeImport, CopiesTheRangeToTheOrigin) {
    CSheetData source;
    source.m_nRows = 10;
    source.m_nColumns = 5;
    source.m_cells[{2, 2}] = "Dose";
    source.m_cells[{2, 3}] = "Effect";
    source.m_cells[{3, 2}] = "1";
    source.m_cells[{3, 3}] = "0.2";
    CRawSheet sheet;
    sheet.SetText(2, 2, "wiped by the empty source cell");
    ImportCellRange(sheet, {1, 1}, source, {2, 2, 4, 3});
    EXPECT_EQ(sheet.GetText(1, 1), "Dose");
    EXPECT_EQ(sheet.GetText(2, 2), "0.2");
    EXPECT_EQ(sheet.GetText(3, 1), "");
    EXPECT_EQ(sheet.CellCount(), 4u);

    CRawSheet edge;
    ImportCellRange(edge, {999, 49}, source, {2, 2, 3, 3});
    EXPECT_EQ(edge.GetText(999, 49), "Dose");
    EXPECT_EQ(edge.CellCount(), 1u);
}

} // namespace
} // namespace doseplex::entry

// Cell styles of the raw-data sheet and the stored layouts that hold them.

#include "core/archive.h"
#include "core/document.h"
#include "core/document_file.h"
#include "core/raw_sheet.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace doseplex {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes WriteSheet(const CRawSheet& sheet) {
    CArchiveWriter ar;
    sheet.Write(ar);
    return ar.Bytes();
}

// Reads a stored sheet; false (and the reason) when it is refused.
bool ReadSheet(const Bytes& bytes, CRawSheet& sheet, std::string& error) {
    try {
        CArchiveReader ar(bytes, {});
        sheet.Read(ar);
        return true;
    } catch (const CArchiveException& e) {
        error = e.what();
        return false;
    }
}

CCellStyle EveryField() {
    CCellStyle style;
    style.m_nFlags = CCellStyle::kBold | CCellStyle::kStrikeOut | CCellStyle::kWrapText;
    style.m_nFontSize = 140;
    style.m_nAlign = CCellStyle::kAlignRight;
    style.m_nVerticalAlign = CCellStyle::kAlignMiddle;
    style.m_nTextColour = CCellStyle::Colour(0xC0, 0, 0x10);
    style.m_nBackColour = CCellStyle::Colour(0xFF, 0xFF, 0xE0);
    style.m_borders[CCellStyle::kTop] = {CCellBorder::kThick, CCellStyle::Colour(0, 0, 0xFF)};
    style.m_borders[CCellStyle::kBottom] = {CCellBorder::kDouble, 0};
    style.m_strFontName = "DejaVu Sans";
    style.m_strNumberFormat = "0.00E+00";
    return style;
}

// An experiment written by the program before styles had a layout of their
// own opens with its sheet as it was, and saves to the same bytes.
TEST(SheetStyles, ExperimentsOfTheFirstLayoutOpenUnchanged) {
    const std::filesystem::path path =
        std::filesystem::path(DOSEPLEX_SOURCE_DIR) / "tests/entry/data/sheet-layout1.dpx";
    const std::string stored = testing_support::ReadFile(path);
    ASSERT_FALSE(stored.empty());
    CDoseplexDoc doc;
    std::string error;
    ASSERT_TRUE(ReadDocument(Bytes(stored.begin(), stored.end()), doc, &error)) << error;
    ASSERT_NE(doc.m_pRawData, nullptr);
    const CRawSheet& sheet = *doc.m_pRawData;
    EXPECT_EQ(sheet.CellCount(), 8u);
    EXPECT_EQ(sheet.GetText(1, 1), "Dose");
    EXPECT_EQ(sheet.GetStyle(1, 1), (CCellStyle{CCellStyle::kBold, 120, CCellStyle::kAlignCentre}));
    EXPECT_EQ(sheet.GetStyle(1, 2), (CCellStyle{CCellStyle::kBold | CCellStyle::kItalic, 0, 0}));
    EXPECT_EQ(sheet.GetText(4, 3), "5 \xC2\xB5M");
    EXPECT_EQ(sheet.GetStyle(4, 3),
              (CCellStyle{CCellStyle::kUnderline, 0, CCellStyle::kAlignRight}));
    EXPECT_EQ(sheet.GetStyle(1000, 50), (CCellStyle{0, 80, 0}));
    EXPECT_EQ(sheet.StoredVersion(), 1);
    EXPECT_EQ(doc.GetDrug(0)->m_strName, "Taxol");

    Bytes again;
    ASSERT_TRUE(WriteDocument(doc, again, &error)) << error;
    EXPECT_EQ(std::string(again.begin(), again.end()), stored);
}

TEST(SheetStyles, EveryStyleFieldSurvivesSaveAndReopenByteForByte) {
    CDoseplexDoc doc;
    doc.m_pRawData = std::make_unique<CRawSheet>();
    CRawSheet& sheet = *doc.m_pRawData;
    sheet.SetText(1, 1, "Dose");
    sheet.SetStyle(1, 1, EveryField());
    CCellStyle italic{CCellStyle::kItalic, 0, CCellStyle::kAlignLeft};
    italic.m_strFontName = "Lucida \xC3\xA9"; // a name with a character outside ASCII
    sheet.SetStyle(2, 1, italic);
    sheet.SetText(2, 2, "0.25");
    sheet.SetStyle(3, 1, EveryField());
    CCellStyle percent;
    percent.m_strNumberFormat = "0%";
    sheet.SetStyle(1000, 50, percent);
    sheet.SetHeader("Plate 7 &D");
    sheet.SetFooter("Page &P \xC2\xB5");
    EXPECT_TRUE(sheet.SetColumnWidth(50, 120));
    EXPECT_TRUE(sheet.SetRowHeight(1000, 4096));
    EXPECT_EQ(sheet.StoredVersion(), 2);

    Bytes first;
    std::string error;
    ASSERT_TRUE(WriteDocument(doc, first, &error)) << error;
    CDoseplexDoc reopened;
    ASSERT_TRUE(ReadDocument(first, reopened, &error)) << error;
    ASSERT_NE(reopened.m_pRawData, nullptr);
    EXPECT_EQ(*reopened.m_pRawData, sheet);
    Bytes second;
    ASSERT_TRUE(WriteDocument(reopened, second, &error)) << error;
    EXPECT_EQ(second, first);

    EXPECT_EQ(reopened.m_pRawData->Footer(), "Page &P \xC2\xB5");
    EXPECT_EQ(reopened.m_pRawData->ColumnWidth(50), 120);
    EXPECT_EQ(reopened.m_pRawData->RowHeight(1000), 4096);

    // Back to what layout 1 holds, the sheet is written in layout 1 again.
    EXPECT_FALSE(sheet.SetColumnWidth(51, 10));
    EXPECT_FALSE(sheet.SetRowHeight(1, 4097));
    EXPECT_FALSE(sheet.SetRowHeight(0, 10));
    sheet.SetHeader("");
    sheet.SetFooter("");
    sheet.SetColumnWidth(50, 0);
    sheet.SetRowHeight(1000, 0);
    sheet.SetStyle(1, 1, {});
    sheet.SetStyle(3, 1, {});
    sheet.SetStyle(1000, 50, {});
    italic.m_strFontName.clear();
    sheet.SetStyle(2, 1, italic);
    EXPECT_EQ(sheet.StoredVersion(), 1);
    EXPECT_EQ(WriteSheet(sheet)[0], 1);
}

// The documented bytes of layout 2: one stored style shared by two cells.
TEST(SheetStyles, SecondLayoutBytes) {
    CRawSheet sheet;
    CCellStyle style;
    style.m_nBackColour = CCellStyle::Colour(1, 2, 3);
    style.m_strNumberFormat = "0.0";
    sheet.SetStyle(1, 2, style);
    sheet.SetText(2, 1, "x");
    sheet.SetCell(3, 1, CRawCell{"y", style});
    const Bytes block = {0, 0, 0,   0,   0,  0, 0, 0,             // flags, size, alignments
                         0, 0, 0,   0,   3,  2, 1, 1,             // text colour, background
                         0, 0, 0,   0,   0,  0, 0, 0, 0, 0, 0, 0, // borders left, top
                         0, 0, 0,   0,   0,  0, 0, 0, 0, 0, 0, 0, // right, bottom
                         0, 3, '0', '.', '0'};                    // font name, number format
    Bytes content = {1, 0, 0, 0, static_cast<std::uint8_t>(block.size()), 0};
    content.insert(content.end(), block.begin(), block.end());
    const Bytes cells = {3, 0, 0, 0,               // three cells
                         1, 0, 2, 0, 0, 1,   0,    // B1, no text, style 1
                         2, 0, 1, 0, 1, 'x', 0, 0, // A2 "x", default look
                         3, 0, 1, 0, 1, 'y', 1, 0, // A3 "y", style 1
                         0, 0, 0, 0, 0, 0};        // no header, footer or sizes
    content.insert(content.end(), cells.begin(), cells.end());
    Bytes expected = {2, 0, static_cast<std::uint8_t>(content.size()), 0, 0, 0};
    expected.insert(expected.end(), content.begin(), content.end());
    EXPECT_EQ(WriteSheet(sheet), expected);
}

// Style blocks shorter or longer than this program's are read as far as
// they go; broken references and texts are refused.
TEST(SheetStyles, ReadingStyleBlocksOfOtherLengths) {
    // One style, one cell A1 "v", then the page texts and sizes (`tail`,
    // none by default) and two bytes of a later addition.
    const auto stored = [](const Bytes& block, std::uint16_t styleNumber,
                           const Bytes& tail = {0, 0, 0, 0, 0, 0}) {
        Bytes content = {1, 0, 0, 0, static_cast<std::uint8_t>(block.size()), 0};
        content.insert(content.end(), block.begin(), block.end());
        const Bytes cell = {1, 0, 0, 0, 1, 0, 1, 0, 1, 'v', static_cast<std::uint8_t>(styleNumber),
                            0};
        content.insert(content.end(), cell.begin(), cell.end());
        content.insert(content.end(), tail.begin(), tail.end());
        content.insert(content.end(), {9, 9});
        Bytes bytes = {2, 0, static_cast<std::uint8_t>(content.size()), 0, 0, 0};
        bytes.insert(bytes.end(), content.begin(), content.end());
        return bytes;
    };
    CRawSheet sheet;
    std::string error;
    ASSERT_TRUE(ReadSheet(stored({1, 0, 100, 0}, 1), sheet, error)) << error;
    EXPECT_EQ(sheet.GetStyle(1, 1), (CCellStyle{CCellStyle::kBold, 100, 0}));
    EXPECT_EQ(sheet.GetText(1, 1), "v");

    Bytes longer(40, 0);
    longer[0] = 2; // italic
    longer.insert(longer.end(), {1, 'F', 0, 7, 7, 7});
    ASSERT_TRUE(ReadSheet(stored(longer, 1), sheet, error)) << error;
    EXPECT_EQ(sheet.GetStyle(1, 1).m_nFlags, CCellStyle::kItalic);
    EXPECT_EQ(sheet.GetStyle(1, 1).m_strFontName, "F");

    // Page texts and sizes after the cells: read when there, checked.
    ASSERT_TRUE(ReadSheet(stored({1, 0}, 1, {1, 'H', 0, 1, 0, 3, 0, 40, 0, 0, 0}), sheet, error))
        << error;
    EXPECT_EQ(sheet.Header(), "H");
    EXPECT_EQ(sheet.ColumnWidth(3), 40);
    EXPECT_FALSE(ReadSheet(stored({1, 0}, 1, {0, 0, 1, 0, 51, 0, 40, 0, 0, 0}), sheet, error));
    Bytes endsAfterCells = stored({1, 0}, 1, {});
    endsAfterCells.resize(endsAfterCells.size() - 2);
    endsAfterCells[2] = static_cast<std::uint8_t>(endsAfterCells[2] - 2);
    ASSERT_TRUE(ReadSheet(endsAfterCells, sheet, error)) << error;
    EXPECT_EQ(sheet.Header(), "");

    EXPECT_FALSE(ReadSheet(stored({1, 0}, 2), sheet, error));
    EXPECT_NE(error.find("style 2 of 1"), std::string::npos) << error;
    Bytes cutText(40, 0);
    cutText.push_back(5); // a font name of five bytes with one left
    cutText.push_back('F');
    EXPECT_FALSE(ReadSheet(stored(cutText, 1), sheet, error));
}

} // namespace
} // namespace doseplex

// Copy and paste of raw-sheet cells as tab-separated text.

#include "entry/sheet_clipboard.h"

#include <gtest/gtest.h>

namespace doseplex::entry {
namespace {

TEST(SheetClipboard, PastesTabSeparatedTextFromTheOrigin) {
    const struct {
        const char* text;
        std::optional<CCellRange> range;
        std::vector<std::tuple<int, int, std::string>> cells; // at origin C5
    } cases[] = {
        {"a\tb\nc", CCellRange{5, 3, 6, 4}, {{5, 3, "a"}, {5, 4, "b"}, {6, 3, "c"}}},
        {"a\tb\r\nc\td\r\n", CCellRange{5, 3, 6, 4}, {{6, 4, "d"}}},
        {" 1.5 \t\t2\r", CCellRange{5, 3, 5, 5}, {{5, 3, " 1.5 "}, {5, 4, ""}, {5, 5, "2"}}},
        {"\"two\nlines\"\t\"say \"\"hi\"\"\"\n",
         CCellRange{5, 3, 5, 4},
         {{5, 3, "two\nlines"}, {5, 4, "say \"hi\""}}},
        {"5 \xB5M", CCellRange{5, 3, 5, 3}, {{5, 3, "5 \xC2\xB5M"}}},
        {"", std::nullopt, {}},
    };
    for (const auto& c : cases) {
        CRawSheet sheet;
        EXPECT_EQ(PasteText(sheet, {5, 3}, c.text), c.range) << c.text;
        for (const auto& [row, column, text] : c.cells) {
            EXPECT_EQ(sheet.GetText(row, column), text) << c.text;
        }
    }
}

TEST(SheetClipboard, CopiedRangesPasteBackAndStayInsideTheSheet) {
    CRawSheet sheet;
    sheet.SetText(1, 1, "Dose");
    sheet.SetText(1, 2, "a\tb");
    sheet.SetText(2, 2, "say \"hi\"");
    sheet.SetText(2, 1, "0.5");
    const std::string text = CopyRangeText(sheet, {1, 1, 2, 3});
    EXPECT_EQ(text, "Dose\t\"a\tb\"\t\r\n0.5\t\"say \"\"hi\"\"\"\t\r\n");
    CRawSheet copy;
    EXPECT_EQ(PasteText(copy, {1, 1}, text), (CCellRange{1, 1, 2, 3}));
    EXPECT_EQ(copy, sheet);

    // Pasted near the corner, what falls outside is dropped.
    CRawSheet corner;
    EXPECT_EQ(PasteText(corner, {1000, 50}, text), (CCellRange{1000, 50, 1000, 50}));
    EXPECT_EQ(corner.GetText(1000, 50), "Dose");
    EXPECT_EQ(corner.CellCount(), 1u);
    EXPECT_EQ(CopyRangeText(sheet, {1001, 1, 1002, 2}), "");
}

TEST(SheetClipboard, ClearAndFormatKeepTheOtherHalf) {
    CRawSheet sheet;
    sheet.SetText(1, 1, "x");
    sheet.SetText(2, 2, "y");
    CCellStyle bold{CCellStyle::kBold, 0, 0};
    ApplyRangeStyle(sheet, {1, 1, 2, 2}, bold);
    EXPECT_EQ(sheet.CellCount(), 4u);
    EXPECT_EQ(sheet.GetText(2, 2), "y");
    ClearRangeTexts(sheet, {1, 1, 1, 2});
    EXPECT_EQ(sheet.GetText(1, 1), "");
    EXPECT_EQ(sheet.GetStyle(1, 1), bold);
    EXPECT_EQ(sheet.GetText(2, 2), "y");
    ApplyRangeStyle(sheet, {0, 0, 5000, 5000}, {});
    ClearRangeTexts(sheet, {1, 1, 1000, 50});
    EXPECT_TRUE(sheet.IsEmpty());
}

} // namespace
} // namespace doseplex::entry

// Range references, ratio texts and the ODBC query text.

#include "entry/cell_range.h"
#include "entry/odbc_query.h"
#include "entry/ratio_text.h"

#include <gtest/gtest.h>

namespace doseplex::entry {
namespace {

TEST(RangeCheck, AcceptsOneColumnRangesOfAtLeastTwoRows) {
    const struct {
        const char* text;
        CCellRange range;
    } cases[] = {
        {"A1..A10", {1, 1, 10, 1}},
        {"a1..a10", {1, 1, 10, 1}},
        {"AB12..AB1000", {12, 28, 1000, 28}},
        {"zz9998..ZZ9999", {9998, 702, 9999, 702}},
        {"B9..B2", {2, 2, 9, 2}}, // corners in either order
    };
    for (const auto& c : cases) {
        const auto result = CheckDataRange(c.text, "Effect");
        ASSERT_TRUE(result) << c.text << ": " << result.Message();
        EXPECT_EQ(result.Value(), c.range) << c.text;
    }
}

TEST(RangeCheck, RefusesWithTheMessageOfTheFirstFault) {
    const std::string format = "Error with Taxol range (format should be $$nn..$$nn)";
    const std::string oneColumn =
        format + " \nThe data must be arranged in columns and can only be 1 column wide";
    const std::string twoPoints =
        format + " \nThe data must be arranged in columns and there must be at least 2 data points";
    const struct {
        const char* text;
        const std::string& message;
    } cases[] = {{"A1:A10", format},     {"A1..B10", oneColumn},
                 {"A1..A1", twoPoints},  {"1A..2A", format},
                 {"ABC1..ABC9", format}, {"A12345..A12350", format},
                 {"", format},           {"A1..", format},
                 {"A1 ..A10", format},   {"A1..A10..A12", format},
                 {"A1..A10x", format},   {"A..A10", format},
                 {"B2..C2", oneColumn},  {"AB12..AC1000", oneColumn}};
    for (const auto& c : cases) {
        const auto result = CheckDataRange(c.text, "Taxol");
        EXPECT_FALSE(result) << c.text;
        EXPECT_EQ(result.Message(), c.message) << c.text;
    }
}

TEST(RangeReference, ColumnNamesAndReferencesRoundTrip) {
    EXPECT_EQ(ColumnName(1), "A");
    EXPECT_EQ(ColumnName(26), "Z");
    EXPECT_EQ(ColumnName(27), "AA");
    EXPECT_EQ(ColumnName(50), "AX");
    EXPECT_EQ(ColumnName(702), "ZZ");
    EXPECT_EQ(ColumnName(0), "");
    for (const CCellRange range :
         {CCellRange{1, 1, 12, 1}, CCellRange{3, 3, 3, 3}, CCellRange{5, 27, 1000, 50}}) {
        const std::string text = RangeReference(range);
        EXPECT_EQ(ParseRangeReference(text), range) << text;
    }
    EXPECT_EQ(RangeReference({2, 2, 9, 4}), "B2..D9");
    EXPECT_LE(RangeReference({1000, 49, 1000, 50}).size(), 20u);
    EXPECT_EQ(ImportOrigin(std::nullopt), (CCellPosition{1, 1}));
    EXPECT_EQ(ImportOrigin(CCellPosition{5, 3}), (CCellPosition{5, 3}));
}

TEST(RatioText, ParsesOnePositivePiecePerDrug) {
    const struct {
        const char* text;
        int count;
        std::vector<double> values; // empty: refused
    } cases[] = {
        {"1:1:1", 3, {1, 1, 1}}, {"1:2:3:4", 3, {1, 2, 3}}, {" 1 : 2.5 : 3e1 ", 3, {1, 2.5, 30}},
        {"2:1", 2, {2, 1}},      {"1 : 2 : 0", 3, {}},      {"1:2", 3, {}},
        {"1:2:", 3, {}},         {"1::2", 3, {}},           {"", 2, {}},
        {"a:b", 2, {}},          {"1:-2", 2, {}},           {"2x:1", 2, {}},
        {"1:nan", 2, {}},
    };
    for (const auto& c : cases) {
        const auto result = ParseRatioText(c.text, c.count);
        if (c.values.empty()) {
            ASSERT_FALSE(result) << c.text;
            EXPECT_EQ(result.Message(), kRatioFormatMessage);
            EXPECT_EQ(result.Message(), "Ratio must be entered in the format n : n : n (spacing "
                                        "optional).  No zero values are allowed.");
        } else {
            ASSERT_TRUE(result) << c.text;
            EXPECT_EQ(result.Value(), c.values) << c.text;
        }
    }
    EXPECT_TRUE(CheckRatioEntries({1, 0.5, 1e10}));
    EXPECT_EQ(CheckRatioEntries({1, 0}).Message(), kRatioFormatMessage);
    EXPECT_FALSE(CheckRatioEntries({-1, 2}));
    EXPECT_EQ(DefaultRatioText(3), "1:1:1");
    EXPECT_EQ(RatioEntriesText({1, 2.5, 3}), "1: 2.5: 3");
    EXPECT_EQ(SelectedDrugsText({"Taxol", "Cisplatin"}), "Taxol : Cisplatin");
}

TEST(OdbcQuery, BuildsTheSelectFromTheChosenFields) {
    const std::vector<std::string> fields{"Well", "Dose", "Effect"};
    EXPECT_EQ(BuildFieldQuery("Assay", fields, {false, true, true}),
              "select [Dose], [Effect]\n from [Assay]");
    EXPECT_EQ(BuildFieldQuery("Assay", fields, {true, true, true}), "select *\n from [Assay]");
    EXPECT_EQ(BuildFieldQuery("Assay", fields, {false, false, false}), "");
    EXPECT_EQ(BuildFieldQuery("Plate 1", fields, {true, false, false}),
              "select [Well]\n from [Plate 1]");
    EXPECT_EQ(BuildFieldQuery("Assay", {"Dose", "a\"b"}, {false, true}, "\"", "\""),
              "select \"a\"\"b\"\n from \"Assay\"");
}

} // namespace
} // namespace doseplex::entry

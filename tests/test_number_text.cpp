#include "core/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

namespace {

using namespace doseplex;

TEST(NumberText, DecimalPrefixes) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* text;
        bool number;
        double value;
        size_t length;
    };
    const Case cases[] = {
        {"1.5e-3x", true, 0.0015, 6},
        {"-2", true, -2.0, 2},
        {"+.5", true, 0.5, 3},
        {"7.", true, 7.0, 2},
        {"3e", true, 3.0, 1},
        {"3e+", true, 3.0, 1},
        {"1E2", true, 100.0, 3},
        {"1e999", true, inf, 5},
        {"-1e999", true, -inf, 6},
        {"0.0001e400", true, inf, 10},
        {"1e-999", true, 0.0, 6},
        {"1000e-330", true, 0.0, 9},
        {"0e99999", true, 0.0, 7},
        {"5e99999999999999999999", true, inf, 22},
        {"", false, 0, 0},
        {".", false, 0, 0},
        {"-", false, 0, 0},
        {"inf", false, 0, 0},
        {"nan", false, 0, 0},
        {" 1", false, 0, 0},
        {"0x1p3", true, 0.0, 1},
        {"+-1", false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto result = ReadDecimal(c.text);
        ASSERT_EQ(result.has_value(), c.number);
        if (c.number) {
            EXPECT_EQ(result->value, c.value);
            EXPECT_EQ(result->length, c.length);
        }
    }
}

TEST(NumberText, WholeTextsWhateverTheLocale) {
    // A locale with a decimal comma must not change what a text means.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(ParseDecimal("0.25"), 0.25);
    EXPECT_EQ(ParseDecimal("0,25"), std::nullopt);
    EXPECT_EQ(ParseDecimal("1e999"), std::nullopt) << "not finite";
    EXPECT_EQ(ParseDecimal("2 "), std::nullopt);
    EXPECT_EQ(ParseDecimal("-0.125e1"), -1.25);
    std::setlocale(LC_NUMERIC, saved.c_str());

    EXPECT_EQ(ParseInteger("42"), 42);
    EXPECT_EQ(ParseInteger("+42"), 42);
    EXPECT_EQ(ParseInteger("-7"), -7);
    for (const char* bad : {"", "+", "-", "++1", "+-1", "1.0", "12a", "99999999999999999999"}) {
        EXPECT_EQ(ParseInteger(bad), std::nullopt) << bad;
    }
}

} // namespace

#include "entry/number_text.h"

#include "core/number_text.h"

#include <charconv>
#include <cstdio>

namespace doseplex::entry {

namespace {

bool IsBlank(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f';
}

} // namespace

std::optional<double> ParseNumberText(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    // Plain decimal forms only: hexadecimal, "inf" and "nan" are no dose or
    // effect.
    return ParseDecimal(text);
}

double CellNumber(std::string_view text) {
    return ParseNumberText(text).value_or(0.0);
}

std::string DoseCellText(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.13g", value);
    return buffer;
}

std::string ShortestNumberText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace doseplex::entry

#include "entry/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <locale.h>
#include <stdlib.h>

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
    // Plain decimal forms only; strtod would also take hexadecimal, "inf" and
    // "nan", none of which is a dose or an effect.
    if (text.empty() || text.find_first_not_of("0123456789+-.eE") != std::string_view::npos) {
        return std::nullopt;
    }
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    const std::string copy(text);
    char* end = nullptr;
    const double value = strtod_l(copy.c_str(), &end, cLocale);
    if (end != copy.c_str() + copy.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
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

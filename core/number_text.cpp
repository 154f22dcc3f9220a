#include "core/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace doseplex {

namespace {

bool IsDigit(std::string_view text, std::size_t at) {
    return at < text.size() && text[at] >= '0' && text[at] <= '9';
}

// For a number the conversion found out of range: infinity when its first
// significant digit stands at or above the units place once the exponent is
// applied (an overflow), else 0 (an underflow).
double OutOfRange(std::string_view number) {
    const std::size_t e = number.find_first_of("eE");
    const std::string_view mantissa = number.substr(0, e);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) {
        return 0.0;
    }
    // The power of ten of the first significant digit.
    long long position = first < point ? static_cast<long long>(point - first) - 1
                                       : -static_cast<long long>(first - point);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view digits = number.substr(e + 1);
        const bool negative = digits.front() == '-';
        if (digits.front() == '+' || negative) {
            digits.remove_prefix(1);
        }
        // An exponent beyond long long is beyond any double either way.
        constexpr long long kHuge = 1LL << 40;
        if (std::from_chars(digits.data(), digits.data() + digits.size(), exponent).ec !=
                std::errc() ||
            exponent > kHuge) {
            exponent = kHuge;
        }
        exponent = negative ? -exponent : exponent;
    }
    return position + exponent >= 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

} // namespace

std::optional<CDecimalPrefix> ReadDecimal(std::string_view text) {
    std::size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    const std::size_t start = i;
    std::size_t digits = 0;
    while (IsDigit(text, i)) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (IsDigit(text, i)) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t e = i + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-')) {
            ++e;
        }
        if (IsDigit(text, e)) {
            i = e;
            while (IsDigit(text, i)) {
                ++i;
            }
        }
    }
    // The syntax is checked above, so the conversion sees a plain unsigned
    // decimal number.
    const std::string_view number = text.substr(start, i - start);
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        value = OutOfRange(number);
    }
    return CDecimalPrefix{negative ? -value : value, i};
}

std::optional<double> ParseDecimal(std::string_view text) {
    const auto number = ReadDecimal(text);
    if (!number || number->length != text.size() || !std::isfinite(number->value)) {
        return std::nullopt;
    }
    return number->value;
}

std::optional<long long> ParseInteger(std::string_view text) {
    std::string_view digits = text;
    const bool plus = !digits.empty() && digits.front() == '+';
    if (plus) {
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.front() == '+' || (plus && digits.front() == '-')) {
        return std::nullopt;
    }
    long long value = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec != std::errc() || result.ptr != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace doseplex

#pragma once

// The one reader of numbers written as text (import files, settings, typed
// cells, command-line values). Decimal forms only, in the C locale whatever
// the process's locale: no blanks inside, no hexadecimal, infinity or NaN.

#include <cstddef>
#include <optional>
#include <string_view>

namespace doseplex {

struct CDecimalPrefix {
    double value = 0.0;
    std::size_t length = 0; // characters taken from the start of the text
};

// The decimal number at the very start of `text`: an optional sign, digits
// with an optional decimal point (at least one digit), then an exponent when
// digits follow the 'e'. A value too large for a double gives infinity, one
// too small 0. Nothing when the text does not start with a number.
std::optional<CDecimalPrefix> ReadDecimal(std::string_view text);

// The whole text as a finite decimal number, or nothing.
std::optional<double> ParseDecimal(std::string_view text);

// The whole text as an integer (optional sign, decimal digits) within the
// range of long long, or nothing.
std::optional<long long> ParseInteger(std::string_view text);

} // namespace doseplex

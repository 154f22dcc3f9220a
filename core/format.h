#pragma once

#include <string>

namespace doseplex {

// The one number formatter of reports, dialogs and graph titles.
//  - autoExponent set and value outside the open interval (0.0001, 10000):
//    "%.*g" with `precision` significant digits;
//  - otherwise "%.*f" with `precision` decimals;
//  - a negative precision prints with plain "%g".
// The text never exceeds 29 characters. A fixed-point text that would not
// fit (a huge value without autoExponent) is printed in "%g" form instead of
// being cut off, so a number is never shown with digits missing.
std::string FormatNumber(double value, int precision, bool autoExponent);

} // namespace doseplex

#pragma once

// Pieces shared by the report builders: line ends, the two rule lines and the
// number forms every table uses.

#include "core/format.h"

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace doseplex::report_text {

inline constexpr std::string_view kLineEnd = "\r\n";
inline constexpr std::size_t kLongRuleLength = 100;
inline constexpr std::size_t kShortRuleLength = 50;

// `line` followed by CR LF.
inline void AppendLine(std::string& text, std::string_view line) {
    text += line;
    text += kLineEnd;
}

// The pieces one after the other, then CR LF.
inline void AppendLine(std::string& text, std::initializer_list<std::string_view> pieces) {
    for (const std::string_view piece : pieces) {
        text += piece;
    }
    text += kLineEnd;
}

// A TAB and `cell`: the next column of a line being built.
inline void AppendCell(std::string& line, std::string_view cell) {
    line += '\t';
    line += cell;
}

inline void AppendLongRule(std::string& text) {
    text.append(kLongRuleLength, '-');
    text += kLineEnd;
}

inline void AppendShortRule(std::string& text) {
    text.append(kShortRuleLength, '-');
    text += kLineEnd;
}

// `precision` digits, switching to exponent form outside (0.0001, 10000);
// a negative precision gives the plain "%g" form.
inline std::string Fmt(double value, int precision) {
    return FormatNumber(value, precision, true);
}

// `precision` decimals, never in exponent form.
inline std::string Fix(double value, int precision) {
    return FormatNumber(value, precision, false);
}

} // namespace doseplex::report_text

#include "report/table.h"

#include <cmath>
#include <locale.h>
#include <stdlib.h>

namespace doseplex {

bool CellTextIsNumber(const std::string& text, double& value) {
    // Plain decimal forms only: no blanks, hexadecimal, infinity or NaN.
    if (text.empty() || text.find_first_not_of("0123456789+-.eE") != std::string::npos) {
        return false;
    }
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    char* end = nullptr;
    const double parsed = strtod_l(text.c_str(), &end, cLocale);
    if (end != text.c_str() + text.size() || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

} // namespace doseplex

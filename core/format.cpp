#include "core/format.h"

#include <algorithm>
#include <cstdio>

namespace doseplex {

namespace {
constexpr int kBufferSize = 30;
// Significant digits beyond which a double carries no more information;
// also keeps the "%g" fallback well inside the buffer.
constexpr int kMaxSignificant = 17;
} // namespace

std::string FormatNumber(double value, int precision, bool autoExponent) {
    char buffer[kBufferSize];
    int written = 0;
    if (precision < 0) {
        written = std::snprintf(buffer, sizeof buffer, "%g", value);
    } else if (autoExponent && !(value > 0.0001 && value < 10000.0)) {
        written = std::snprintf(buffer, sizeof buffer, "%0.*g", precision, value);
    } else {
        written = std::snprintf(buffer, sizeof buffer, "%0.*f", precision, value);
    }
    if (written < 0 || written >= kBufferSize) {
        const int digits = std::clamp(precision, 1, kMaxSignificant);
        written = std::snprintf(buffer, sizeof buffer, "%0.*g", digits, value);
    }
    return std::string(buffer, static_cast<size_t>(std::clamp(written, 0, kBufferSize - 1)));
}

} // namespace doseplex

#include "entry/ratio_text.h"

#include "entry/number_text.h"

#include <cmath>
#include <cstdio>

namespace doseplex::entry {

CResult<std::vector<double>> ParseRatioText(std::string_view text, int count) {
    const CStatus refused = CStatus::Fail(std::string(kRatioFormatMessage));
    std::vector<double> values;
    for (int i = 0; i < count; ++i) {
        if (text.empty()) {
            return refused;
        }
        const std::size_t colon = text.find(':');
        const std::string_view piece = text.substr(0, colon);
        const auto value = ParseNumberText(piece);
        // Zero makes every dose of the other components 0, and a negative
        // part a negative dose: neither describes a mixture.
        if (piece.empty() || !value || *value <= 0.0) {
            return refused;
        }
        values.push_back(*value);
        text = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    }
    return values;
}

CStatus CheckRatioEntries(const std::vector<double>& ratio) {
    for (const double entry : ratio) {
        if (!(entry > 0.0) || !std::isfinite(entry)) {
            return CStatus::Fail(std::string(kRatioFormatMessage));
        }
    }
    return CStatus::Ok();
}

std::string DefaultRatioText(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += i == 0 ? "1" : ":1";
    }
    return text;
}

std::string RatioEntriesText(const std::vector<double>& ratio) {
    std::string text;
    for (std::size_t i = 0; i < ratio.size(); ++i) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%g", ratio[i]);
        text += (i == 0 ? "" : ": ") + std::string(buffer);
    }
    return text;
}

std::string SelectedDrugsText(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : " : ") + names[i];
    }
    return text;
}

} // namespace doseplex::entry

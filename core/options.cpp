#include "core/options.h"

#include "core/format.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace doseplex {

namespace {

using A = CAnalysisOptions;
using G = CGraphOptions;
constexpr auto kR = EOptionSection::ReportDefaults;
constexpr auto kG = EOptionSection::GraphOptions;

constexpr COptionInfo Int(std::string_view key, int A::*field, double def, double lo, double hi) {
    return {key, kR, true, def, lo, hi, false, 0.0, false, 0.0, field, nullptr, nullptr};
}
constexpr COptionInfo Dec(std::string_view key, double A::*field, double def, double hi,
                          double readMax, bool inclusive, double replacement) {
    return {key,     kR,        false,       def,     0.0,   hi,     true,
            readMax, inclusive, replacement, nullptr, field, nullptr};
}
constexpr COptionInfo Graph(std::string_view key, int G::*field, double def, double lo, double hi) {
    return {key, kG, true, def, lo, hi, false, 0.0, false, 0.0, nullptr, nullptr, field};
}

constexpr std::array kOptions = {
    Int("MonteCarlo", &A::m_nMonteCarlo, 0, 0, 1),
    Int("ErrorBand", &A::m_nErrorBand, 1, 0, 1),
    Int("NonExCI", &A::m_nNonExCI, 1, 0, 1),
    Int("DRI", &A::m_nDRI, 1, 0, 1),
    Int("EffectTable", &A::m_nEffectTable, 1, 0, 1),
    Int("GraphRepeats", &A::m_nGraphRepeats, 100, 0, 32767),
    Int("ReportRepeats", &A::m_nReportRepeats, 200, 0, 32767),
    Dec("EffectEnd", &A::m_dEffectEnd, 0.95, 1, 1, false, 0.95),
    Dec("EffectFirst", &A::m_dEffectFirst, 0.02, 1, 1, false, 0.02),
    Dec("EffectLast", &A::m_dEffectLast, 0.99, 1, 1, false, 0.99),
    Dec("EffectStart", &A::m_dEffectStart, 0.05, 1, 1, false, 0.05),
    Dec("EffectStep", &A::m_dEffectStep, 0.05, 1, 1, false, 0.05),
    Dec("Effect1", &A::m_dEffect1, 0.50, 1, 1, false, 0.7),
    Dec("Effect2", &A::m_dEffect2, 0.75, 1, 2, false, 0.9),
    Dec("Effect3", &A::m_dEffect3, 0.90, 1, 3, false, 0.95),
    Dec("sdMultiple", &A::m_dSdMultiple, 1.96, 10, 5, true, 1.0),
    Graph("GraphsPerRow", &G::m_nGraphsPerRow, 2, 1, 4),
    Graph("GraphsPerPage", &G::m_nGraphsPerPage, 6, 1, 6),
    Graph("LogPlots", &G::m_nLogPlots, 1, 0, 1),
    Graph("ConservativeIso", &G::m_nConservativeIso, 1, 0, 1),
    Graph("ColourPrint", &G::m_nColourPrint, 1, 0, 1),
    Graph("NonExclusiveCI", &G::m_nNonExclusiveCI, 1, 0, 1),
    Graph("CILine", &G::m_nCILine, 1, 0, 1),
    Graph("CIPoints", &G::m_nCIPoints, 1, 0, 1),
};

} // namespace

std::span<const COptionInfo> OptionTable() {
    return kOptions;
}

const COptionInfo* FindOption(std::string_view key) {
    for (const auto& info : kOptions) {
        if (info.key == key) {
            return &info;
        }
    }
    return nullptr;
}

double GetOptionValue(const COptionInfo& info, const CAnalysisOptions& analysis,
                      const CGraphOptions& graph) {
    if (info.analysisInt) {
        return analysis.*info.analysisInt;
    }
    if (info.analysisDouble) {
        return analysis.*info.analysisDouble;
    }
    return graph.*info.graphInt;
}

void SetOptionValue(const COptionInfo& info, double value, CAnalysisOptions& analysis,
                    CGraphOptions& graph) {
    if (info.analysisInt) {
        analysis.*info.analysisInt = static_cast<int>(value);
    } else if (info.analysisDouble) {
        analysis.*info.analysisDouble = value;
    } else {
        graph.*info.graphInt = static_cast<int>(value);
    }
}

std::string ValidateOptionValue(const COptionInfo& info, double value) {
    const bool inRange = value >= info.dialogMin && value <= info.dialogMax;
    if (info.integer) {
        if (inRange && value == std::floor(value)) {
            return {};
        }
        return "Please enter an integer between " + FormatNumber(info.dialogMin, -1, false) +
               " and " + FormatNumber(info.dialogMax, -1, false) + ".";
    }
    if (inRange) {
        return {};
    }
    return "Please enter a number between " + FormatNumber(info.dialogMin, -1, false) + " and " +
           FormatNumber(info.dialogMax, -1, false) + ".";
}

std::string RepeatCountProblem(std::string_view key, const CAnalysisOptions& analysis) {
    const COptionInfo* info = FindOption(key);
    if (info == nullptr) {
        return {};
    }
    const double value = GetOptionValue(*info, analysis, CGraphOptions{});
    if (ValidateOptionValue(*info, value).empty()) {
        return {};
    }
    return std::string(key) + " is " + std::to_string(static_cast<long long>(value)) +
           ", outside its range " + FormatNumber(info->dialogMin, -1, false) + " to " +
           FormatNumber(info->dialogMax, -1, false);
}

double ApplyReadRange(const COptionInfo& info, double value) {
    if (!info.rangeChecked) {
        return value;
    }
    const bool kept =
        value > 0.0 && (info.readMaxInclusive ? value <= info.readMax : value < info.readMax);
    return kept ? value : info.replacement;
}

} // namespace doseplex

namespace doseplex {

int EffectLevelCount(const CAnalysisOptions& options) {
    constexpr int kMaxLevels = 40;
    if (options.m_dEffectStep <= 0.0) {
        return 2;
    }
    // The 1e-10 keeps a quotient such as 17.999... from losing the last step.
    const double steps =
        std::floor((options.m_dEffectEnd - options.m_dEffectStart) / options.m_dEffectStep + 1e-10);
    // A range that ends before it starts still tabulates the first and last level.
    if (!(steps >= -1.0)) {
        return 2;
    }
    return static_cast<int>(std::min(steps + 3.0, static_cast<double>(kMaxLevels)));
}

double EffectLevel(const CAnalysisOptions& options, int i, int count) {
    if (i == 0) {
        return options.m_dEffectFirst;
    }
    if (i == count - 1) {
        return options.m_dEffectLast;
    }
    return options.m_dEffectStart + (i - 1) * options.m_dEffectStep;
}

} // namespace doseplex

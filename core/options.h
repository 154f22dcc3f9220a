#pragma once

#include <span>
#include <string>
#include <string_view>

namespace doseplex {

// The per-experiment analysis options, one field per settings key of the
// "ReportDefaults" section, in the order the experiment file stores them.
struct CAnalysisOptions {
    int m_nMonteCarlo = 0;
    int m_nErrorBand = 1;
    int m_nNonExCI = 1;
    int m_nDRI = 1;
    int m_nEffectTable = 1;
    int m_nGraphRepeats = 100;
    int m_nReportRepeats = 200;
    double m_dEffectEnd = 0.95;
    double m_dEffectFirst = 0.02;
    double m_dEffectLast = 0.99;
    double m_dEffectStart = 0.05;
    double m_dEffectStep = 0.05;
    double m_dEffect1 = 0.50;
    double m_dEffect2 = 0.75;
    double m_dEffect3 = 0.90;
    double m_dSdMultiple = 1.96;

    bool operator==(const CAnalysisOptions&) const = default;
};

// The per-experiment graph options ("GraphOptions" section), in file order.
struct CGraphOptions {
    int m_nGraphsPerRow = 2;
    int m_nGraphsPerPage = 6;
    int m_nLogPlots = 1;
    int m_nConservativeIso = 1;
    int m_nColourPrint = 1;
    int m_nNonExclusiveCI = 1;
    int m_nCILine = 1;
    int m_nCIPoints = 1;

    bool operator==(const CGraphOptions&) const = default;
};

enum class EOptionSection { ReportDefaults, GraphOptions };

// Describes one option: its settings key, where it lives, its default, the
// range the Options and Graph View Setup dialogs accept, and for the decimal
// analysis options the range kept when defaults are read from the store.
struct COptionInfo {
    std::string_view key;
    EOptionSection section;
    bool integer;
    double defaultValue;
    double dialogMin; // inclusive
    double dialogMax; // inclusive
    // Decimal analysis options only: a stored default x is kept when
    // 0 < x < readMax (x <= readMax when readMaxInclusive), else replaced.
    bool rangeChecked;
    double readMax;
    bool readMaxInclusive;
    double replacement;

    int CAnalysisOptions::*analysisInt;
    double CAnalysisOptions::*analysisDouble;
    int CGraphOptions::*graphInt;
};

// Every analysis option, then every graph option, in file order.
std::span<const COptionInfo> OptionTable();

// The option with this settings key (exact spelling), or null.
const COptionInfo* FindOption(std::string_view key);

double GetOptionValue(const COptionInfo& info, const CAnalysisOptions& analysis,
                      const CGraphOptions& graph);
void SetOptionValue(const COptionInfo& info, double value, CAnalysisOptions& analysis,
                    CGraphOptions& graph);

// The dialogs' check of one value: empty when accepted, otherwise the
// standard range message ("Please enter an integer between 0 and 32767.").
std::string ValidateOptionValue(const COptionInfo& info, double value);

// A repeat count that sizes the Monte Carlo work (ReportRepeats, GraphRepeats)
// and lies outside the Options dialog's range, as stored in a file or a
// settings store the dialog never saw: "ReportRepeats is 2147483647, outside
// its range 0 to 32767". Empty when the count is in range.
std::string RepeatCountProblem(std::string_view key, const CAnalysisOptions& analysis);

// The reading rule for stored defaults: the value itself when inside the kept
// range, otherwise the replacement. Integers and graph options pass unchanged.
double ApplyReadRange(const COptionInfo& info, double value);

} // namespace doseplex

namespace doseplex {

// Number of effect levels that tables tabulate: EffectFirst, the range
// EffectStart..EffectEnd in steps of EffectStep, then EffectLast; at most 40.
int EffectLevelCount(const CAnalysisOptions& options);

// The i-th of `count` effect levels.
double EffectLevel(const CAnalysisOptions& options, int i, int count);

} // namespace doseplex

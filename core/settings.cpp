#include "core/settings.h"

#include "core/document.h"
#include "core/encoding.h"
#include "core/file_io.h"
#include "core/number_text.h"
#include "core/settings_store.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

namespace doseplex {

namespace {

// The shortest text that reads back as `value` (a key default).
std::string ShortestText(double value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// A value rounded to whole units, kept inside the range of long.
long SaturatedRound(double value) {
    constexpr double kMax = 9.0e15; // well inside long on every platform we build
    if (std::isnan(value)) {
        return 0;
    }
    if (value > kMax) {
        return static_cast<long>(kMax);
    }
    if (value < -kMax) {
        return -static_cast<long>(kMax);
    }
    return std::lround(value);
}

// The first `count` characters of a UTF-8 text (a cut never splits one).
std::string FirstCharacters(const std::string& text, size_t count) {
    size_t i = 0;
    for (size_t characters = 0; characters < count && i < text.size(); ++characters) {
        char32_t cp = 0;
        // A malformed byte counts as one character of its own.
        i += std::max<size_t>(DecodeUtf8(text, i, cp), 1);
    }
    return text.substr(0, i);
}

CFontDescription LoadFont(const IKeyValueStore& store, std::string_view section) {
    CFontDescription font;
    font.m_nHeight = store.ReadInt(section, "Height", 0);
    if (font.m_nHeight == 0) {
        return font;
    }
    font.m_nWeight = store.ReadInt(section, "Weight", 0);
    font.m_nItalic = store.ReadInt(section, "Italic", 0);
    font.m_nUnderline = store.ReadInt(section, "Underline", 0);
    font.m_nPitchAndFamily = store.ReadInt(section, "PitchAndFamily", 0);
    font.m_strFaceName = FirstCharacters(store.ReadString(section, "FaceName", "System"), 31);
    return font;
}

void SaveFont(const CFontDescription& font, const CFontDescription& loaded, IKeyValueStore& store,
              std::string_view section) {
    if (font.m_nHeight != loaded.m_nHeight) {
        store.WriteInt(section, "Height", font.m_nHeight);
    }
    if (font.m_nHeight == 0) {
        return;
    }
    // With a loaded height of 0 the other keys were never read, so the copy
    // says nothing about what the store holds.
    const bool writeAll = loaded.m_nHeight == 0;
    const auto writeInt = [&](std::string_view key, int value, int old) {
        if (writeAll || value != old) {
            store.WriteInt(section, key, value);
        }
    };
    writeInt("Weight", font.m_nWeight, loaded.m_nWeight);
    writeInt("Italic", font.m_nItalic, loaded.m_nItalic);
    writeInt("Underline", font.m_nUnderline, loaded.m_nUnderline);
    writeInt("PitchAndFamily", font.m_nPitchAndFamily, loaded.m_nPitchAndFamily);
    if (writeAll || font.m_strFaceName != loaded.m_strFaceName) {
        store.WriteString(section, "FaceName", font.m_strFaceName);
    }
}

std::optional<CFieldProblem> CheckFields(std::span<const std::string_view> keys,
                                         const CAnalysisOptions& analysis,
                                         const CGraphOptions& graph) {
    for (const std::string_view key : keys) {
        const COptionInfo* info = FindOption(key);
        std::string message = ValidateOptionValue(*info, GetOptionValue(*info, analysis, graph));
        if (!message.empty()) {
            return CFieldProblem{info->key, std::move(message)};
        }
    }
    return std::nullopt;
}

} // namespace

std::string CheckSettingsFile(const std::string& path, bool mayBeMissing) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno == ENOENT && mayBeMissing ? std::string() : std::strerror(errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return "it is a folder";
    }
    if (!S_ISREG(info.st_mode)) {
        return "it is not a regular file";
    }
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxSettingsFileBytes) {
        return InputTooLargeText(kMaxSettingsFileBytes);
    }
    if (::access(path.c_str(), R_OK) != 0) {
        return std::strerror(errno);
    }
    return {};
}

// --- Option defaults ---------------------------------------------------------

double ParseStoredDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    // No number at all, or one beyond the range of double: either way a value
    // that the range checks replace.
    const auto number = ReadDecimal(text.substr(i));
    return number && std::isfinite(number->value) ? number->value : 0.0;
}

std::string FormatStoredDecimal(double value) {
    // Large enough for "%.6f" of the largest double.
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, 6);
    return std::string(buffer.data(), result.ptr);
}

void LoadReportDefaults(CDoseplexDoc& doc, const IKeyValueStore& store) {
    for (const COptionInfo& info : OptionTable()) {
        if (info.section != EOptionSection::ReportDefaults) {
            continue;
        }
        double value = 0.0;
        if (info.integer) {
            value = store.ReadInt(kSectionReportDefaults, info.key,
                                  static_cast<int>(info.defaultValue));
        } else {
            value = ParseStoredDecimal(store.ReadString(kSectionReportDefaults, info.key,
                                                        ShortestText(info.defaultValue)));
        }
        SetOptionValue(info, ApplyReadRange(info, value), doc.m_analysis, doc.m_graph);
    }
}

void SaveReportDefaults(const CDoseplexDoc& doc, IKeyValueStore& store) {
    for (const COptionInfo& info : OptionTable()) {
        if (info.section != EOptionSection::ReportDefaults) {
            continue;
        }
        const double value = GetOptionValue(info, doc.m_analysis, doc.m_graph);
        if (info.integer) {
            store.WriteInt(kSectionReportDefaults, info.key, static_cast<int>(value));
        } else {
            store.WriteString(kSectionReportDefaults, info.key, FormatStoredDecimal(value));
        }
    }
}

void LoadGraphOptions(CDoseplexDoc& doc, const IKeyValueStore& store) {
    for (const COptionInfo& info : OptionTable()) {
        if (info.section == EOptionSection::GraphOptions) {
            const int value =
                store.ReadInt(kSectionGraphOptions, info.key, static_cast<int>(info.defaultValue));
            SetOptionValue(info, value, doc.m_analysis, doc.m_graph);
        }
    }
}

void SaveGraphOptions(const CDoseplexDoc& doc, IKeyValueStore& store) {
    for (const COptionInfo& info : OptionTable()) {
        if (info.section == EOptionSection::GraphOptions) {
            store.WriteInt(kSectionGraphOptions, info.key,
                           static_cast<int>(GetOptionValue(info, doc.m_analysis, doc.m_graph)));
        }
    }
}

std::unique_ptr<CDoseplexDoc> NewDocumentFromStore(const IKeyValueStore& store) {
    auto doc = std::make_unique<CDoseplexDoc>();
    LoadReportDefaults(*doc, store);
    LoadGraphOptions(*doc, store);
    return doc;
}

// --- Page margins --------------------------------------------------------------

CPageSetup LoadPageSetup(const IKeyValueStore& store) {
    CPageSetup setup;
    CStoredMargins& stored = setup.m_loaded;
    stored.m_bMetric = store.ReadInt(kSectionPageSetup, "Metric", 0) != 0;
    stored.m_nTop = store.ReadInt(kSectionPageSetup, "TopMargin", 50);
    stored.m_nRight = store.ReadInt(kSectionPageSetup, "RightMargin", 50);
    stored.m_nBottom = store.ReadInt(kSectionPageSetup, "BottomMargin", 50);
    stored.m_nLeft = store.ReadInt(kSectionPageSetup, "LeftMargin", 50);
    setup.m_margins.m_bMetric = stored.m_bMetric;
    setup.m_margins.m_dTop = stored.m_nTop * 0.01;
    setup.m_margins.m_dRight = stored.m_nRight * 0.01;
    setup.m_margins.m_dBottom = stored.m_nBottom * 0.01;
    setup.m_margins.m_dLeft = stored.m_nLeft * 0.01;
    return setup;
}

void SavePageSetup(const CPageSetup& setup, IKeyValueStore& store) {
    const CMargins& margins = setup.m_margins;
    const CStoredMargins& loaded = setup.m_loaded;
    if (margins.m_bMetric != loaded.m_bMetric) {
        store.WriteInt(kSectionPageSetup, "Metric", margins.m_bMetric ? 1 : 0);
    }
    const auto writeMargin = [&](std::string_view key, double value, int old) {
        const int hundredths = MarginToHundredths(value);
        if (hundredths != old) {
            store.WriteInt(kSectionPageSetup, key, hundredths);
        }
    };
    writeMargin("TopMargin", margins.m_dTop, loaded.m_nTop);
    writeMargin("RightMargin", margins.m_dRight, loaded.m_nRight);
    writeMargin("BottomMargin", margins.m_dBottom, loaded.m_nBottom);
    writeMargin("LeftMargin", margins.m_dLeft, loaded.m_nLeft);
}

int MarginToHundredths(double margin) {
    if (std::isnan(margin)) {
        return 0;
    }
    // A margin read as n * 0.01 (or converted there and back) can come out a
    // hair below n * 0.01; the tolerance keeps that from losing a hundredth.
    const double hundredths = std::trunc(margin * 100.0 + std::copysign(1e-6, margin));
    constexpr double kMax = std::numeric_limits<int>::max();
    constexpr double kMin = std::numeric_limits<int>::min();
    if (hundredths >= kMax) {
        return std::numeric_limits<int>::max();
    }
    if (hundredths <= kMin) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(hundredths);
}

double InchesToCentimetres(double inches) {
    return std::fabs(inches * 254.0) * 0.01;
}

double CentimetresToInches(double centimetres) {
    return std::fabs(centimetres * 39.37007874015748) * 0.01;
}

void SetMarginUnit(CMargins& margins, bool metric) {
    if (margins.m_bMetric == metric) {
        return;
    }
    const auto convert = metric ? InchesToCentimetres : CentimetresToInches;
    margins.m_dLeft = convert(margins.m_dLeft);
    margins.m_dRight = convert(margins.m_dRight);
    margins.m_dTop = convert(margins.m_dTop);
    margins.m_dBottom = convert(margins.m_dBottom);
    margins.m_bMetric = metric;
}

CMarginBox MarginsInInches(const CMargins& margins) {
    const double factor = margins.m_bMetric ? 0.3937007874015748 : 1.0;
    return {margins.m_dLeft * factor, margins.m_dTop * factor, margins.m_dRight * factor,
            margins.m_dBottom * factor};
}

CMarginBox MarginsInTenthMillimetres(const CMargins& margins) {
    const double factor = margins.m_bMetric ? 100.0 : 2.54 * 100.0;
    return {margins.m_dLeft * factor, margins.m_dTop * factor, margins.m_dRight * factor,
            margins.m_dBottom * factor};
}

CDeviceRect ApplyPrintMargins(const CDeviceRect& page, const CMargins& margins, int pixelsPerInchX,
                              int pixelsPerInchY) {
    const CMarginBox inches = MarginsInInches(margins);
    CDeviceRect rect = page;
    rect.m_nLeft += SaturatedRound(inches.m_dLeft * pixelsPerInchX);
    rect.m_nTop += SaturatedRound(inches.m_dTop * pixelsPerInchY);
    rect.m_nRight -= SaturatedRound(inches.m_dRight * pixelsPerInchX);
    rect.m_nBottom -= SaturatedRound(inches.m_dBottom * pixelsPerInchY);
    return rect;
}

// --- Report window settings ----------------------------------------------------

CViewSettingsRecord LoadViewSettings(const IKeyValueStore& store) {
    CViewSettingsRecord record;
    record.m_settings.m_nTabStops = store.ReadInt(kSectionSettings, "TabStops", 48);
    record.m_settings.m_font = LoadFont(store, kSectionFont);
    record.m_settings.m_printFont = LoadFont(store, kSectionPrintFont);
    record.m_loaded = record.m_settings;
    return record;
}

void SaveViewSettings(const CViewSettingsRecord& record, IKeyValueStore& store) {
    if (record.m_settings.m_nTabStops != record.m_loaded.m_nTabStops) {
        store.WriteInt(kSectionSettings, "TabStops", record.m_settings.m_nTabStops);
    }
    SaveFont(record.m_settings.m_font, record.m_loaded.m_font, store, kSectionFont);
    SaveFont(record.m_settings.m_printFont, record.m_loaded.m_printFont, store, kSectionPrintFont);
}

void WriteProgramPath(IKeyValueStore& store, std::string_view path) {
    store.WriteString(kSectionSettings, "FilePath", path);
}

// --- Dialog checks -------------------------------------------------------------

std::optional<CFieldProblem> ValidateOptionsDialog(const CAnalysisOptions& options) {
    static constexpr std::array<std::string_view, 15> kFields = {
        "GraphRepeats", "MonteCarlo", "ReportRepeats", "sdMultiple", "EffectEnd",
        "EffectFirst",  "EffectLast", "EffectStart",   "EffectStep", "Effect1",
        "Effect2",      "Effect3",    "ErrorBand",     "DRI",        "EffectTable"};
    return CheckFields(kFields, options, CGraphOptions{});
}

std::optional<CFieldProblem> ValidateGraphSetupDialog(const CGraphOptions& options) {
    static constexpr std::array<std::string_view, 8> kFields = {
        "GraphsPerRow",    "GraphsPerPage", "NonExclusiveCI", "LogPlots",
        "ConservativeIso", "ColourPrint",   "CILine",         "CIPoints"};
    return CheckFields(kFields, CAnalysisOptions{}, options);
}

std::optional<CFieldProblem> ValidateMarginsDialog(const CMargins& margins) {
    // The bottom margin described like an option, for the shared range message.
    COptionInfo bottom{};
    bottom.key = "BottomMargin";
    bottom.dialogMin = 0.0;
    bottom.dialogMax = 10.0;
    std::string message = ValidateOptionValue(bottom, margins.m_dBottom);
    if (message.empty()) {
        return std::nullopt;
    }
    return CFieldProblem{bottom.key, std::move(message)};
}

} // namespace doseplex

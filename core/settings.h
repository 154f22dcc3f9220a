#pragma once

#include "core/options.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace doseplex {

class CDoseplexDoc;
class IKeyValueStore;

// Sections of the per-user settings store.
inline constexpr std::string_view kSectionReportDefaults = "ReportDefaults";
inline constexpr std::string_view kSectionGraphOptions = "GraphOptions";
inline constexpr std::string_view kSectionPageSetup = "PageSetup";
inline constexpr std::string_view kSectionSettings = "Settings";
inline constexpr std::string_view kSectionFont = "Font";
inline constexpr std::string_view kSectionPrintFont = "PrintFont";

// --- Settings files ------------------------------------------------------------

// The largest settings file that is read. The application's own file holds a
// few dozen short keys (well under 10 KiB); anything beyond this is not a
// settings file and would only cost memory.
inline constexpr std::size_t kMaxSettingsFileBytes = std::size_t{1} << 20;

// Whether the INI file at `path` may be handed to the settings reader: empty
// when it is a regular file of at most kMaxSettingsFileBytes (or, with
// `mayBeMissing`, when there is no such file), else the reason.
std::string CheckSettingsFile(const std::string& path, bool mayBeMissing);

// --- Option defaults ---------------------------------------------------------

// Reads "ReportDefaults" into the document's analysis options. Missing keys
// take their defaults; the decimal options are stored as text, and a value
// outside the range kept on reading (text that is not a number reads as 0)
// is replaced by the option's replacement value.
void LoadReportDefaults(CDoseplexDoc& doc, const IKeyValueStore& store);
// Writes all sixteen analysis options as the new defaults (Set Defaults).
void SaveReportDefaults(const CDoseplexDoc& doc, IKeyValueStore& store);

// The same for the eight graph options ("GraphOptions"); no range check.
void LoadGraphOptions(CDoseplexDoc& doc, const IKeyValueStore& store);
void SaveGraphOptions(const CDoseplexDoc& doc, IKeyValueStore& store);

// A new experiment whose analysis and graph options come from `store`.
std::unique_ptr<CDoseplexDoc> NewDocumentFromStore(const IKeyValueStore& store);

// A stored decimal as a number: the longest prefix that reads as a decimal
// number counts (leading blanks skipped), text without one gives 0. The
// decimal point is always '.', whatever the process locale.
double ParseStoredDecimal(std::string_view text);
// A decimal as stored: six decimals ("%.6f"), always with '.'.
std::string FormatStoredDecimal(double value);

// --- Page margins ("PageSetup") ----------------------------------------------

// The four page margins in the current unit and the unit itself.
struct CMargins {
    double m_dLeft = 0.5;
    double m_dRight = 0.5;
    double m_dTop = 0.5;
    double m_dBottom = 0.5;
    bool m_bMetric = false; // false: inches, true: centimetres

    bool operator==(const CMargins&) const = default;
};

// The margins as the store holds them: the unit flag and hundredths of it.
struct CStoredMargins {
    bool m_bMetric = false;
    int m_nTop = 50;
    int m_nRight = 50;
    int m_nBottom = 50;
    int m_nLeft = 50;

    bool operator==(const CStoredMargins&) const = default;
};

// The program-wide margins record: the margins in use and the values as
// they were read, so that only changed values are written back.
struct CPageSetup {
    CMargins m_margins;
    CStoredMargins m_loaded;
};

CPageSetup LoadPageSetup(const IKeyValueStore& store);
// Writes each of the five values whose stored form differs from the one read.
void SavePageSetup(const CPageSetup& setup, IKeyValueStore& store);

// A margin in hundredths of its unit, the fraction dropped. A product that
// lies within rounding noise of a whole number counts as that number, so
// 0.29 is stored as 29, not 28; values beyond the integer range saturate.
int MarginToHundredths(double margin);

// The margins dialog's unit switch: inches to centimetres |x * 254| * 0.01,
// centimetres to inches |x * 39.37007874015748| * 0.01.
double InchesToCentimetres(double inches);
double CentimetresToInches(double centimetres);
// Converts the four margins to the other unit and sets the flag; nothing
// happens when the margins are already in that unit.
void SetMarginUnit(CMargins& margins, bool metric);

// The four margins in one unit, for printing.
struct CMarginBox {
    double m_dLeft = 0.0;
    double m_dTop = 0.0;
    double m_dRight = 0.0;
    double m_dBottom = 0.0;
};
// In inches (centimetres * 0.3937007874015748), for device pixels.
CMarginBox MarginsInInches(const CMargins& margins);
// In 0.1 mm units: centimetres * 100 (inches are first multiplied by 2.54).
CMarginBox MarginsInTenthMillimetres(const CMargins& margins);

// A rectangle in device units.
struct CDeviceRect {
    long m_nLeft = 0;
    long m_nTop = 0;
    long m_nRight = 0;
    long m_nBottom = 0;

    bool operator==(const CDeviceRect&) const = default;
};
// `page` shrunk by the margins: left * pixelsPerInchX at the left, top *
// pixelsPerInchY at the top, and so on (rounded to whole device units).
CDeviceRect ApplyPrintMargins(const CDeviceRect& page, const CMargins& margins, int pixelsPerInchX,
                              int pixelsPerInchY);

// --- Report window settings ("Settings", "Font", "PrintFont") ----------------

// A font as stored. Height 0 means that no font is stored and the window
// keeps its default font.
struct CFontDescription {
    int m_nHeight = 0;
    int m_nWeight = 0;
    int m_nItalic = 0;
    int m_nUnderline = 0;
    int m_nPitchAndFamily = 0;
    std::string m_strFaceName = "System"; // at most 31 characters

    bool operator==(const CFontDescription&) const = default;
};

struct CViewSettings {
    int m_nTabStops = 48; // tab stop interval of report windows, dialog units
    CFontDescription m_font;
    CFontDescription m_printFont;

    bool operator==(const CViewSettings&) const = default;
};

// The program-wide report window settings and a copy of them as loaded.
struct CViewSettingsRecord {
    CViewSettings m_settings;
    CViewSettings m_loaded;
};

// Reads the tab stops and both fonts. A font whose "Height" is 0 (or
// missing) is not read further.
CViewSettingsRecord LoadViewSettings(const IKeyValueStore& store);
// Writes back what changed since loading: "TabStops", each font's "Height"
// when it changed, and its other keys when they changed and the height is
// not 0. A font that was loaded with height 0 had its other keys left
// unread, so once it gets a height all of them are written.
void SaveViewSettings(const CViewSettingsRecord& record, IKeyValueStore& store);

// Stores the program file's full path ("Settings", "FilePath"); done at
// every start-up.
void WriteProgramPath(IKeyValueStore& store, std::string_view path);

// --- Dialog checks -------------------------------------------------------------

// The first field of a dialog that fails its check: the settings key of the
// field and the standard range message.
struct CFieldProblem {
    std::string_view m_key;
    std::string m_message;
};

// The Options dialog: the fifteen fields with a control, in the dialog's
// order (integers 0..32767, effect values 0..1, sdMultiple 0..10, check boxes
// 0..1, all inclusive). NonExCI has no control and passes unchecked.
std::optional<CFieldProblem> ValidateOptionsDialog(const CAnalysisOptions& options);
// The Graph View Setup dialog: GraphsPerRow 1..4, GraphsPerPage 1..6, check
// boxes 0..1.
std::optional<CFieldProblem> ValidateGraphSetupDialog(const CGraphOptions& options);
// The margins dialog: the bottom margin 0..10 ("BottomMargin"), the other
// margins unlimited.
std::optional<CFieldProblem> ValidateMarginsDialog(const CMargins& margins);

} // namespace doseplex

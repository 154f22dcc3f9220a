// The per-user settings: option defaults read into new experiments and written
// by Set Defaults, the margins record, the report window settings and the
// checks of the Options, Graph View Setup and margins dialogs.
#include "core/document.h"
#include "core/settings.h"
#include "core/settings_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace doseplex;

using Writes = std::vector<std::string>;

TEST(OptionDefaultsTest, EmptyStoreGivesTheTableDefaults) {
    const CMemoryStore store;
    const auto doc = NewDocumentFromStore(store);
    EXPECT_EQ(doc->m_analysis, CAnalysisOptions{});
    EXPECT_EQ(doc->m_graph, CGraphOptions{});
    EXPECT_DOUBLE_EQ(doc->m_analysis.m_dSdMultiple, 1.96);
}

// One stored value and the option it becomes in a new experiment.
TEST(OptionDefaultsTest, StoredValuesAreKeptOrReplaced) {
    struct CCase {
        const char* section;
        const char* key;
        const char* stored;
        double expected;
    };
    const CCase cases[] = {
        // Each decimal has its own kept range and replacement.
        {"ReportDefaults", "Effect1", "1.5", 0.7},
        {"ReportDefaults", "Effect2", "1.5", 1.5},
        {"ReportDefaults", "Effect2", "2", 0.9},
        {"ReportDefaults", "Effect3", "2.99", 2.99},
        {"ReportDefaults", "Effect3", "3", 0.95},
        {"ReportDefaults", "sdMultiple", "5", 5.0},
        {"ReportDefaults", "sdMultiple", "5.000001", 1.0},
        {"ReportDefaults", "sdMultiple", "0", 1.0},
        {"ReportDefaults", "EffectStep", "0", 0.05},
        {"ReportDefaults", "EffectStep", "0.1", 0.1},
        {"ReportDefaults", "EffectEnd", "1", 0.95},
        {"ReportDefaults", "EffectFirst", "-0.2", 0.02},
        {"ReportDefaults", "EffectLast", "0.999999", 0.999999},
        // Text: the longest numeric prefix counts, anything else reads as 0.
        {"ReportDefaults", "sdMultiple", "abc", 1.0},
        {"ReportDefaults", "sdMultiple", "", 1.0},
        {"ReportDefaults", "EffectStart", "0.25abc", 0.25},
        {"ReportDefaults", "EffectStart", "  0.25", 0.25},
        {"ReportDefaults", "EffectStart", "+0.25", 0.25},
        {"ReportDefaults", "EffectStart", "2.5e-1", 0.25},
        {"ReportDefaults", "EffectStart", ".25", 0.25},
        {"ReportDefaults", "EffectStart", "0,25", 0.05}, // a comma is no decimal point
        {"ReportDefaults", "EffectStart", "+-0.25", 0.05},
        {"ReportDefaults", "sdMultiple", "inf", 1.0},
        {"ReportDefaults", "sdMultiple", "nan", 1.0},
        {"ReportDefaults", "sdMultiple", "1e999", 1.0},
        // Integers take any value; text that is not an integer is missing.
        {"ReportDefaults", "ReportRepeats", "-5", -5},
        {"ReportDefaults", "GraphRepeats", "40000", 40000},
        {"ReportDefaults", "MonteCarlo", "1", 1},
        {"ReportDefaults", "GraphRepeats", "many", 100},
        {"GraphOptions", "GraphsPerRow", "0", 0},
        {"GraphOptions", "GraphsPerPage", "9", 9},
        {"GraphOptions", "CIPoints", "0", 0},
    };
    for (const CCase& c : cases) {
        CMemoryStore store;
        store.Set(c.section, c.key, c.stored);
        const auto doc = NewDocumentFromStore(store);
        const double value = GetOptionValue(*FindOption(c.key), doc->m_analysis, doc->m_graph);
        EXPECT_DOUBLE_EQ(value, c.expected) << c.key << " stored as \"" << c.stored << "\"";
    }
}

TEST(OptionDefaultsTest, SetDefaultsWritesEveryOptionAndReadsBack) {
    CDoseplexDoc doc;
    doc.m_analysis.m_nMonteCarlo = 1;
    doc.m_analysis.m_nReportRepeats = 32767;
    doc.m_analysis.m_dEffectStep = 0.1;
    doc.m_analysis.m_dEffect2 = 1.5;
    doc.m_analysis.m_dSdMultiple = 2.5;
    doc.m_analysis.m_dEffectLast = 0.0000004; // six decimals round this to 0
    doc.m_graph.m_nGraphsPerRow = 4;
    doc.m_graph.m_nLogPlots = 0;

    CMemoryStore store;
    SaveReportDefaults(doc, store);
    SaveGraphOptions(doc, store);
    EXPECT_EQ(store.WriteLog().size(), 24u);
    EXPECT_EQ(store.Get("ReportDefaults", "EffectStep"), "0.100000");
    EXPECT_EQ(store.Get("ReportDefaults", "Effect2"), "1.500000");
    EXPECT_EQ(store.Get("ReportDefaults", "sdMultiple"), "2.500000");
    EXPECT_EQ(store.Get("ReportDefaults", "Effect1"), "0.500000");
    EXPECT_EQ(store.Get("ReportDefaults", "EffectLast"), "0.000000");
    EXPECT_EQ(store.Get("ReportDefaults", "ReportRepeats"), "32767");
    EXPECT_EQ(store.Get("GraphOptions", "GraphsPerRow"), "4");

    // What was written is what the next experiment starts with (the value
    // that six decimals turned into 0 is replaced on reading).
    const auto next = NewDocumentFromStore(store);
    CAnalysisOptions expected = doc.m_analysis;
    expected.m_dEffectLast = 0.99;
    EXPECT_EQ(next->m_analysis, expected);
    EXPECT_EQ(next->m_graph, doc.m_graph);
}

TEST(StoredDecimalTest, FormatsWithSixDecimals) {
    EXPECT_EQ(FormatStoredDecimal(0.05), "0.050000");
    EXPECT_EQ(FormatStoredDecimal(1.96), "1.960000");
    EXPECT_EQ(FormatStoredDecimal(2.0 / 3.0), "0.666667");
    EXPECT_EQ(FormatStoredDecimal(-2.0), "-2.000000");
    EXPECT_EQ(FormatStoredDecimal(1e20), "100000000000000000000.000000");
    EXPECT_EQ(FormatStoredDecimal(std::numeric_limits<double>::max()).size(), 316u);
}

// --- Page margins --------------------------------------------------------------

TEST(PageSetupTest, LoadsHundredthsAndWritesBackOnlyChanges) {
    CMemoryStore store;
    CPageSetup setup = LoadPageSetup(store);
    EXPECT_EQ(setup.m_margins, CMargins{});
    SavePageSetup(setup, store);
    EXPECT_EQ(store.WriteLog(), Writes{});

    store.Set("PageSetup", "LeftMargin", "29");
    store.Set("PageSetup", "BottomMargin", "-120");
    store.Set("PageSetup", "Metric", "1");
    setup = LoadPageSetup(store);
    EXPECT_DOUBLE_EQ(setup.m_margins.m_dLeft, 0.29);
    EXPECT_DOUBLE_EQ(setup.m_margins.m_dBottom, -1.2);
    EXPECT_TRUE(setup.m_margins.m_bMetric);
    // 0.29 * 100 is 28.999...; unchanged values must not be rewritten.
    SavePageSetup(setup, store);
    EXPECT_EQ(store.WriteLog(), Writes{});

    setup.m_margins.m_dTop = 0.75;
    SavePageSetup(setup, store);
    EXPECT_EQ(store.WriteLog(), Writes{"PageSetup/TopMargin"});
    EXPECT_EQ(store.Get("PageSetup", "TopMargin"), "75");
}

TEST(PageSetupTest, UnitSwitchConvertsAndIsStoredOnlyWhenKept) {
    CMemoryStore store;
    CPageSetup setup = LoadPageSetup(store);
    SetMarginUnit(setup.m_margins, true);
    EXPECT_TRUE(setup.m_margins.m_bMetric);
    for (double margin : {setup.m_margins.m_dLeft, setup.m_margins.m_dRight, setup.m_margins.m_dTop,
                          setup.m_margins.m_dBottom}) {
        EXPECT_DOUBLE_EQ(margin, 1.27);
    }
    SetMarginUnit(setup.m_margins, true); // already in centimetres: no second conversion
    EXPECT_DOUBLE_EQ(setup.m_margins.m_dLeft, 1.27);

    // There and back again: nothing has changed that the store could hold.
    SetMarginUnit(setup.m_margins, false);
    EXPECT_NEAR(setup.m_margins.m_dLeft, 0.5, 1e-12);
    SavePageSetup(setup, store);
    EXPECT_EQ(store.WriteLog(), Writes{});

    SetMarginUnit(setup.m_margins, true);
    SavePageSetup(setup, store);
    EXPECT_EQ(store.WriteLog(),
              (Writes{"PageSetup/Metric", "PageSetup/TopMargin", "PageSetup/RightMargin",
                      "PageSetup/BottomMargin", "PageSetup/LeftMargin"}));
    EXPECT_EQ(store.Get("PageSetup", "Metric"), "1");
    EXPECT_EQ(store.Get("PageSetup", "LeftMargin"), "127");
}

TEST(PageSetupTest, MarginsAreStoredAsWholeHundredths) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double margin;
        int hundredths;
    } cases[] = {
        {0.5, 50},
        {0.29, 29}, // 28.999... in binary
        {0.295, 29},
        {0.999, 99},
        {-0.29, -29},
        {1.0 / 3.0, 33},
        {1e12, std::numeric_limits<int>::max()},
        {-1e12, std::numeric_limits<int>::min()},
        {nan, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MarginToHundredths(c.margin), c.hundredths) << c.margin;
    }
}

TEST(PageSetupTest, PrintMarginsInDeviceAndMetricUnits) {
    CMargins inches; // 0.5 inch each
    inches.m_dRight = 1.0;
    const CDeviceRect page{0, 0, 5100, 6600};
    EXPECT_EQ(ApplyPrintMargins(page, inches, 600, 300), (CDeviceRect{300, 150, 4500, 6450}));
    EXPECT_DOUBLE_EQ(MarginsInTenthMillimetres(inches).m_dLeft, 127.0);
    EXPECT_DOUBLE_EQ(MarginsInTenthMillimetres(inches).m_dRight, 254.0);

    CMargins metric;
    metric.m_bMetric = true;
    metric.m_dLeft = 2.54;
    metric.m_dTop = 1.0;
    EXPECT_DOUBLE_EQ(MarginsInInches(metric).m_dLeft, 1.0);
    EXPECT_DOUBLE_EQ(MarginsInTenthMillimetres(metric).m_dTop, 100.0);
    EXPECT_EQ(ApplyPrintMargins(page, metric, 600, 600).m_nLeft, 600);
}

// --- Report window settings ------------------------------------------------------

TEST(ViewSettingsTest, FontWithHeightZeroIsNotReadFurther) {
    CMemoryStore store;
    for (const char* section : {"Font", "PrintFont"}) {
        store.Set(section, "Weight", "700");
        store.Set(section, "Italic", "1");
        store.Set(section, "FaceName", "Courier New");
    }
    store.Set("PrintFont", "Height", "-13");
    const CViewSettingsRecord record = LoadViewSettings(store);
    EXPECT_EQ(record.m_settings.m_nTabStops, 48);
    EXPECT_EQ(record.m_settings.m_font, CFontDescription{});
    EXPECT_EQ(record.m_settings.m_font.m_strFaceName, "System");
    EXPECT_EQ(record.m_settings.m_printFont.m_nHeight, -13);
    EXPECT_EQ(record.m_settings.m_printFont.m_nWeight, 700);
    EXPECT_EQ(record.m_settings.m_printFont.m_strFaceName, "Courier New");
}

TEST(ViewSettingsTest, FaceNameKeepsItsFirst31Characters) {
    CMemoryStore store;
    store.Set("Font", "Height", "12");
    store.Set("Font", "FaceName", std::string(40, 'x'));
    store.Set("PrintFont", "Height", "12");
    // 30 plain letters, then two of two bytes each: the cut falls after the first.
    store.Set("PrintFont", "FaceName", std::string(30, 'a') + "\xC3\xA9\xC3\xA9");
    const CViewSettingsRecord record = LoadViewSettings(store);
    EXPECT_EQ(record.m_settings.m_font.m_strFaceName, std::string(31, 'x'));
    EXPECT_EQ(record.m_settings.m_printFont.m_strFaceName, std::string(30, 'a') + "\xC3\xA9");
}

TEST(ViewSettingsTest, WritesBackOnlyWhatChanged) {
    CMemoryStore store;
    store.Set("Settings", "TabStops", "32");
    store.Set("Font", "Height", "12");
    store.Set("Font", "Weight", "400");
    store.Set("Font", "FaceName", "Arial");
    store.Set("PrintFont", "Italic", "1"); // never read: no print font stored
    const CViewSettingsRecord loaded = LoadViewSettings(store);

    SaveViewSettings(loaded, store);
    EXPECT_EQ(store.WriteLog(), Writes{});

    CViewSettingsRecord record = loaded;
    record.m_settings.m_nTabStops = 40;
    record.m_settings.m_font.m_nWeight = 700;
    SaveViewSettings(record, store);
    EXPECT_EQ(store.WriteLog(), (Writes{"Settings/TabStops", "Font/Weight"}));
    EXPECT_EQ(store.Get("Settings", "TabStops"), "40");

    // Height back to 0: only the height is stored, other edits are dropped.
    store.ClearWriteLog();
    record = loaded;
    record.m_settings.m_font.m_nHeight = 0;
    record.m_settings.m_font.m_strFaceName = "Courier";
    SaveViewSettings(record, store);
    EXPECT_EQ(store.WriteLog(), Writes{"Font/Height"});

    // A font chosen where none was stored: every key is written, so that the
    // unread "Italic" 1 cannot slip into the next start.
    store.ClearWriteLog();
    record = loaded;
    record.m_settings.m_printFont.m_nHeight = 14;
    record.m_settings.m_printFont.m_strFaceName = "Courier";
    SaveViewSettings(record, store);
    EXPECT_EQ(store.WriteLog(),
              (Writes{"PrintFont/Height", "PrintFont/Weight", "PrintFont/Italic",
                      "PrintFont/Underline", "PrintFont/PitchAndFamily", "PrintFont/FaceName"}));
    EXPECT_EQ(LoadViewSettings(store).m_settings.m_printFont, record.m_settings.m_printFont);
}

// --- Dialog checks ---------------------------------------------------------------

TEST(DialogCheckTest, OptionsDialogBoundsAreInclusive) {
    EXPECT_FALSE(ValidateOptionsDialog(CAnalysisOptions{}));

    const std::string integer = "Please enter an integer between 0 and 32767.";
    const std::string fraction = "Please enter a number between 0 and 1.";
    struct CCase {
        const char* key;
        double value;
        std::string message; // empty: accepted
    };
    const CCase cases[] = {
        {"GraphRepeats", 0, ""},
        {"GraphRepeats", 32767, ""},
        {"GraphRepeats", 32768, integer},
        {"ReportRepeats", -1, integer},
        {"EffectStep", 0, ""}, // accepted here, replaced when read from the store
        {"EffectEnd", 1, ""},
        {"Effect2", 1.5, fraction}, // kept when read from the store, refused here
        {"Effect3", -0.01, fraction},
        {"EffectFirst", 1.0000001, fraction},
        {"sdMultiple", 10, ""},
        {"sdMultiple", 10.01, "Please enter a number between 0 and 10."},
        {"sdMultiple", std::numeric_limits<double>::quiet_NaN(),
         "Please enter a number between 0 and 10."},
        {"MonteCarlo", 2, "Please enter an integer between 0 and 1."},
        {"NonExCI", 7, ""}, // no control: carried through unchecked
    };
    for (const CCase& c : cases) {
        CAnalysisOptions options;
        CGraphOptions unused;
        SetOptionValue(*FindOption(c.key), c.value, options, unused);
        const auto problem = ValidateOptionsDialog(options);
        EXPECT_EQ(problem ? problem->m_message : "", c.message) << c.key << " = " << c.value;
        if (problem) {
            EXPECT_EQ(problem->m_key, c.key);
        }
    }

    // The first failing field in the dialog's order gets the focus.
    CAnalysisOptions options;
    options.m_dEffectEnd = 2;
    options.m_nGraphRepeats = -1;
    EXPECT_EQ(ValidateOptionsDialog(options)->m_key, "GraphRepeats");
}

TEST(DialogCheckTest, GraphSetupAndMarginsDialogs) {
    EXPECT_FALSE(ValidateGraphSetupDialog(CGraphOptions{}));
    CGraphOptions graph;
    graph.m_nGraphsPerRow = 4;
    graph.m_nGraphsPerPage = 1;
    EXPECT_FALSE(ValidateGraphSetupDialog(graph));
    graph.m_nGraphsPerRow = 5;
    ASSERT_TRUE(ValidateGraphSetupDialog(graph));
    EXPECT_EQ(ValidateGraphSetupDialog(graph)->m_key, "GraphsPerRow");
    EXPECT_EQ(ValidateGraphSetupDialog(graph)->m_message,
              "Please enter an integer between 1 and 4.");
    graph.m_nGraphsPerRow = 1;
    graph.m_nGraphsPerPage = 0;
    ASSERT_TRUE(ValidateGraphSetupDialog(graph));
    EXPECT_EQ(ValidateGraphSetupDialog(graph)->m_message,
              "Please enter an integer between 1 and 6.");

    CMargins margins;
    margins.m_dLeft = -3;
    margins.m_dTop = 250;
    margins.m_dBottom = 10;
    EXPECT_FALSE(ValidateMarginsDialog(margins));
    margins.m_dBottom = 0;
    EXPECT_FALSE(ValidateMarginsDialog(margins));
    for (double bottom : {-0.01, 10.01}) {
        margins.m_dBottom = bottom;
        const auto problem = ValidateMarginsDialog(margins);
        ASSERT_TRUE(problem) << bottom;
        EXPECT_EQ(problem->m_key, "BottomMargin");
        EXPECT_EQ(problem->m_message, "Please enter a number between 0 and 10.");
    }
}

} // namespace

// Report texts, the summary table and its exports, and the report and
// summary-table commands. Whole reports are compared byte for byte with the
// files in tests/golden; DOSEPLEX_UPDATE_GOLDEN=1 rewrites those files from
// the current output instead (read the differences before keeping them).
#include "core/document.h"
#include "core/encoding.h"
#include "core/format.h"
#include "core/random.h"
#include "core/text_import.h"
#include "report/combination_report.h"
#include "report/drug_report.h"
#include "report/summary_report.h"
#include "report/summary_table.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace doseplex;
using doseplex::testing_support::MakeDrug;
namespace fs = std::filesystem;

const fs::path kSource = DOSEPLEX_SOURCE_DIR;
const std::string kTwoDrug = (kSource / "examples" / "two-drug.txt").string();
const std::string kThreeDrug = (kSource / "examples" / "three-drug.txt").string();
const std::string kNoFit = (kSource / "tests" / "data" / "no-fit.txt").string();
// An empty settings file, so that the command line uses the built-in option
// defaults whatever the per-user settings hold.
const std::string kDefaultOptions = (kSource / "tests" / "data" / "default-options.ini").string();

const std::string kLongRule = std::string(100, '-');

using testing_support::CTempDir;
using testing_support::ExpectGolden;
using testing_support::Lines;
using testing_support::ReadFile;

std::unique_ptr<CDoseplexDoc> Import(const std::string& path) {
    auto doc = std::make_unique<CDoseplexDoc>();
    CImportError error;
    EXPECT_TRUE(ImportTextFile(path, *doc, error)) << path << " " << error.m_nCode;
    return doc;
}

// A combination whose points were mixed in different ratios (which the
// import format cannot express), with notes, a comment and a unit outside
// ASCII.
std::unique_ptr<CDoseplexDoc> NonConstantRatioExperiment() {
    auto doc = std::make_unique<CDoseplexDoc>();
    doc->m_strTitle = "Varying mixtures";
    doc->m_strNotes = "Plate reader B.\r\nSecond line of notes.";
    doc->m_strDate = "12 March 2024";
    doc->m_strInvestigator = "R. Keller";
    doc->m_strPathName = "/data/varying.dpx";
    doc->AddDrug(MakeDrug("DrugA", "uM", {{1, 0.2}, {2, 0.35}, {4, 0.6}}));
    doc->AddDrug(MakeDrug("DrugB", "\xC2\xB5M", {{2, 0.15}, {4, 0.3}, {8, 0.55}}));
    auto mix = std::make_unique<CDrugInfo>();
    mix->m_strName = "A+B varying";
    mix->m_strComment = "Mixed on the day";
    const std::uint16_t ids[] = {0, 1};
    EXPECT_TRUE(mix->SetComponents(2, ids));
    EXPECT_TRUE(mix->SetConstantRatio(0));
    const std::vector<std::pair<double, std::vector<double>>> points = {
        {3.0, {1.0, 2.0}}, {2.0, {1.0, 1.0}}, {4.0, {2.0, 1.0}}};
    const double effects[] = {0.3, 0.4, 0.6};
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_TRUE(mix->AddPoint(
            mix->CreatePoint(points[i].first, effects[i], 2, points[i].second.data())));
    }
    doc->AddDrug(std::move(mix));
    return doc;
}

// The report a window would show for `drug` (-1: the summary report), as the
// bytes written out, with the generator in its initial state.
std::string ReportBytes(const CDoseplexDoc& doc, int drug) {
    CRandom random;
    std::string text;
    EXPECT_EQ(BuildReport(doc, drug < 0 ? CBuildTarget::Summary() : CBuildTarget::Drug(drug),
                          random, text),
              EBuildStatus::Built);
    return Utf8ToEightBit(text);
}

// The rows of the table that follows the line `title` and `skip` heading
// lines, up to the next rule or note.
std::vector<std::string> TableRows(const std::string& report, const std::string& title,
                                   size_t skip) {
    const auto lines = Lines(report);
    size_t i = 0;
    while (i < lines.size() && lines[i] != title) {
        ++i;
    }
    std::vector<std::string> rows;
    for (i += 1 + skip;
         i < lines.size() && lines[i].rfind("-----", 0) != 0 && lines[i].rfind("Note:", 0) != 0;
         ++i) {
        rows.push_back(lines[i]);
    }
    return rows;
}

// The Fa cells of those rows.
std::vector<std::string> TableEffects(const std::string& report, const std::string& title,
                                      size_t skip) {
    std::vector<std::string> effects;
    for (const std::string& row : TableRows(report, title, skip)) {
        effects.push_back(row.substr(0, row.find('\t')));
    }
    return effects;
}

// --- Whole reports ----------------------------------------------------------

TEST(ReportGolden, ReportsMatchTheirGoldenFiles) {
    using MakeDoc = std::function<std::unique_ptr<CDoseplexDoc>()>;
    const MakeDoc twoDrug = [] { return Import(kTwoDrug); };
    const MakeDoc threeDrug = [] { return Import(kThreeDrug); };
    const MakeDoc noFit = [] { return Import(kNoFit); };
    struct CCase {
        const char* golden;
        MakeDoc experiment;
        int drug; // -1: the summary report
        std::function<void(CAnalysisOptions&)> options;
    };
    const CCase cases[] = {
        {"report-single-drug.txt", twoDrug, 0, nullptr},
        {"report-two-drug-monte-carlo-dri.txt", twoDrug, 2,
         [](CAnalysisOptions& o) { o.m_nMonteCarlo = 1; }},
        {"report-two-drug-no-monte-carlo-no-dri.txt", twoDrug, 2,
         [](CAnalysisOptions& o) { o.m_nDRI = 0; }},
        {"report-three-drug.txt", threeDrug, 12, nullptr},
        {"report-component-without-fit.txt", noFit, 2, nullptr},
        {"report-non-constant-ratio.txt", NonConstantRatioExperiment, 2, nullptr},
        {"summary-three-drug.txt", threeDrug, -1, nullptr},
        {"summary-component-without-fit.txt", noFit, -1, nullptr},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.golden);
        auto doc = c.experiment();
        if (c.options) {
            c.options(doc->m_analysis);
        }
        ExpectGolden(c.golden, ReportBytes(*doc, c.drug));
    }
}

TEST(ReportGolden, SummaryTableTextExport) {
    auto doc = Import(kThreeDrug);
    const CTempDir dir;
    std::string error;
    ASSERT_TRUE(ExportTable(BuildSummaryTable(*doc), dir / "t.txt", error)) << error;
    ExpectGolden("summary-table-three-drug.txt", ReadFile(dir / "t.txt"));
}

TEST(Report, RecordReportEndsWithSummaryRowsOfTheRecordThenItsComponents) {
    auto doc = Import(kThreeDrug);
    const std::string report = ReportBytes(*doc, 12);
    const auto lines = Lines(report);
    ASSERT_GE(lines.size(), 9u);
    const std::vector<std::string> tail(lines.end() - 9, lines.end());
    EXPECT_EQ(tail[0], "\tED50\tED75\tED90\tDm\tm\tr");
    const char* names[] = {"Day4_Cisplatin+Paclitaxel+Gemcitabine", "Day4_Cisplatin",
                           "Day4_Paclitaxel", "Day4_Gemcitabine"};
    for (size_t i = 0; i < 4; ++i) {
        const std::string& row = tail[1 + 2 * i];
        EXPECT_EQ(row.substr(0, row.find('\t')), names[i]);
        EXPECT_EQ(tail[2 + 2 * i], i == 0 ? "(1:4:8)" : "(Not a combination)");
    }
    // No rule after the last row.
    EXPECT_EQ(report.substr(report.size() - 21), "(Not a combination)\r\n");
}

TEST(Report, EffectTableOptionLeavesOutOnlyTheCombinationsTable) {
    auto doc = Import(kTwoDrug);
    doc->m_analysis.m_nEffectTable = 0;
    EXPECT_NE(ReportBytes(*doc, 0).find("\r\nDose-effect table\r\n"), std::string::npos);
    const std::string combination = ReportBytes(*doc, 2);
    EXPECT_EQ(combination.find("Dose-effect table"), std::string::npos);
    EXPECT_NE(combination.find(kLongRule + "\r\nCI For experimental values\r\n"),
              std::string::npos);
}

TEST(Report, NoReportWithoutACurrentRecord) {
    auto doc = Import(kTwoDrug);
    for (const int drug : {-1, 3, 1000}) {
        CRandom random;
        std::string text = "kept";
        EXPECT_EQ(BuildReport(*doc, CBuildTarget::Drug(drug), random, text), EBuildStatus::Missing)
            << drug;
        EXPECT_EQ(text, "kept");
    }
}

// --- Effect levels and markers ------------------------------------------------

TEST(Report, EveryLevelTableTabulatesTheSameEffectLevels) {
    std::vector<std::string> forty{"0.020"};
    for (int i = 1; i <= 38; ++i) {
        forty.push_back(FormatNumber(i * 0.01, 3, true));
    }
    forty.push_back("0.990");
    struct CCase {
        const char* label;
        double start, step, end;
        std::vector<std::string> effects;
    };
    const CCase cases[] = {
        {"defaults: 21 levels, the last step kept",
         0.05,
         0.05,
         0.95,
         {"0.020", "0.050", "0.100", "0.150", "0.200", "0.250", "0.300",
          "0.350", "0.400", "0.450", "0.500", "0.550", "0.600", "0.650",
          "0.700", "0.750", "0.800", "0.850", "0.900", "0.950", "0.990"}},
        {"101 levels cut to 40", 0.01, 0.01, 0.99, forty},
        {"no step: first and last only", 0.05, 0.0, 0.95, {"0.020", "0.990"}},
    };
    for (const CCase& c : cases) {
        SCOPED_TRACE(c.label);
        auto doc = Import(kTwoDrug);
        doc->m_analysis.m_dEffectStart = c.start;
        doc->m_analysis.m_dEffectStep = c.step;
        doc->m_analysis.m_dEffectEnd = c.end;
        doc->m_analysis.m_nMonteCarlo = 1;
        doc->m_analysis.m_nReportRepeats = 3;
        const std::string single = ReportBytes(*doc, 0);
        EXPECT_EQ(TableEffects(single, "Dose-effect table", 1), c.effects);
        const std::string combination = ReportBytes(*doc, 2);
        EXPECT_EQ(TableEffects(combination, "Dose-effect table", 1), c.effects);
        EXPECT_EQ(TableEffects(combination, "CI Simulations", 2), c.effects);
        EXPECT_EQ(TableEffects(combination, "CI simulations with Monte Carlo simulations", 2),
                  c.effects);
        EXPECT_EQ(TableEffects(combination, "DRI Calculations", 4), c.effects);
    }
}

TEST(Report, MonteCarloCountAndFailure) {
    auto doc = Import(kTwoDrug);
    doc->m_analysis.m_nMonteCarlo = 1;
    doc->m_analysis.m_dEffectStep = 0; // two levels keep 32767 iterations quick

    doc->m_analysis.m_nReportRepeats = 0;
    std::string report = ReportBytes(*doc, 2);
    EXPECT_NE(report.find("\r\n0 iterations per point\r\nFa\tCI\tMean\ts.d.\r\n"
                          "0.020\t4.000\tMC Failed\r\n0.990\t2.984\tMC Failed\r\n"),
              std::string::npos)
        << report;

    // The whole count, not "3e+04".
    doc->m_analysis.m_nReportRepeats = 32767;
    report = ReportBytes(*doc, 2);
    EXPECT_NE(report.find("\r\n32767 iterations per point\r\n"), std::string::npos);
}

TEST(Report, SingleDrugWithoutFitHasNoParametersAndErrRows) {
    auto doc = Import(kNoFit);
    const std::string report = ReportBytes(*doc, 0);
    EXPECT_EQ(report.find("Median-effect parameters:"), std::string::npos);
    const std::vector<std::string> rows = TableRows(report, "Dose-effect table", 1);
    ASSERT_EQ(rows.size(), 21u);
    for (const std::string& row : rows) {
        EXPECT_EQ(row.substr(5), "\tERR") << row;
    }
}

TEST(Report, MissingComponentPrintsNKAndErr) {
    CDoseplexDoc doc;
    doc.AddDrug(MakeDrug("A", "uM", {{1, 0.2}, {2, 0.35}, {4, 0.6}}));
    auto mix = std::make_unique<CDrugInfo>();
    mix->m_strName = "A+?";
    const std::uint16_t ids[] = {0, 7};
    const double ratio[] = {1.0, 2.0};
    ASSERT_TRUE(mix->SetComponents(2, ids));
    ASSERT_TRUE(mix->SetRatio(2, ratio));
    for (const auto& [dose, fa] : {std::pair{3.0, 0.3}, {6.0, 0.5}, {12.0, 0.75}}) {
        ASSERT_TRUE(mix->AddPoint(mix->CreatePoint(dose, fa, 2, nullptr)));
    }
    doc.AddDrug(std::move(mix));
    const std::string report = ReportBytes(doc, 1);
    EXPECT_NE(report.find("\r\nA\tNK\tFa\tCI\r\n(uM)\tNK\r\n3\t6\t0.3\t\r\n"), std::string::npos)
        << report;
    EXPECT_NE(report.find("\r\n0.3\t1.5686\tERR\t0.523\tERR\r\n"), std::string::npos) << report;
    EXPECT_NE(report.find("\r\n0.500\tUnable to calculate CI\r\n"), std::string::npos);
}

// --- Summary table ------------------------------------------------------------

TEST(SummaryTable, HeadingsFollowTheThreeEffectLevels) {
    struct CCase {
        double e1, e2, e3;
        const char* line;
    };
    const CCase cases[] = {
        {0.5, 0.75, 0.9, "\tED50\tED75\tED90\tDm\tm\tr\r\n"},
        {0.955, 0.3, 0.125, "\tED95.5\tED30\tED12.5\tDm\tm\tr\r\n"},
    };
    for (const CCase& c : cases) {
        CDoseplexDoc doc;
        doc.m_analysis.m_dEffect1 = c.e1;
        doc.m_analysis.m_dEffect2 = c.e2;
        doc.m_analysis.m_dEffect3 = c.e3;
        std::string text;
        AppendSummaryTableHeader(doc, text);
        EXPECT_EQ(text,
                  std::string("Summary table\r\nDrug\tCombination Index Values at\r\n") + c.line);
    }
}

TEST(SummaryTable, RowsShowNAForWhatCannotBeComputed) {
    auto doc = Import(kNoFit);
    auto varying = NonConstantRatioExperiment();
    struct CCase {
        CDoseplexDoc& doc;
        int drug;
        const char* rows;
    };
    const CCase cases[] = {
        {*doc, 0, "Exp2_DrugA\tN/A\tN/A\tN/A\tN/A\r\n(Not a combination)\r\n"},
        {*doc, 1,
         "Exp2_DrugB\tN/A\tN/A\tN/A\t7.06305\t1.39600\t0.99885\r\n(Not a combination)\r\n"},
        {*doc, 2, "Exp2_Mix\tN/A\tN/A\tN/A\t5.65240\t1.40368\t0.99723\r\n(1:2)\r\n"},
        {*varying, 2, "A+B varying\tN/A\tN/A\tN/A\tN/A\r\n()\r\n"},
    };
    for (const CCase& c : cases) {
        std::string text;
        AppendSummaryRow(c.doc, text, *c.doc.GetDrug(c.drug));
        EXPECT_EQ(text, c.rows);
    }
}

TEST(SummaryTable, GridHoldsTheTablePartOfTheSummaryReport) {
    auto doc = Import(kThreeDrug);
    const CTable table = BuildSummaryTable(*doc);
    EXPECT_EQ(doc->m_bOpenSummaryReport, 0) << "building the table changes nothing";
    ASSERT_EQ(table.m_rows.size(), 4u + 2u * 13u);
    EXPECT_EQ(table.m_columnWidthsPx, std::vector<int>{125});
    EXPECT_EQ(table.m_nFontPoints, 10);
    for (size_t r = 0; r < table.m_rows.size(); ++r) {
        ASSERT_EQ(table.m_rows[r].size(), 7u) << r;
        for (const CTableCell& cell : table.m_rows[r]) {
            EXPECT_TRUE(cell.m_bBorder) << r;
            EXPECT_EQ(cell.m_bBold, r == 2 || r == 3) << r;
        }
    }
    auto texts = [&](size_t r) {
        std::vector<std::string> row;
        for (const CTableCell& cell : table.m_rows[r]) {
            row.push_back(cell.m_strText);
        }
        return row;
    };
    using Row = std::vector<std::string>;
    EXPECT_EQ(texts(0), Row(7));
    EXPECT_EQ(texts(1), (Row{"Summary table", "", "", "", "", "", ""}));
    EXPECT_EQ(texts(2), (Row{"Drug", "CI Values at", "", "", "", "", ""}));
    EXPECT_EQ(texts(3), (Row{"", "ED50", "ED75", "ED90", "Dm", "m", "r"}));
    EXPECT_EQ(texts(4)[0], "Day1_Cisplatin");
    EXPECT_EQ(texts(5), (Row{"(Not a combination)", "", "", "", "", "", ""}));
    EXPECT_EQ(texts(29), (Row{"(1:4:8)", "", "", "", "", "", ""}));

    // A notes line of dashes does not move the cut.
    doc->m_strNotes = kLongRule + "\r\nafter the dashes";
    EXPECT_EQ(TabDelimitedText(BuildSummaryTable(*doc)), TabDelimitedText(table));

    // No drugs: the title and heading rows only.
    CDoseplexDoc empty;
    const CTable headings = BuildSummaryTable(empty);
    EXPECT_EQ(TabDelimitedText(headings), "\t\t\t\t\t\t\r\n"
                                          "Summary table\t\t\t\t\t\t\r\n"
                                          "Drug\tCI Values at\t\t\t\t\t\r\n"
                                          "\tED50\tED75\tED90\tDm\tm\tr\r\n");
}

TEST(SummaryTable, ExportChoosesTheFormatByExtension) {
    EXPECT_EQ(TableFormatForPath("a/b.txt"), ETableFormat::Text);
    EXPECT_EQ(TableFormatForPath("B.TXT"), ETableFormat::Text);
    EXPECT_EQ(TableFormatForPath("b.xls"), ETableFormat::Xls);
    EXPECT_EQ(TableFormatForPath("b.Xlsx"), ETableFormat::Xlsx);
    EXPECT_EQ(TableFormatForPath("b.csv"), ETableFormat::None);
    EXPECT_EQ(TableFormatForPath("txt"), ETableFormat::None);

    const CTempDir dir;
    CTable table;
    table.m_rows = {{{"x"}}};
    std::string error;
    EXPECT_FALSE(ExportTable(table, dir / "t.csv", error));
    EXPECT_NE(error.find(".txt, .xls or .xlsx"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(dir / "t.csv"));
    error.clear();
    EXPECT_FALSE(ExportTable(table, dir / "missing/t.txt", error));
    EXPECT_FALSE(error.empty());
}

// --- Command line -------------------------------------------------------------

class ReportCli : public testing::Test {
protected:
    using CResult = testing_support::CCliRun;

    // Runs the program with the built-in option defaults; stdout and stderr
    // go to files.
    CResult Run(std::vector<std::string> args) const {
        args.insert(args.begin() + 1, {"--settings", kDefaultOptions});
        return testing_support::RunCli(args, testing_support::CCliOptions(m_dir.Path()));
    }

    std::string Path(const std::string& name) const { return m_dir / name; }

    CTempDir m_dir{"doseplex-report"};
};

TEST_F(ReportCli, WritesTheGoldenTexts) {
    // Each run starts the generator afresh, so the Monte Carlo figures repeat.
    for (int run = 0; run < 2; ++run) {
        const CResult report = Run({"report", kTwoDrug, "--drug", "2", "--set", "MonteCarlo=1"});
        EXPECT_EQ(report.exitCode, 0) << report.err;
        ExpectGolden("report-two-drug-monte-carlo-dri.txt", report.out);
    }
    const CResult summary = Run({"report", "--summary", kThreeDrug, "-o", Path("s.txt")});
    EXPECT_EQ(summary.exitCode, 0) << summary.err;
    EXPECT_EQ(summary.out, "");
    ExpectGolden("summary-three-drug.txt", ReadFile(Path("s.txt")));

    const CResult table = Run({"summary-table", kThreeDrug, "-o", Path("t.txt")});
    EXPECT_EQ(table.exitCode, 0) << table.err;
    ExpectGolden("summary-table-three-drug.txt", ReadFile(Path("t.txt")));
}

TEST_F(ReportCli, WorkbookExports) {
    struct CCase {
        const char* name;
        std::string magic;
    };
    const CCase cases[] = {{"t.xls", "\xD0\xCF\x11\xE0"}, {"t.xlsx", "PK"}};
    for (const CCase& c : cases) {
        const CResult run = Run({"summary-table", kThreeDrug, "-o", Path(c.name)});
        EXPECT_EQ(run.exitCode, 0) << c.name << run.err;
        EXPECT_EQ(ReadFile(Path(c.name)).substr(0, c.magic.size()), c.magic) << c.name;
    }
}

TEST_F(ReportCli, TextIsWrittenAsWindows1252) {
    const std::string input = Path("latin.txt");
    std::ofstream(input, std::ios::binary) << "[start]\t1\n"
                                              "Essai\t1\t3\t\xB5M\n"
                                              "Caf\xE9ine\t1\t2\t4\n"
                                              "0.2\t0.35\t0.6\n";
    const CResult report = Run({"report", input, "--drug", "0"});
    EXPECT_EQ(report.exitCode, 0) << report.err;
    EXPECT_NE(report.out.find("Drug:\tEssai_Caf\xE9ine\r\n"), std::string::npos) << report.out;
    EXPECT_NE(report.out.find("Fraction affected\r\n\xB5M\r\n"), std::string::npos);

    const CResult table = Run({"summary-table", input, "-o", Path("t.txt")});
    EXPECT_EQ(table.exitCode, 0) << table.err;
    EXPECT_NE(ReadFile(Path("t.txt")).find("\r\nEssai_Caf\xE9ine\tN/A\t"), std::string::npos);
}

TEST_F(ReportCli, UsageAndInputErrors) {
    struct CCase {
        std::vector<std::string> args;
        int code;
        const char* message; // part of stderr
    };
    const CCase cases[] = {
        {{"report", kTwoDrug}, 2, "exactly one of --summary and --drug N"},
        {{"report", kTwoDrug, "--summary", "--drug", "0"}, 2, "exactly one of"},
        {{"report", kTwoDrug, "--drug", "x1"}, 2, "--drug expects a drug id"},
        {{"report", kTwoDrug, "--drug", "-1"}, 2, "--drug expects a drug id"},
        {{"report", kTwoDrug, "--drug", "3"}, 2, "there is no drug 3: valid drug ids are 0 to 2"},
        {{"report", "--summary"}, 2, "report needs an INPUT file"},
        {{"report", kTwoDrug, "--summary", "-o"}, 2, "-o needs a FILE"},
        {{"report", Path("missing.txt"), "--summary"}, 1, "Error 1001. \nCould not open file: "},
        {{"report", kTwoDrug, "--summary", "-o", Path("no/such/dir.txt")}, 1, "cannot write"},
        {{"summary-table", kTwoDrug}, 2, "needs -o OUT"},
        {{"summary-table", kTwoDrug, "-o", Path("t.csv")}, 2, ".txt, .xls or .xlsx"},
        {{"summary-table", kTwoDrug, "-o", Path("no/such/t.txt")}, 1, "cannot create"},
    };
    for (const CCase& c : cases) {
        const CResult run = Run(c.args);
        EXPECT_EQ(run.exitCode, c.code) << c.args.back() << ": " << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_FALSE(fs::exists(Path("t.csv")));
}

} // namespace

// The engine as windows use it: one analysis result, builds that run beside
// each other and can be stopped, graphs that outlive the records they show.
#include "core/analysis.h"
#include "core/document.h"
#include "core/encoding.h"
#include "core/random.h"
#include "core/text_import.h"
#include "graph/build_graphs.h"
#include "graph/datasets.h"
#include "report/summary_report.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace doseplex;
using testing_support::MakeDrug;

const std::filesystem::path kSource = DOSEPLEX_SOURCE_DIR;

std::unique_ptr<CDoseplexDoc> ImportExample(const char* name) {
    auto doc = std::make_unique<CDoseplexDoc>();
    CImportError error;
    EXPECT_TRUE(ImportTextFile((kSource / "examples" / name).string(), *doc, error));
    return doc;
}

std::string Report(const CDoseplexDoc& doc, const CBuildTarget& target) {
    CRandom random;
    std::string text;
    EXPECT_EQ(BuildReport(doc, target, random, text), EBuildStatus::Built);
    return text;
}

// Every curve value of every graph, sampled across each graph's x range.
std::vector<double> Samples(const GraphList& graphs) {
    std::vector<double> values;
    for (const auto& graph : graphs) {
        for (const auto& series : graph->m_datasets) {
            for (int i = 0; i <= 16; ++i) {
                const double x = graph->m_xMin + (graph->m_xMax - graph->m_xMin) * i / 16.0;
                double y = 0.0, low = 0.0, high = 0.0;
                if (series->Evaluate(x, y, low, high)) {
                    values.insert(values.end(), {y, low, high});
                }
            }
        }
    }
    return values;
}

GraphList Graphs(const CDoseplexDoc& doc, const CBuildTarget& target) {
    CRandom random;
    GraphList graphs;
    EXPECT_EQ(BuildGraphs(doc, target, random, graphs), EBuildStatus::Built);
    return graphs;
}

TEST(Engine, BuildsGiveTheSameResultsInAnyOrderAndBesideEachOther) {
    auto doc = ImportExample("three-drug.txt");
    doc->m_analysis.m_nMonteCarlo = 1;
    doc->m_analysis.m_nReportRepeats = 300;
    doc->m_analysis.m_nGraphRepeats = 50;
    const CBuildTarget combination = CBuildTarget::Drug(2);

    // Alone, in one order...
    const std::string report = Report(*doc, combination);
    const std::vector<double> curves = Samples(Graphs(*doc, combination));
    const std::string summary = Report(*doc, CBuildTarget::Summary());
    // ...in the other order...
    EXPECT_EQ(Samples(Graphs(*doc, combination)), curves);
    EXPECT_EQ(Report(*doc, combination), report);
    EXPECT_EQ(Report(*doc, CBuildTarget::Summary()), summary);

    // ...and on two threads at once, each with a generator of its own.
    std::string threadReport;
    std::vector<double> threadCurves;
    for (int round = 0; round < 3; ++round) {
        std::thread reporter([&] { threadReport = Report(*doc, combination); });
        std::thread drawer([&] { threadCurves = Samples(Graphs(*doc, combination)); });
        reporter.join();
        drawer.join();
        EXPECT_EQ(threadReport, report);
        EXPECT_EQ(threadCurves, curves);
    }
}

TEST(Engine, GraphsOutliveReplacedAndDeletedRecords) {
    auto doc = ImportExample("two-drug.txt");
    GraphList graphs = Graphs(*doc, CBuildTarget::Drug(2));
    GraphList summary;
    doc->m_summaryDrugs = {doc->GetDrug(0), doc->GetDrug(2)};
    CRandom random;
    ASSERT_EQ(BuildGraphs(*doc, CBuildTarget::Summary(), random, summary), EBuildStatus::Built);
    const std::vector<double> before = Samples(graphs);

    // The combination is replaced by a copy, then deleted with its components.
    ASSERT_TRUE(doc->ReplaceDrug(2, doc->GetDrug(2)->Clone()));
    ASSERT_TRUE(doc->DeleteDrug(2));
    ASSERT_TRUE(doc->DeleteDrug(1));
    ASSERT_TRUE(doc->DeleteDrug(0));
    ASSERT_EQ(doc->DrugCount(), 0);

    // The graphs still show what they were built from.
    EXPECT_EQ(Samples(graphs), before);
    EXPECT_FALSE(Samples(summary).empty());
    ASSERT_NE(graphs[0]->m_pOverride, nullptr);
    graphs[0]->m_pOverride->m_bActive = 0;
}

TEST(Engine, CancelledBuildsHandOutNothing) {
    auto doc = ImportExample("two-drug.txt");
    doc->m_analysis.m_nMonteCarlo = 1;
    doc->m_analysis.m_nReportRepeats = 32767;
    doc->m_analysis.m_nGraphRepeats = 32767;

    // Progress counts simulated levels up to the total, then the work stops.
    std::vector<long long> progress;
    CRunControl control([&](long long done, long long total) {
        progress.push_back(done);
        EXPECT_EQ(total, EffectLevelCount(doc->m_analysis));
        if (done == 3) {
            control.Cancel();
        }
    });
    CRandom random;
    std::string text = "kept";
    EXPECT_EQ(BuildReport(*doc, CBuildTarget::Drug(2), random, text, &control),
              EBuildStatus::Cancelled);
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(progress, (std::vector<long long>{1, 2, 3}));

    GraphList graphs = Graphs(*doc, CBuildTarget::Drug(0));
    const size_t shown = graphs.size();
    EXPECT_EQ(BuildGraphs(*doc, CBuildTarget::Drug(2), random, graphs, &control),
              EBuildStatus::Cancelled);
    EXPECT_EQ(graphs.size(), shown) << "the graphs shown before stay";

    // Without cancelling, the same report completes with every level counted.
    CRunControl watched;
    text.clear();
    doc->m_analysis.m_nReportRepeats = 10;
    EXPECT_EQ(BuildReport(*doc, CBuildTarget::Drug(2), random, text, &watched),
              EBuildStatus::Built);
    EXPECT_NE(text.find("10 iterations per point"), std::string::npos);
}

TEST(Engine, IndexRestingOnAnUnusableDoseIsNotComputable) {
    DrugList drugs;
    drugs.push_back(MakeDrug("A", "uM", {{1.0, 0.2}, {10.0, 0.8}}));
    // Nearly flat: at low effects its predicted dose underflows to 0.
    drugs.push_back(MakeDrug("Flat", "uM", {{1.0, 0.499}, {2.0, 0.5005}, {10.0, 0.501}}));
    auto combo = std::make_shared<CDrugInfo>();
    const std::uint16_t ids[] = {0, 1};
    const double ratio[] = {1.0, 1.0};
    ASSERT_TRUE(combo->SetComponents(2, ids));
    ASSERT_TRUE(combo->SetRatio(2, ratio));
    ASSERT_TRUE(combo->AddPoint(combo->CreatePoint(0.5, 0.3, 2, nullptr)));
    ASSERT_TRUE(combo->AddPoint(combo->CreatePoint(5.0, 0.7, 2, nullptr)));
    drugs.push_back(combo);

    CAnalysisOptions options;
    CRandom random;
    CAnalysisResult result;
    ASSERT_EQ(
        AnalyseRecord(*combo, drugs, options, CAnalysisRequest::ForReport(options), random, result),
        EBuildStatus::Built);
    const CLevelAnalysis& low = result.levels.front(); // fa 0.02
    EXPECT_FALSE(low.dx[1].has_value() && *low.dx[1] > 0.0);
    EXPECT_FALSE(low.ci.has_value()) << *low.ci;
    EXPECT_FALSE(low.estimated);
    EXPECT_FALSE(result.summaryCi[2].has_value());

    // A ratio part of 0 gives a component dose of 0: no index either.
    const double zero[] = {1.0, 0.0};
    ASSERT_TRUE(combo->SetRatio(2, zero));
    double ci = 0.0;
    EXPECT_FALSE(combo->CombinationIndex(0.5, drugs, ci));
    EXPECT_FALSE(combo->PointCombinationIndex(0, drugs, ci));
}

TEST(Encoding, BytesTextsAndStoredTextRoundTrip) {
    struct Case {
        std::string bytes; // 8-bit, as read from a file
        std::string utf8;  // as held in memory
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"\xB5M", "\xC2\xB5M"},                           // Windows-1252 micro sign
        {"\x80", "\xE2\x82\xAC"},                         // euro sign
        {"\x9F", "\xC5\xB8"},                             // Y with diaeresis
        {"\xC2\xB5M", "\xC2\xB5M"},                       // already valid UTF-8: kept
        {"\xE2\x82", "\xC3\xA2\xE2\x80\x9A"},             // cut UTF-8 read as Windows-1252
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                 // overlong form is not UTF-8
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"}, // surrogate is not UTF-8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(EightBitToUtf8(c.bytes), c.utf8);
        EXPECT_EQ(EightBitToUtf8(Utf8ToStoredText(c.utf8)), c.utf8);
    }
    // The five bytes Windows-1252 leaves undefined still read as characters
    // and are stored back as themselves.
    for (const char byte : {'\x81', '\x8D', '\x8F', '\x90', '\x9D'}) {
        const std::string text = EightBitToUtf8(std::string(1, byte));
        SCOPED_TRACE(text);
        EXPECT_TRUE(IsValidUtf8(text));
        EXPECT_EQ(EightBitToUtf8(Utf8ToStoredText(text)), text);
    }
    // Text without a Windows-1252 byte stays UTF-8 on the way out.
    EXPECT_EQ(Utf8ToEightBit("\xE2\x86\x92"), "\xE2\x86\x92");
    EXPECT_EQ(Utf8ToEightBit("\xC2\xB5M"), "\xB5M");
    EXPECT_FALSE(IsValidUtf8("\xF5\x80\x80\x80"));
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x92\x8A"));
}

} // namespace

// The analysis graphs built for a record and for the summary selection, and
// the series they hold.
#include "core/document.h"
#include "core/drug_info.h"
#include "core/message_sink.h"
#include "core/random.h"
#include "graph/build_graphs.h"
#include "graph/datasets.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace doseplex;
using testing_support::MakeDrug;

using Points = std::vector<std::pair<double, double>>; // (dose, fa)

// Scattered data, so that every fit has standard errors and the CI a band.
const Points kDrugA = {{1.0, 0.15}, {2.0, 0.35}, {5.0, 0.55}, {10.0, 0.8}};
const Points kDrugB = {{2.0, 0.1}, {5.0, 0.3}, {10.0, 0.6}, {20.0, 0.75}};
const Points kDrugC = {{1.0, 0.1}, {4.0, 0.3}, {8.0, 0.5}, {30.0, 0.85}};
const Points kMixture = {{0.5, 0.2}, {1.0, 0.45}, {2.0, 0.6}, {4.0, 0.85}};
const Points kFalling = {{1.0, 0.8}, {10.0, 0.2}};

const char* const kNegativeSlope =
    "Error \nThe computed median-effect curve has a negative slope. \n\nYou may need to express "
    "your results differently to comply with the DosePlex mathematical model.";
const char* const kFlatSlope =
    "Error \nThe computed median-effect curve is flat (its slope is 0). \n\nYou may need to "
    "express your results differently to comply with the DosePlex mathematical model.";

// A document to build graphs from; messages are collected.
class GraphBuildTest : public testing::Test {
protected:
    int AddDrug(const std::string& name, const Points& points) {
        m_doc.m_drugs.push_back(MakeDrug(name, "uM", points));
        return static_cast<int>(m_doc.m_drugs.size()) - 1;
    }

    // A combination of the given drug ids. An empty `pointRatios` gives a
    // constant ratio `ratio`; otherwise point i is mixed as pointRatios[i].
    int AddCombination(const std::string& name, const std::vector<std::uint16_t>& ids,
                       const std::vector<double>& ratio, const Points& points,
                       const std::vector<std::vector<double>>& pointRatios = {}) {
        auto combo = std::make_unique<CDrugInfo>();
        combo->m_strName = name;
        const auto count = static_cast<std::uint16_t>(ids.size());
        EXPECT_TRUE(combo->SetComponents(count, ids.data()));
        if (pointRatios.empty()) {
            EXPECT_TRUE(combo->SetRatio(count, ratio.data()));
        } else {
            EXPECT_TRUE(combo->SetConstantRatio(0));
        }
        for (size_t i = 0; i < points.size(); ++i) {
            const double* mix = pointRatios.empty() ? nullptr : pointRatios[i].data();
            EXPECT_TRUE(
                combo->AddPoint(combo->CreatePoint(points[i].first, points[i].second, count, mix)));
        }
        m_doc.m_drugs.push_back(std::move(combo));
        return static_cast<int>(m_doc.m_drugs.size()) - 1;
    }

    // Drugs A (0) and B (1) and their constant-ratio combination (2).
    int AddTwoDrugCombination() {
        AddDrug("DrugA", kDrugA);
        AddDrug("DrugB", kDrugB);
        return AddCombination("A+B", {0, 1}, {1.0, 2.0}, kMixture);
    }

    CDrugInfo& Record(int id) { return *m_doc.m_drugs[static_cast<size_t>(id)]; }
    std::shared_ptr<CDrugInfo> Shared(int id) { return m_doc.m_drugs[static_cast<size_t>(id)]; }
    std::shared_ptr<CDrugInfo> Shared(const CDrugInfo& record) {
        for (const auto& each : m_doc.m_drugs) {
            if (each.get() == &record) {
                return each;
            }
        }
        ADD_FAILURE() << "record not in the document";
        return nullptr;
    }

    // A Fa-CI series with the band ComputeCIBand gives it.
    CCIDataset CISeries(const CDrugInfo& record, int iterations, double multiple, bool log,
                        bool showCurve, std::uint16_t style,
                        ECIForm form = ECIForm::MutuallyExclusive) {
        CCIBand band;
        EXPECT_TRUE(ComputeCIBand(record, m_doc.m_drugs, iterations, multiple, form, m_random,
                                  nullptr, band));
        return CCIDataset(Shared(record), std::make_shared<const DrugList>(m_doc.m_drugs), band,
                          iterations, multiple, log, showCurve, style, form);
    }

    bool Build(int id) {
        return BuildGraphs(m_doc, CBuildTarget::Drug(id), m_random, m_graphs) ==
               EBuildStatus::Built;
    }

    bool BuildSummary(const std::vector<int>& ids) {
        m_doc.m_summaryDrugs.clear();
        for (const int id : ids) {
            m_doc.m_summaryDrugs.push_back(&Record(id));
        }
        return BuildGraphs(m_doc, CBuildTarget::Summary(), m_random, m_graphs) ==
               EBuildStatus::Built;
    }

    std::vector<std::string> Titles() const {
        std::vector<std::string> titles;
        for (const auto& graph : m_graphs) {
            titles.push_back(graph->GetTitle());
        }
        return titles;
    }

    std::vector<int> SeriesCounts() const {
        std::vector<int> counts;
        for (const auto& graph : m_graphs) {
            counts.push_back(static_cast<int>(graph->m_datasets.size()));
        }
        return counts;
    }

    CCollectingMessageSink m_sink;
    CScopedMessageSink m_scope{m_sink};
    CDoseplexDoc m_doc;
    GraphList m_graphs;
    CRandom m_random;
};

// ---------------------------------------------------------------------------
// Graphs of one record

TEST_F(GraphBuildTest, ConstantRatioCombinationGetsSixGraphsInOrder) {
    const int combo = AddTwoDrugCombination();
    CDrugInfo& record = Record(combo);
    m_graphs.push_back(std::make_unique<CGraph>());
    ASSERT_TRUE(Build(combo));

    struct Expected {
        const char* title;
        const char* xTitle;
        const char* yTitle;
        int series;
        EGraphKind kind;
        int errorBands;
        int legend;
    };
    const Expected expected[] = {
        {"Median-effect plot", "log(D)", "log(fa/fu)", 3, kGraphMedianEffect, 0, 1},
        {"Dose-effect curve", "Dose", "Effect", 3, kGraphDoseEffect, 0, 1},
        {"A+B - Algebraic estimate", "Fractional Effect", "CI +/- 1.96 s.d.", 2, kGraphFaCI, 1, 0},
        {"A+B - Algebraic estimate", "Fractional Effect", "log10(CI) +/- 1.96 s.d.", 1,
         kGraphLogFaCI, 1, 0},
        {"Isobologram", "DrugB", "DrugA", 3, kGraphIsobologram, 0, 1},
        {"Conservative Isobologram", "DrugB", "DrugA", 3, kGraphConservativeIsobologram, 0, 1},
    };
    ASSERT_EQ(m_graphs.size(), std::size(expected));
    for (size_t i = 0; i < m_graphs.size(); ++i) {
        const CGraph& graph = *m_graphs[i];
        const Expected& e = expected[i];
        SCOPED_TRACE(e.title);
        EXPECT_EQ(graph.GetTitle(), e.title);
        EXPECT_EQ(graph.GetXTitle(), e.xTitle);
        EXPECT_EQ(graph.GetYTitle(), e.yTitle);
        EXPECT_EQ(static_cast<int>(graph.m_datasets.size()), e.series);
        EXPECT_EQ(graph.m_pOverride.get(), &record.m_graphOverride[e.kind]);
        EXPECT_EQ(graph.m_bErrorBands, e.errorBands);
        EXPECT_EQ(graph.m_bShowLegend, e.legend);
    }

    // The combination first, then its components in component order.
    for (const size_t plot : {0u, 1u}) {
        const auto& series = m_graphs[plot]->m_datasets;
        EXPECT_EQ(series[0]->m_strName, "A+B");
        EXPECT_EQ(series[1]->m_strName, "DrugA");
        EXPECT_EQ(series[2]->m_strName, "DrugB");
        EXPECT_TRUE(series[0]->HasCurve());
    }
    // The CI series, then its reference line CI = 1 without a name.
    const auto& faCI = m_graphs[2]->m_datasets;
    EXPECT_EQ(faCI[0]->m_strName, "A+B - Algebraic Estimation");
    EXPECT_NE(dynamic_cast<const CCIDataset*>(faCI[0].get()), nullptr);
    const auto* line = dynamic_cast<const CConstDataset*>(faCI[1].get());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->m_value, 1.0);
    EXPECT_EQ(line->m_strName, "");
    const auto* logCI = dynamic_cast<const CCIDataset*>(m_graphs[3]->m_datasets[0].get());
    ASSERT_NE(logCI, nullptr);
    EXPECT_EQ(logCI->m_bLog, 1);

    const auto* classic = dynamic_cast<const CIsoDataset*>(m_graphs[4]->m_datasets[0].get());
    const auto* conservative = dynamic_cast<const CIsoDataset*>(m_graphs[5]->m_datasets[0].get());
    ASSERT_NE(classic, nullptr);
    ASSERT_NE(conservative, nullptr);
    EXPECT_EQ(classic->m_bConservative, 0);
    EXPECT_EQ(conservative->m_bConservative, 1);
}

TEST_F(GraphBuildTest, FaCIAxesHoldTheErrorBand) {
    const int combo = AddTwoDrugCombination();
    ASSERT_TRUE(Build(combo));
    for (const size_t plot : {2u, 3u}) {
        const CGraph& graph = *m_graphs[plot];
        SCOPED_TRACE(graph.GetYTitle());
        const CDataset& ci = *graph.m_datasets[0];
        for (int k = 0; k < 20; ++k) {
            const double fa = CCIDataset::BandLevel(k);
            double y = 0.0;
            double low = 0.0;
            double high = 0.0;
            ASSERT_TRUE(ci.Evaluate(fa, y, low, high));
            EXPECT_GE(low, graph.m_yMin) << fa;
            EXPECT_LE(high, graph.m_yMax) << fa;
        }
        // The range the user sees in the graph properties is the same.
        EXPECT_EQ(graph.m_pOverride->m_yMax, graph.m_yMax);
    }
}

TEST_F(GraphBuildTest, SetOfGraphsFollowsTheRecordAndTheOptions) {
    const int a = AddDrug("DrugA", kDrugA);
    AddDrug("DrugB", kDrugB);
    AddDrug("DrugC", kDrugC);
    const int constant = AddCombination("A+B", {0, 1}, {1.0, 2.0}, kMixture);
    const int mixed = AddCombination("A+B mixed", {0, 1}, {}, kMixture,
                                     {{1.0, 1.0}, {1.0, 2.0}, {1.0, 4.0}, {1.0, 0.5}});
    const int three = AddCombination("A+B+C", {0, 1, 2}, {1.0, 2.0, 1.0}, kMixture);

    struct Case {
        const char* name;
        int id;
        int logPlots;
        int conservativeIso;
        std::vector<std::string> titles;
    };
    const Case cases[] = {
        {"single drug", a, 1, 1, {"Median-effect plot", "Dose-effect curve"}},
        {"constant ratio, no optional plots",
         constant,
         0,
         0,
         {"Median-effect plot", "Dose-effect curve", "A+B - Algebraic estimate", "Isobologram"}},
        {"non-constant ratio",
         mixed,
         1,
         1,
         {"Median-effect plot", "Dose-effect curve", "A+B mixed - Algebraic estimate",
          "A+B mixed - Algebraic estimate", "Normalised Isobologram"}},
        {"three drugs",
         three,
         1,
         1,
         {"Median-effect plot", "Dose-effect curve", "A+B+C - Algebraic estimate",
          "A+B+C - Algebraic estimate"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_doc.m_graph.m_nLogPlots = c.logPlots;
        m_doc.m_graph.m_nConservativeIso = c.conservativeIso;
        ASSERT_TRUE(Build(c.id));
        EXPECT_EQ(Titles(), c.titles);
    }
    EXPECT_TRUE(m_sink.m_messages.empty());
}

TEST_F(GraphBuildTest, NothingToBuildLeavesTheListAlone) {
    AddDrug("DrugA", kDrugA);
    for (const int id : {-1, 1, 5}) {
        SCOPED_TRACE(id);
        m_graphs.clear();
        m_graphs.push_back(std::make_unique<CGraph>());
        EXPECT_FALSE(Build(id));
        EXPECT_EQ(m_graphs.size(), 1u);
    }
}

TEST_F(GraphBuildTest, FaCIPlotTitlesAndSeriesFollowTheAnalysisOptions) {
    const int combo = AddTwoDrugCombination();
    m_doc.m_analysis.m_nGraphRepeats = 30;
    struct Case {
        int monteCarlo;
        int errorBand;
        double sdMultiple;
        const char* title;
        const char* yTitle;
        const char* logYTitle;
        const char* seriesName;
        int iterations;
    };
    const Case cases[] = {
        {0, 1, 1.96, "A+B - Algebraic estimate", "CI +/- 1.96 s.d.", "log10(CI) +/- 1.96 s.d.",
         "A+B - Algebraic Estimation", 0},
        {0, 0, 1.96, "A+B - Algebraic estimate", "CI", "log10(CI)", "A+B - Algebraic Estimation",
         0},
        {0, 1, 2.5, "A+B - Algebraic estimate", "CI +/- 2.5 s.d.", "log10(CI) +/- 2.5 s.d.",
         "A+B - Algebraic Estimation", 0},
        {1, 1, 1.0, "A+B - Monte Carlo", "CI +/- 1 s.d.", "log10(CI) +/- 1 s.d.",
         "A+B - Monte Carlo Estimation", 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.yTitle);
        m_doc.m_analysis.m_nMonteCarlo = c.monteCarlo;
        m_doc.m_analysis.m_nErrorBand = c.errorBand;
        m_doc.m_analysis.m_dSdMultiple = c.sdMultiple;
        ASSERT_TRUE(Build(combo));
        ASSERT_GE(m_graphs.size(), 4u);
        const CGraph& faCI = *m_graphs[2];
        const CGraph& logFaCI = *m_graphs[3];
        EXPECT_EQ(faCI.GetTitle(), c.title);
        EXPECT_EQ(logFaCI.GetTitle(), c.title);
        EXPECT_EQ(faCI.GetYTitle(), c.yTitle);
        EXPECT_EQ(logFaCI.GetYTitle(), c.logYTitle);
        EXPECT_EQ(faCI.m_bErrorBands, c.errorBand);
        EXPECT_EQ(logFaCI.m_bErrorBands, c.errorBand);

        const auto* series = dynamic_cast<const CCIDataset*>(faCI.m_datasets[0].get());
        ASSERT_NE(series, nullptr);
        EXPECT_EQ(series->m_strName, c.seriesName);
        EXPECT_EQ(series->m_nIterations, c.iterations);
        EXPECT_EQ(series->m_sdMultiple, c.sdMultiple);
        // A band is computed whatever the ErrorBand option: it limits the
        // curve to 0.05..0.99 even when it is not drawn.
        EXPECT_EQ(series->m_pLower.size(), 20u);
        double y = 0.0, low = 0.0, high = 0.0;
        EXPECT_TRUE(series->Evaluate(0.5, y, low, high));
        EXPECT_LT(low, high);
        for (const double outside : {0.03, 0.995}) {
            EXPECT_FALSE(series->Evaluate(outside, y, low, high)) << outside;
        }
    }
}

TEST_F(GraphBuildTest, CIPointAndLineOptionsReachTheSeries) {
    const int combo = AddTwoDrugCombination();
    for (const int points : {0, 1}) {
        for (const int line : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "points " << points << " line " << line);
            m_doc.m_graph.m_nCIPoints = points;
            m_doc.m_graph.m_nCILine = line;
            ASSERT_TRUE(Build(combo));
            for (const size_t plot : {2u, 3u}) {
                const CDataset& series = *m_graphs[plot]->m_datasets[0];
                EXPECT_EQ(series.ShowPoints(), points != 0);
                EXPECT_EQ(series.HasCurve(), line != 0);
                EXPECT_NE(series.GetStyle(), kConstantLineStyle);
            }
        }
    }
}

TEST_F(GraphBuildTest, NonConstantRatioCombination) {
    AddDrug("DrugA", kDrugA);
    AddDrug("DrugB", kDrugB);
    const std::vector<std::vector<double>> ratios = {
        {1.0, 1.0}, {1.0, 2.0}, {1.0, 4.0}, {1.0, 0.5}};
    const int combo = AddCombination("Mix", {0, 1}, {}, kMixture, ratios);
    CDrugInfo& record = Record(combo);
    ASSERT_TRUE(Build(combo));
    ASSERT_EQ(m_graphs.size(), 5u);

    // Its points show on the median-effect plot, without a line.
    const CDataset& median = *m_graphs[0]->m_datasets[0];
    EXPECT_EQ(median.m_strName, "Mix");
    EXPECT_EQ(median.GetCount(), 4);
    EXPECT_FALSE(median.HasCurve());

    // Only the numbered experimental points on the Fa-CI plot.
    const auto* ci = dynamic_cast<const CCIDataset*>(m_graphs[2]->m_datasets[0].get());
    ASSERT_NE(ci, nullptr);
    EXPECT_EQ(ci->GetCount(), 4);
    EXPECT_TRUE(ci->NumberPoints());
    EXPECT_FALSE(ci->HasCurve());
    EXPECT_TRUE(ci->m_pLower.empty());

    const CGraph& iso = *m_graphs[4];
    EXPECT_EQ(iso.GetTitle(), "Normalised Isobologram");
    EXPECT_EQ(iso.GetXTitle(), "DrugB");
    EXPECT_EQ(iso.GetYTitle(), "DrugA");
    EXPECT_EQ(iso.m_bErrorBands, 0);
    EXPECT_EQ(iso.m_pOverride.get(), &record.m_graphOverride[kGraphIsobologram]);
    ASSERT_EQ(iso.m_datasets.size(), 1u);
    const CDataset& normalised = *iso.m_datasets[0];
    EXPECT_EQ(normalised.m_strName, "");
    EXPECT_TRUE(normalised.PerPointLegend());
    EXPECT_TRUE(normalised.NumberPoints());
    EXPECT_TRUE(normalised.ShowPoints());
    ASSERT_EQ(normalised.GetCount(), 4);
    for (int j = 0; j < 4; ++j) {
        double n2 = 0.0, n1 = 0.0, x = 0.0, y = 0.0;
        ASSERT_TRUE(record.NormalisedIsobologramPoint(j, m_doc.m_drugs, n2, n1));
        ASSERT_TRUE(normalised.PointAt(j, x, y));
        EXPECT_EQ(x, n2);
        EXPECT_EQ(y, n1);
        EXPECT_EQ(normalised.GetPointLabel(j), record.PointRatioText(j, -1));
    }
    EXPECT_EQ(normalised.GetPointLabel(1), "1:2");
    // The line of additivity, ending on the axes.
    double y = 0.0, low = 0.0, high = 0.0;
    EXPECT_TRUE(normalised.Evaluate(0.25, y, low, high));
    EXPECT_DOUBLE_EQ(y, 0.75);
    EXPECT_FALSE(normalised.Evaluate(0.0, y, low, high));
    EXPECT_FALSE(normalised.Evaluate(1.5, y, low, high));
}

TEST_F(GraphBuildTest, IsobolesAreNamedByTheirEffectLevels) {
    const int combo = AddTwoDrugCombination();
    m_doc.m_analysis.m_dEffect1 = 0.125;
    m_doc.m_analysis.m_dEffect2 = 0.5;
    m_doc.m_analysis.m_dEffect3 = 0.9;
    ASSERT_TRUE(Build(combo));
    for (const size_t plot : {4u, 5u}) {
        const auto& series = m_graphs[plot]->m_datasets;
        ASSERT_EQ(series.size(), 3u);
        EXPECT_EQ(series[0]->m_strName, "ED12.5");
        EXPECT_EQ(series[1]->m_strName, "ED50");
        EXPECT_EQ(series[2]->m_strName, "ED90");
    }
}

TEST_F(GraphBuildTest, IsoboleJoinsTheSingleDrugDosesThroughTheCombination) {
    const int combo = AddTwoDrugCombination();
    CDrugInfo& record = Record(combo);
    for (const double fa : {0.3, 0.5, 0.75}) {
        SCOPED_TRACE(fa);
        double dx1 = 0.0, dx2 = 0.0, d1 = 0.0, d2 = 0.0;
        ASSERT_TRUE(record.IsobologramPoint(fa, m_doc.m_drugs, dx1, dx2, d1, d2));
        const CIsoDataset classic(fa, Shared(record), m_doc.m_drugs, false, kNextStyle);
        const CIsoDataset conservative(fa, Shared(record), m_doc.m_drugs, true, kNextStyle);
        ASSERT_EQ(classic.GetCount(), 3);
        const double expectedX[] = {0.0, d2, dx2};
        const double expectedY[] = {dx1, d1, 0.0};
        for (int i = 0; i < 3; ++i) {
            double x = -1.0, y = -1.0;
            ASSERT_TRUE(classic.PointAt(i, x, y));
            EXPECT_EQ(x, expectedX[i]);
            EXPECT_EQ(y, expectedY[i]);
        }

        // Both forms start at (Dx)1 and end at (Dx)2; halfway along the x
        // axis the straight isobole is at half, the conservative one at a
        // third of (Dx)1.
        double y = 0.0, low = 0.0, high = 0.0;
        for (const CIsoDataset* iso : {&classic, &conservative}) {
            ASSERT_TRUE(iso->Evaluate(0.0, y, low, high));
            EXPECT_DOUBLE_EQ(y, dx1);
            EXPECT_FALSE(iso->Evaluate(dx2 * 1.01, y, low, high));
        }
        ASSERT_TRUE(classic.Evaluate(dx2 / 2.0, y, low, high));
        EXPECT_DOUBLE_EQ(y, dx1 / 2.0);
        ASSERT_TRUE(conservative.Evaluate(dx2 / 2.0, y, low, high));
        EXPECT_DOUBLE_EQ(y, dx1 / 3.0);
        EXPECT_EQ(low, y);
        EXPECT_EQ(high, y);
    }
}

TEST_F(GraphBuildTest, RecordWithOneDoseHasNoMedianEffectSeries) {
    const int drug = AddDrug("Flat", {{2.0, 0.3}, {2.0, 0.6}, {2.0, 0.5}});
    EXPECT_FALSE(HasUsableMedianData(Record(drug)));
    ASSERT_TRUE(Build(drug));
    EXPECT_EQ(SeriesCounts(), (std::vector<int>{0, 1}));
    EXPECT_EQ(m_graphs[1]->m_datasets[0]->GetCount(), 3);
    EXPECT_TRUE(m_sink.m_messages.empty());
}

TEST_F(GraphBuildTest, NegativeSlopeAbortsTheBuild) {
    struct Case {
        const char* name;
        Points drug;
        Points mixture;
        bool summary;
        const char* message = kNegativeSlope;
    };
    const Case cases[] = {
        {"falling single drug", kFalling, {}, false},
        {"flat single drug", {{1.0, 0.5}, {10.0, 0.5}}, {}, false, kFlatSlope},
        {"falling combination", kDrugA, kFalling, false},
        {"falling component", kFalling, kMixture, false},
        {"falling drug in the summary's second group", kFalling, kMixture, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_doc.m_drugs.clear();
        m_sink.m_messages.clear();
        AddDrug("DrugB", kDrugB);
        const int suspect = AddDrug("Suspect", c.drug);
        int built = suspect;
        if (!c.mixture.empty()) {
            built = AddCombination("Mix", {1, 0}, {1.0, 1.0}, c.mixture);
        }
        m_graphs.clear();
        m_graphs.push_back(std::make_unique<CGraph>());
        if (c.summary) {
            m_doc.m_nDrugsPerMedianGraph = 1;
            EXPECT_FALSE(BuildSummary({0, suspect}));
        } else {
            EXPECT_FALSE(Build(built));
        }
        EXPECT_TRUE(m_graphs.empty());
        EXPECT_EQ(m_sink.m_messages, std::vector<std::string>{c.message});
    }
}

// ---------------------------------------------------------------------------
// Summary graphs

TEST_F(GraphBuildTest, SummaryGroupsSingleDrugs) {
    std::vector<int> ids;
    for (int i = 0; i < 7; ++i) {
        // The third drug has no usable median-effect data but still counts.
        ids.push_back(
            AddDrug("Drug" + std::to_string(i), i == 2 ? Points{{3.0, 0.2}, {3.0, 0.4}} : kDrugA));
    }
    m_doc.m_nDrugsPerMedianGraph = 5;
    ASSERT_TRUE(BuildSummary(ids));
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Median-effect plot", "Median-effect plot",
                                                  "Dose-effect curve", "Dose-effect curve"}));
    EXPECT_EQ(SeriesCounts(), (std::vector<int>{4, 2, 5, 2}));
    EXPECT_EQ(m_graphs[1]->m_datasets[0]->m_strName, "Drug5");
    for (const auto& graph : m_graphs) {
        EXPECT_EQ(graph->m_pOverride, nullptr);
    }
    EXPECT_TRUE(m_sink.m_messages.empty());
}

TEST_F(GraphBuildTest, SummaryFaCIPlotsGroupCombinationsAndEndWithTheReferenceLine) {
    AddDrug("DrugA", kDrugA);
    AddDrug("DrugB", kDrugB);
    std::vector<int> ids = {0};
    for (int i = 0; i < 4; ++i) {
        ids.push_back(AddCombination("Combo" + std::to_string(i), {0, 1},
                                     {1.0, 1.0 + static_cast<double>(i)}, kMixture));
    }
    ids.push_back(1);
    m_doc.m_nDrugsPerMedianGraph = 6;
    m_doc.m_nDrugsPerCIGraph = 3;
    ASSERT_TRUE(BuildSummary(ids));
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Median-effect plot", "Dose-effect curve",
                                                  "Fa-CI plot", "Fa-CI plot"}));
    EXPECT_EQ(SeriesCounts(), (std::vector<int>{6, 6, 4, 2}));

    for (size_t plot = 2; plot < 4; ++plot) {
        const CGraph& graph = *m_graphs[plot];
        EXPECT_EQ(graph.GetXTitle(), "Effect");
        EXPECT_EQ(graph.GetYTitle(), "CI");
        EXPECT_EQ(graph.m_bErrorBands, 0);
        EXPECT_EQ(graph.m_bShowLegend, 1);
        EXPECT_EQ(graph.m_pOverride, nullptr);
        const auto* line = dynamic_cast<const CConstDataset*>(graph.m_datasets.back().get());
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->m_strName, "CI = 1.0");
        EXPECT_EQ(line->m_value, 1.0);
    }
    // Without a multiplier the series carry bare names and a band of zero
    // width, which still ends the curve at 0.05 and 0.99.
    const auto* first = dynamic_cast<const CCIDataset*>(m_graphs[2]->m_datasets[0].get());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->m_strName, "Combo0");
    EXPECT_EQ(first->m_nIterations, 0);
    EXPECT_EQ(m_graphs[3]->m_datasets[0]->m_strName, "Combo3");
    double y = 0.0, low = 0.0, high = 0.0;
    ASSERT_TRUE(first->Evaluate(0.3, y, low, high));
    EXPECT_EQ(low, high);
    EXPECT_FALSE(first->Evaluate(0.02, y, low, high));
    EXPECT_FALSE(first->Evaluate(0.995, y, low, high));
}

TEST_F(GraphBuildTest, EmptySummarySelectionEmptiesTheList) {
    AddDrug("DrugA", kDrugA);
    m_graphs.push_back(std::make_unique<CGraph>());
    EXPECT_FALSE(BuildSummary({}));
    EXPECT_TRUE(m_graphs.empty());
}

// ---------------------------------------------------------------------------
// Preview graph

TEST_F(GraphBuildTest, PreviewGraphShowsOneSeriesOfTheRecord) {
    const int usable = AddDrug("DrugA", kDrugA);
    const int oneDose = AddDrug("Flat", {{2.0, 0.3}, {2.0, 0.6}});
    const int falling = AddDrug("Falling", kFalling);

    CGraph graph;
    BuildPreviewGraph(graph, Shared(usable), EPreviewMode::DoseEffect);
    EXPECT_EQ(graph.GetTitle(), "Dose-effect curve");
    EXPECT_EQ(graph.GetXTitle(), "Dose");
    EXPECT_EQ(graph.GetYTitle(), "Effect");
    ASSERT_EQ(graph.m_datasets.size(), 1u);
    EXPECT_NE(dynamic_cast<const CDoseDataset*>(graph.m_datasets[0].get()), nullptr);

    // Replaced, not added to; no slope check in the preview.
    BuildPreviewGraph(graph, Shared(falling), EPreviewMode::MedianEffect);
    EXPECT_EQ(graph.GetTitle(), "Median-effect plot");
    EXPECT_EQ(graph.GetXTitle(), "log(D)");
    EXPECT_EQ(graph.GetYTitle(), "log(fa/fu)");
    ASSERT_EQ(graph.m_datasets.size(), 1u);
    EXPECT_EQ(graph.m_datasets[0]->m_strName, "Falling");
    EXPECT_TRUE(m_sink.m_messages.empty());

    // Without usable data the graph is left without series.
    BuildPreviewGraph(graph, Shared(oneDose), EPreviewMode::MedianEffect);
    EXPECT_TRUE(graph.m_datasets.empty());
    EXPECT_EQ(graph.m_pOverride, nullptr);
}

// ---------------------------------------------------------------------------
// Series

class DatasetTest : public GraphBuildTest {};

TEST_F(DatasetTest, CIBandAtItsGridLevelsIsTheComputedBand) {
    const int combo = AddTwoDrugCombination();
    CDrugInfo& record = Record(combo);
    const double multiple = 1.96;
    const CCIDataset linear = CISeries(record, 0, multiple, false, true, kNextStyle);
    const CCIDataset logarithmic = CISeries(record, 0, multiple, true, true, kNextStyle);
    ASSERT_EQ(linear.m_pLower.size(), 20u);
    ASSERT_EQ(logarithmic.m_pUpper.size(), 20u);

    for (int k = 0; k < 20; ++k) {
        const double fa = CCIDataset::BandLevel(k);
        SCOPED_TRACE(fa);
        double ci = 0.0, sd = 0.0, y = 0.0, low = 0.0, high = 0.0;
        ASSERT_TRUE(record.CombinationIndexSD(fa, m_doc.m_drugs, ci, sd));
        ASSERT_TRUE(linear.Evaluate(fa, y, low, high));
        EXPECT_NEAR(low, ci - sd * multiple, 1e-9);
        EXPECT_NEAR(high, ci + sd * multiple, 1e-9);
        double exact = 0.0;
        ASSERT_TRUE(record.CombinationIndex(fa, m_doc.m_drugs, exact));
        EXPECT_DOUBLE_EQ(y, exact);

        ASSERT_TRUE(logarithmic.Evaluate(fa, y, low, high));
        EXPECT_DOUBLE_EQ(y, std::log10(exact));
        EXPECT_NEAR(high, std::log10(ci + sd * multiple), 1e-9);
        EXPECT_NEAR(low, ci - sd * multiple > 0.0 ? std::log10(ci - sd * multiple) : -100.0, 1e-9);
    }
    EXPECT_DOUBLE_EQ(CCIDataset::BandLevel(0), 0.05);
    EXPECT_DOUBLE_EQ(CCIDataset::BandLevel(9), 0.5);
    EXPECT_DOUBLE_EQ(CCIDataset::BandLevel(18), 0.95);
    EXPECT_DOUBLE_EQ(CCIDataset::BandLevel(19), 0.99);

    // Halfway between two levels, in the first, a middle and the last segment.
    const struct {
        double fa;
        size_t segment;
    } halfway[] = {{0.075, 0}, {0.425, 7}, {0.97, 18}};
    for (const auto& h : halfway) {
        SCOPED_TRACE(h.fa);
        double y = 0.0, low = 0.0, high = 0.0;
        ASSERT_TRUE(linear.Evaluate(h.fa, y, low, high));
        EXPECT_NEAR(low, (linear.m_pLower[h.segment] + linear.m_pLower[h.segment + 1]) / 2.0, 1e-9);
        EXPECT_NEAR(high, (linear.m_pUpper[h.segment] + linear.m_pUpper[h.segment + 1]) / 2.0,
                    1e-9);
    }
}

TEST_F(DatasetTest, CICurveUsesTheSeriesOwnCIForm) {
    const int combo = AddTwoDrugCombination();
    CDrugInfo& record = Record(combo);
    const CCIDataset nonExclusive =
        CISeries(record, 0, 1.96, false, true, kNextStyle, ECIForm::NonExclusive);
    double expected = 0.0;
    ASSERT_TRUE(record.CombinationIndex(0.5, m_doc.m_drugs, expected, ECIForm::NonExclusive));
    // Not exclusive: named so, and no algebraic band, so the curve runs on.
    EXPECT_EQ(nonExclusive.m_strName, "A+B Non-exclusive");
    EXPECT_TRUE(nonExclusive.m_pLower.empty());

    double y = 0.0, low = 0.0, high = 0.0;
    ASSERT_TRUE(nonExclusive.Evaluate(0.5, y, low, high));
    EXPECT_DOUBLE_EQ(y, expected);
    EXPECT_EQ(low, y);
    EXPECT_EQ(high, y);
    EXPECT_FALSE(nonExclusive.Evaluate(1.0, y, low, high));
    EXPECT_TRUE(nonExclusive.Evaluate(0.02, y, low, high));

    double exclusiveCI = 0.0;
    ASSERT_TRUE(record.CombinationIndex(0.5, m_doc.m_drugs, exclusiveCI));
    EXPECT_LT(exclusiveCI, expected);
}

TEST_F(DatasetTest, CISeriesNames) {
    const int combo = AddTwoDrugCombination();
    CDrugInfo& record = Record(combo);
    struct Case {
        int exclusive;
        int iterations;
        double multiple;
        const char* name;
    };
    const Case cases[] = {
        {1, 0, 1.96, "A+B - Algebraic Estimation"},
        {1, 10, 1.96, "A+B - Monte Carlo Estimation"},
        {0, 10, 1.96, "A+B - Monte Carlo Estimation Non-exclusive"},
        {0, 0, 1.96, "A+B Non-exclusive"},
        {1, 10, 0.0, "A+B"},
        {0, 0, 0.0, "A+B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ECIForm form = c.exclusive ? ECIForm::MutuallyExclusive : ECIForm::NonExclusive;
        const CCIDataset series =
            CISeries(record, c.iterations, c.multiple, false, true, kNextStyle, form);
        EXPECT_EQ(series.m_strName, c.name);
        EXPECT_EQ(series.m_form, form);
    }
}

TEST_F(DatasetTest, BandThatCannotBeEstimatedIsLeftOut) {
    // A nearly flat dose-effect curve: at low effects DrugB's dose, simulated
    // or predicted, underflows to 0, on which no index can rest. The
    // simulation gives way to the algebraic estimate, which fails as well.
    AddDrug("DrugA", kDrugA);
    AddDrug("DrugB", {{1.0, 0.499}, {2.0, 0.5005}, {10.0, 0.501}});
    const int combo = AddCombination("A+B", {0, 1}, {1.0, 2.0}, kMixture);
    CDrugInfo& record = Record(combo);
    double mean = 0.0, sd = 0.0;
    CRandom random;
    ASSERT_FALSE(record.MonteCarloCI(10, 0.05, m_doc.m_drugs, random, mean, sd));

    const CCIDataset exclusive = CISeries(record, 10, 1.96, false, true, kNextStyle);
    EXPECT_EQ(exclusive.m_strName, "A+B - Monte Carlo Estimation");
    EXPECT_EQ(exclusive.m_nIterations, 0);
    double ci = 0.0;
    EXPECT_FALSE(record.CombinationIndexSD(0.05, m_doc.m_drugs, ci, sd));
    EXPECT_TRUE(exclusive.m_pLower.empty());

    const CCIDataset nonExclusive =
        CISeries(record, 10, 1.96, false, true, kNextStyle, ECIForm::NonExclusive);
    EXPECT_EQ(nonExclusive.m_strName, "A+B - Monte Carlo Estimation Non-exclusive");
    EXPECT_EQ(nonExclusive.m_nIterations, 0);
    EXPECT_TRUE(nonExclusive.m_pLower.empty());
}

TEST_F(DatasetTest, SeriesWithoutDataHaveNoPointsAndNoCurveValues) {
    AddDrug("DrugA", kDrugA);
    const int empty = AddDrug("Empty", {});
    const int flat = AddDrug("Flat", {{1.0, 0.5}, {10.0, 0.5}}); // slope 0: Dm is not finite
    const int orphan = AddCombination("Orphan", {0, 9}, {1.0, 1.0}, kMixture);
    const int noFit =
        AddCombination("NoFit", {0, static_cast<std::uint16_t>(empty)}, {1.0, 1.0}, kMixture);

    const auto noPoints = [](const CDataset& series) {
        EXPECT_EQ(series.GetCount(), 0);
        double min = 0.0, max = 0.0;
        EXPECT_FALSE(series.GetYRange(0.0, 1.0, min, max, 10, true));
    };
    noPoints(CDoseDataset(Shared(empty), 0, kNextStyle));
    noPoints(CMedianDataset(Shared(empty), 0, kNextStyle));
    noPoints(CISeries(Record(0), 0, 1.96, false, true, kNextStyle));
    noPoints(CISeries(Record(empty), 0, 1.96, false, true, kNextStyle));
    for (const int combo : {orphan, noFit}) {
        SCOPED_TRACE(Record(combo).m_strName);
        CDrugInfo& record = Record(combo);
        noPoints(CIsoDataset(0.5, Shared(record), m_doc.m_drugs, false, kNextStyle));
        noPoints(CNormalisedIsoDataset(Shared(record), m_doc.m_drugs, kNextStyle));
        const CCIDataset ci = CISeries(record, 5, 1.96, false, true, kNextStyle);
        EXPECT_EQ(ci.GetCount(), 0);
        EXPECT_TRUE(ci.m_pLower.empty());
        double y = 0.0, low = 0.0, high = 0.0;
        EXPECT_FALSE(ci.Evaluate(0.5, y, low, high));
    }

    // The graphs of such records are built without the missing series.
    ASSERT_TRUE(Build(orphan));
    EXPECT_EQ(SeriesCounts(), (std::vector<int>{2, 2, 1, 0, 0, 0}));
    ASSERT_TRUE(Build(noFit));
    EXPECT_EQ(SeriesCounts(), (std::vector<int>{2, 2, 1, 0, 0, 0}));

    // A flat record's curves are sampled without harm.
    CDoseDataset dose(Shared(flat), 0, kNextStyle);
    double min = 0.0, max = 0.0;
    EXPECT_TRUE(dose.GetYRange(0.0, 20.0, min, max, 50, true));
}

TEST_F(DatasetTest, AxisRanges) {
    const int drug = AddDrug("DrugA", {{2.0, 0.6}, {5.0, 0.7}}); // log D 0.30..0.70, y > 0
    CDrugInfo& record = Record(drug);
    double min = 0.0, max = 0.0;

    const CMedianDataset median(Shared(record), 0, kNextStyle);
    ASSERT_TRUE(median.GetXRange(min, max));
    EXPECT_EQ(min, 0.0);
    EXPECT_EQ(max, 1.0);
    ASSERT_TRUE(median.GetYRange(0.0, 1.0, min, max, 10, false));
    EXPECT_EQ(min, -1.0);
    EXPECT_EQ(max, 1.0);

    const CDoseDataset dose(Shared(record), 0, kNextStyle);
    ASSERT_TRUE(dose.GetXRange(min, max));
    EXPECT_EQ(min, 0.0);
    EXPECT_EQ(max, 5.0);
    ASSERT_TRUE(dose.GetYRange(0.0, 5.0, min, max, 10, false));
    EXPECT_EQ(min, 0.0);

    const CConstDataset line(1.0, "CI = 1.0");
    EXPECT_FALSE(line.ShowPoints());
    EXPECT_EQ(line.GetStyle(), kConstantLineStyle);
    ASSERT_TRUE(line.GetXRange(min, max));
    EXPECT_EQ(min, 0.0);
    EXPECT_EQ(max, 0.0);
    ASSERT_TRUE(line.GetYRange(0.0, 1.0, min, max, 10, true));
    EXPECT_EQ(min, 0.0);
    EXPECT_EQ(max, 1.0);

    const int combo = AddTwoDrugCombination();
    const CCIDataset linear = CISeries(Record(combo), 0, 1.96, false, true, kNextStyle);
    const CCIDataset logarithmic = CISeries(Record(combo), 0, 1.96, true, true, kNextStyle);
    ASSERT_TRUE(linear.GetXRange(min, max));
    EXPECT_EQ(min, 0.0);
    EXPECT_EQ(max, 1.0);
    ASSERT_TRUE(linear.GetYRange(0.0, 1.0, min, max, 100, true));
    EXPECT_EQ(min, 0.0);
    EXPECT_GT(max, 0.0);
    ASSERT_TRUE(logarithmic.GetYRange(0.0, 1.0, min, max, 100, false));
    EXPECT_EQ(min, std::floor(min));
    EXPECT_EQ(max, std::ceil(max));
    EXPECT_LT(min, max);
}

} // namespace

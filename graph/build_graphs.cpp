// Which graphs are drawn for a record and for the summary selection, and
// which series each of them holds.
#include "graph/build_graphs.h"

#include "core/drug_info.h"
#include "core/format.h"
#include "core/message_sink.h"
#include "graph/datasets.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace doseplex {

namespace {

constexpr const char* kNegativeSlopeMessage =
    "Error \nThe computed median-effect curve has a negative slope. \n\nYou may need to express "
    "your results differently to comply with the DosePlex mathematical model.";

constexpr const char* kMedianTitle = "Median-effect plot";
constexpr const char* kMedianXTitle = "log(D)";
constexpr const char* kMedianYTitle = "log(fa/fu)";
constexpr const char* kDoseTitle = "Dose-effect curve";
constexpr const char* kDoseXTitle = "Dose";
constexpr const char* kDoseYTitle = "Effect";

std::unique_ptr<CGraph> NewGraph(const std::string& title, const std::string& xTitle,
                                 const std::string& yTitle) {
    auto graph = std::make_unique<CGraph>();
    graph->SetTitles(title, xTitle, yTitle);
    return graph;
}

// Turns the graph's error bands on or off. The series were added, and the
// axes scaled to them, before the flag was set; so a graph that shows its
// bands is scaled once more with them, or they would run past the axes.
void ShowErrorBands(CGraph& graph, bool show) {
    graph.m_bErrorBands = show ? 1 : 0;
    if (show) {
        graph.Rescale(true, true, 0.0, 0.0, 0.0, 0.0);
    }
}

std::unique_ptr<CGraph> NewMedianGraph() {
    return NewGraph(kMedianTitle, kMedianXTitle, kMedianYTitle);
}

std::unique_ptr<CGraph> NewDoseGraph() {
    return NewGraph(kDoseTitle, kDoseXTitle, kDoseYTitle);
}

// A series the graph refuses (no points) is deleted here.
void AddSeries(CGraph& graph, std::unique_ptr<CDataset> series) {
    graph.AddDataset(series);
}

// True when a constant-ratio record's median-effect line does not rise over
// the x range of its series. The model needs the effect to grow with the
// dose; a combination without a constant ratio has no fitted line to check.
bool HasNegativeSlope(const CMedianDataset& series, const CDrugInfo& record) {
    if (!record.m_bConstantRatio) {
        return false;
    }
    double xMin = 0.0;
    double xMax = 0.0;
    double yAtMin = 0.0;
    double yAtMax = 0.0;
    double low = 0.0;
    double high = 0.0;
    if (!series.GetXRange(xMin, xMax) || !series.Evaluate(xMin, yAtMin, low, high) ||
        !series.Evaluate(xMax, yAtMax, low, high)) {
        return false;
    }
    return !(yAtMax > yAtMin);
}

// Adds the record's median-effect series unless its data cannot carry one.
// False, after the message, when the record's line has a negative slope.
bool AddMedianSeries(CGraph& graph, CDrugInfo& record) {
    if (!HasUsableMedianData(record)) {
        return true;
    }
    auto series = std::make_unique<CMedianDataset>(record, 0, kNextStyle);
    if (HasNegativeSlope(*series, record)) {
        ShowMessage(kNegativeSlopeMessage);
        return false;
    }
    AddSeries(graph, std::move(series));
    return true;
}

std::uint16_t CIPointStyle(const CDoseplexDoc& doc) {
    return doc.m_graph.m_nCIPoints ? kNextStyle : kConstantLineStyle;
}

// The record followed by its components. Every record lives in the
// document's list, which holds it mutable; the series keep mutable pointers.
std::vector<CDrugInfo*> RecordAndComponents(const CDoseplexDoc& doc, const CDrugInfo& record) {
    std::vector<const CDrugInfo*> found;
    // A missing component ends the list early; the records found still show.
    record.CollectDrugs(doc.m_drugs, found);
    std::vector<CDrugInfo*> records;
    records.reserve(found.size());
    for (const CDrugInfo* each : found) {
        records.push_back(const_cast<CDrugInfo*>(each));
    }
    return records;
}

bool BuildRecordGraphs(CDoseplexDoc& doc, GraphList& graphs) {
    if (doc.m_nCurrentDrug < 0) {
        return false;
    }
    CDrugInfo* record = doc.GetDrug(doc.m_nCurrentDrug);
    if (!record) {
        return false;
    }
    record->m_bExclusive = 1;
    graphs.clear();

    const CAnalysisOptions& analysis = doc.m_analysis;
    const CGraphOptions& options = doc.m_graph;
    const std::vector<CDrugInfo*> records = RecordAndComponents(doc, *record);

    auto median = NewMedianGraph();
    for (CDrugInfo* each : records) {
        if (!AddMedianSeries(*median, *each)) {
            graphs.clear();
            return false;
        }
    }
    median->SetOverride(&record->m_graphOverride[kGraphMedianEffect]);
    graphs.push_back(std::move(median));

    auto dose = NewDoseGraph();
    for (CDrugInfo* each : records) {
        AddSeries(*dose, std::make_unique<CDoseDataset>(*each, 0, kNextStyle));
    }
    dose->SetOverride(&record->m_graphOverride[kGraphDoseEffect]);
    graphs.push_back(std::move(dose));

    if (record->m_nComponents >= 2) {
        const bool monteCarlo = analysis.m_nMonteCarlo != 0;
        const bool errorBand = analysis.m_nErrorBand != 0;
        const int iterations = monteCarlo ? analysis.m_nGraphRepeats : 0;
        const std::string title =
            record->m_strName + (monteCarlo ? " - Monte Carlo" : " - Algebraic estimate");
        const std::string band = " +/- " + FormatNumber(analysis.m_dSdMultiple, -1, true) + " s.d.";

        auto faCI = NewGraph(title, "Fractional Effect", errorBand ? "CI" + band : "CI");
        AddSeries(*faCI, std::make_unique<CCIDataset>(*record, doc.m_drugs, iterations,
                                                      analysis.m_dSdMultiple, false,
                                                      options.m_nCILine != 0, CIPointStyle(doc)));
        AddSeries(*faCI, std::make_unique<CConstDataset>(1.0, ""));
        ShowErrorBands(*faCI, errorBand);
        faCI->m_bShowLegend = 0;
        faCI->SetOverride(&record->m_graphOverride[kGraphFaCI]);
        graphs.push_back(std::move(faCI));

        if (options.m_nLogPlots) {
            // Its reference is the x axis itself: log10(1) = 0.
            auto logFaCI =
                NewGraph(title, "Fractional Effect", errorBand ? "log10(CI)" + band : "log10(CI)");
            AddSeries(*logFaCI, std::make_unique<CCIDataset>(
                                    *record, doc.m_drugs, iterations, analysis.m_dSdMultiple, true,
                                    options.m_nCILine != 0, CIPointStyle(doc)));
            ShowErrorBands(*logFaCI, errorBand);
            logFaCI->m_bShowLegend = 0;
            logFaCI->SetOverride(&record->m_graphOverride[kGraphLogFaCI]);
            graphs.push_back(std::move(logFaCI));
        }
    }

    if (record->m_nComponents == 2) {
        std::string name1;
        std::string name2;
        record->TwoComponentNames(doc.m_drugs, name1, name2);
        if (record->m_bConstantRatio) {
            const double levels[] = {analysis.m_dEffect1, analysis.m_dEffect2, analysis.m_dEffect3};
            const auto isobologram = [&](const char* title, bool conservative, EGraphKind kind) {
                auto graph = NewGraph(title, name2, name1);
                for (const double fa : levels) {
                    AddSeries(*graph, std::make_unique<CIsoDataset>(fa, *record, doc.m_drugs,
                                                                    conservative, kNextStyle));
                }
                graph->m_bErrorBands = 0;
                graph->SetOverride(&record->m_graphOverride[kind]);
                graphs.push_back(std::move(graph));
            };
            isobologram("Isobologram", false, kGraphIsobologram);
            if (options.m_nConservativeIso) {
                isobologram("Conservative Isobologram", true, kGraphConservativeIsobologram);
            }
        } else {
            auto graph = NewGraph("Normalised Isobologram", name2, name1);
            AddSeries(*graph,
                      std::make_unique<CNormalisedIsoDataset>(*record, doc.m_drugs, kNextStyle));
            graph->m_bErrorBands = 0;
            graph->SetOverride(&record->m_graphOverride[kGraphIsobologram]);
            graphs.push_back(std::move(graph));
        }
    }
    return true;
}

// Groups the series of a summary walk into graphs of `perGraph` records:
// a new graph starts whenever the count of placed records wraps to 0.
class CGraphGroups {
public:
    using Start = std::unique_ptr<CGraph> (*)();
    using Complete = void (*)(CGraph&);

    CGraphGroups(GraphList& graphs, int perGraph, Start start, Complete complete = nullptr)
        : m_graphs(graphs), m_perGraph(perGraph), m_start(start), m_complete(complete) {}

    // The graph the next record goes into.
    CGraph& Current() {
        if (m_count == 0) {
            Finish();
            m_current = m_start();
        }
        return *m_current;
    }
    // Counts one record, whether or not it added a series.
    void Placed() {
        if (++m_count == m_perGraph) {
            m_count = 0;
        }
    }
    // Completes and appends the graph in progress, if any.
    void Finish() {
        if (!m_current) {
            return;
        }
        if (m_complete) {
            m_complete(*m_current);
        }
        m_graphs.push_back(std::move(m_current));
    }

private:
    GraphList& m_graphs;
    int m_perGraph;
    Start m_start;
    Complete m_complete;
    int m_count = 0;
    std::unique_ptr<CGraph> m_current;
};

std::unique_ptr<CGraph> NewSummaryFaCIGraph() {
    auto graph = NewGraph("Fa-CI plot", "Effect", "CI");
    graph->m_bErrorBands = 0;
    graph->m_bShowLegend = 1;
    return graph;
}

void AddCIReferenceLine(CGraph& graph) {
    AddSeries(graph, std::make_unique<CConstDataset>(1.0, "CI = 1.0"));
}

bool BuildSummaryGraphs(CDoseplexDoc& doc, GraphList& graphs) {
    graphs.clear();
    std::vector<CDrugInfo*> selection;
    for (CDrugInfo* record : doc.m_summaryDrugs) {
        if (record) {
            selection.push_back(record);
        }
    }
    if (selection.empty()) {
        return false;
    }

    CGraphGroups median(graphs, doc.m_nDrugsPerMedianGraph, NewMedianGraph);
    for (CDrugInfo* record : selection) {
        if (!AddMedianSeries(median.Current(), *record)) {
            graphs.clear();
            return false;
        }
        median.Placed();
    }
    median.Finish();

    CGraphGroups dose(graphs, doc.m_nDrugsPerMedianGraph, NewDoseGraph);
    for (CDrugInfo* record : selection) {
        AddSeries(dose.Current(), std::make_unique<CDoseDataset>(*record, 0, kNextStyle));
        dose.Placed();
    }
    dose.Finish();

    // Single drugs have no CI and do not count towards the grouping.
    CGraphGroups faCI(graphs, doc.m_nDrugsPerCIGraph, NewSummaryFaCIGraph, AddCIReferenceLine);
    for (CDrugInfo* record : selection) {
        if (record->m_nComponents < 2) {
            continue;
        }
        AddSeries(faCI.Current(),
                  std::make_unique<CCIDataset>(*record, doc.m_drugs, 0, 0.0, false,
                                               doc.m_graph.m_nCILine != 0, CIPointStyle(doc)));
        faCI.Placed();
    }
    faCI.Finish();
    return true;
}

} // namespace

bool BuildGraphs(CDoseplexDoc& doc, GraphList& graphs) {
    return doc.m_bOpenSummaryGraphs ? BuildSummaryGraphs(doc, graphs)
                                    : BuildRecordGraphs(doc, graphs);
}

void BuildPreviewGraph(CGraph& graph, CDrugInfo& record, EPreviewMode mode) {
    graph.SetOverride(nullptr);
    graph.RemoveAllDatasets();
    if (mode == EPreviewMode::MedianEffect) {
        if (HasUsableMedianData(record)) {
            graph.SetTitles(kMedianTitle, kMedianXTitle, kMedianYTitle);
            AddSeries(graph, std::make_unique<CMedianDataset>(record, 0, kNextStyle));
        }
        return;
    }
    graph.SetTitles(kDoseTitle, kDoseXTitle, kDoseYTitle);
    AddSeries(graph, std::make_unique<CDoseDataset>(record, 0, kNextStyle));
}

} // namespace doseplex

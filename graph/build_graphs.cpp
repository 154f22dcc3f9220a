// Which graphs are drawn for a record and for the summary selection, and
// which series each of them holds.
#include "graph/build_graphs.h"

#include "core/analysis.h"
#include "core/drug_info.h"
#include "core/format.h"
#include "core/message_sink.h"
#include "core/random.h"
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
constexpr const char* kFlatSlopeMessage =
    "Error \nThe computed median-effect curve is flat (its slope is 0). \n\nYou may need to "
    "express your results differently to comply with the DosePlex mathematical model.";

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

// The message for a constant-ratio record whose median-effect line does not
// rise over the x range of its series, or null when it rises. The model needs
// the effect to grow with the dose; a combination without a constant ratio
// has no fitted line to check.
const char* SlopeProblem(const CMedianDataset& series, const CDrugInfo& record) {
    if (!record.m_bConstantRatio) {
        return nullptr;
    }
    double xMin = 0.0;
    double xMax = 0.0;
    double yAtMin = 0.0;
    double yAtMax = 0.0;
    double low = 0.0;
    double high = 0.0;
    if (!series.GetXRange(xMin, xMax) || !series.Evaluate(xMin, yAtMin, low, high) ||
        !series.Evaluate(xMax, yAtMax, low, high) || yAtMax > yAtMin) {
        return nullptr;
    }
    return yAtMax == yAtMin ? kFlatSlopeMessage : kNegativeSlopeMessage;
}

// Adds the record's median-effect series unless its data cannot carry one.
// False, after the message, when the record's line falls or is flat.
bool AddMedianSeries(CGraph& graph, const std::shared_ptr<CDrugInfo>& record) {
    if (!HasUsableMedianData(*record)) {
        return true;
    }
    auto series = std::make_unique<CMedianDataset>(record, 0, kNextStyle);
    if (const char* problem = SlopeProblem(*series, *record)) {
        ShowMessage(problem);
        return false;
    }
    AddSeries(graph, std::move(series));
    return true;
}

// The record's override of graph `kind`, shared with the record.
std::shared_ptr<CGraphOverride> OverrideOf(const std::shared_ptr<CDrugInfo>& record,
                                           EGraphKind kind) {
    return {record, &record->m_graphOverride[kind]};
}

std::uint16_t CIPointStyle(const CDoseplexDoc& doc) {
    return doc.m_graph.m_nCIPoints ? kNextStyle : kConstantLineStyle;
}

// The record followed by its components, as the document holds them. A
// missing component ends the list early; the records found still show.
std::vector<std::shared_ptr<CDrugInfo>>
RecordAndComponents(const CDoseplexDoc& doc, const std::shared_ptr<CDrugInfo>& record) {
    std::vector<std::shared_ptr<CDrugInfo>> records{record};
    if (!record->IsCombination()) {
        return records;
    }
    for (const std::uint16_t id : record->m_pComponents) {
        if (records.size() > record->m_nComponents || id >= doc.m_drugs.size()) {
            break;
        }
        records.push_back(doc.m_drugs[id]);
    }
    return records;
}

EBuildStatus BuildRecordGraphs(const CDoseplexDoc& doc, long long id, CRandom& random,
                               GraphList& graphs, const CRunControl* control) {
    if (id < 0 || static_cast<size_t>(id) >= doc.m_drugs.size()) {
        return EBuildStatus::Missing;
    }
    const std::shared_ptr<CDrugInfo> record = doc.m_drugs[static_cast<size_t>(id)];
    const auto drugs = std::make_shared<const DrugList>(doc.m_drugs);

    const CAnalysisOptions& analysis = doc.m_analysis;
    const CGraphOptions& options = doc.m_graph;
    const std::vector<std::shared_ptr<CDrugInfo>> records = RecordAndComponents(doc, record);

    auto median = NewMedianGraph();
    for (const auto& each : records) {
        if (!AddMedianSeries(*median, each)) {
            return EBuildStatus::Refused;
        }
    }
    median->SetOverride(OverrideOf(record, kGraphMedianEffect));
    graphs.push_back(std::move(median));

    auto dose = NewDoseGraph();
    for (const auto& each : records) {
        AddSeries(*dose, std::make_unique<CDoseDataset>(each, 0, kNextStyle));
    }
    dose->SetOverride(OverrideOf(record, kGraphDoseEffect));
    graphs.push_back(std::move(dose));

    if (record->m_nComponents >= 2) {
        const bool monteCarlo = analysis.m_nMonteCarlo != 0;
        const bool errorBand = analysis.m_nErrorBand != 0;
        const int iterations = monteCarlo ? analysis.m_nGraphRepeats : 0;
        const std::string title =
            record->m_strName + (monteCarlo ? " - Monte Carlo" : " - Algebraic estimate");
        const std::string band = " +/- " + FormatNumber(analysis.m_dSdMultiple, -1, true) + " s.d.";

        // One band for both Fa-CI plots: the logarithmic plot shows the
        // same estimate on its own scale.
        CCIBand ciBand;
        if (!ComputeCIBand(*record, *drugs, iterations, analysis.m_dSdMultiple,
                           ECIForm::MutuallyExclusive, random, control, ciBand)) {
            return EBuildStatus::Cancelled;
        }
        const auto ciSeries = [&](bool log) {
            return std::make_unique<CCIDataset>(record, drugs, ciBand, iterations,
                                                analysis.m_dSdMultiple, log, options.m_nCILine != 0,
                                                CIPointStyle(doc));
        };

        auto faCI = NewGraph(title, "Fractional Effect", errorBand ? "CI" + band : "CI");
        AddSeries(*faCI, ciSeries(false));
        AddSeries(*faCI, std::make_unique<CConstDataset>(1.0, ""));
        ShowErrorBands(*faCI, errorBand);
        faCI->m_bShowLegend = 0;
        faCI->SetOverride(OverrideOf(record, kGraphFaCI));
        graphs.push_back(std::move(faCI));

        if (options.m_nLogPlots) {
            // Its reference is the x axis itself: log10(1) = 0.
            auto logFaCI =
                NewGraph(title, "Fractional Effect", errorBand ? "log10(CI)" + band : "log10(CI)");
            AddSeries(*logFaCI, ciSeries(true));
            ShowErrorBands(*logFaCI, errorBand);
            logFaCI->m_bShowLegend = 0;
            logFaCI->SetOverride(OverrideOf(record, kGraphLogFaCI));
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
                    AddSeries(*graph, std::make_unique<CIsoDataset>(fa, record, doc.m_drugs,
                                                                    conservative, kNextStyle));
                }
                graph->m_bErrorBands = 0;
                graph->SetOverride(OverrideOf(record, kind));
                graphs.push_back(std::move(graph));
            };
            isobologram("Isobologram", false, kGraphIsobologram);
            if (options.m_nConservativeIso) {
                isobologram("Conservative Isobologram", true, kGraphConservativeIsobologram);
            }
        } else {
            auto graph = NewGraph("Normalised Isobologram", name2, name1);
            AddSeries(*graph,
                      std::make_unique<CNormalisedIsoDataset>(record, doc.m_drugs, kNextStyle));
            graph->m_bErrorBands = 0;
            graph->SetOverride(OverrideOf(record, kGraphIsobologram));
            graphs.push_back(std::move(graph));
        }
    }
    return EBuildStatus::Built;
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

EBuildStatus BuildSummaryGraphs(const CDoseplexDoc& doc, CRandom& random, GraphList& graphs,
                                const CRunControl* control) {
    // The selection names records of the document's list; each is shown
    // through the list's own shared handle.
    std::vector<std::shared_ptr<CDrugInfo>> selection;
    for (const CDrugInfo* chosen : doc.m_summaryDrugs) {
        for (const auto& record : doc.m_drugs) {
            if (record.get() == chosen) {
                selection.push_back(record);
                break;
            }
        }
    }
    if (selection.empty()) {
        return EBuildStatus::Missing;
    }
    const auto drugs = std::make_shared<const DrugList>(doc.m_drugs);

    CGraphGroups median(graphs, doc.m_nDrugsPerMedianGraph, NewMedianGraph);
    for (const auto& record : selection) {
        if (!AddMedianSeries(median.Current(), record)) {
            return EBuildStatus::Refused;
        }
        median.Placed();
    }
    median.Finish();

    CGraphGroups dose(graphs, doc.m_nDrugsPerMedianGraph, NewDoseGraph);
    for (const auto& record : selection) {
        AddSeries(dose.Current(), std::make_unique<CDoseDataset>(record, 0, kNextStyle));
        dose.Placed();
    }
    dose.Finish();

    // Single drugs have no CI and do not count towards the grouping. The
    // summary plots show no band.
    CGraphGroups faCI(graphs, doc.m_nDrugsPerCIGraph, NewSummaryFaCIGraph, AddCIReferenceLine);
    for (const auto& record : selection) {
        if (record->m_nComponents < 2) {
            continue;
        }
        CCIBand band;
        if (!ComputeCIBand(*record, *drugs, 0, 0.0, ECIForm::MutuallyExclusive, random, control,
                           band)) {
            return EBuildStatus::Cancelled;
        }
        AddSeries(faCI.Current(),
                  std::make_unique<CCIDataset>(record, drugs, band, 0, 0.0, false,
                                               doc.m_graph.m_nCILine != 0, CIPointStyle(doc)));
        faCI.Placed();
    }
    faCI.Finish();
    return EBuildStatus::Built;
}

} // namespace

EBuildStatus BuildGraphs(const CDoseplexDoc& doc, const CBuildTarget& target, CRandom& random,
                         GraphList& graphs, const CRunControl* control) {
    // Built aside, so that a build that stops part-way leaves nothing behind.
    GraphList built;
    const EBuildStatus status = target.summary
                                    ? BuildSummaryGraphs(doc, random, built, control)
                                    : BuildRecordGraphs(doc, target.drug, random, built, control);
    switch (status) {
    case EBuildStatus::Built:
        graphs = std::move(built);
        break;
    case EBuildStatus::Refused:
        graphs.clear();
        break;
    case EBuildStatus::Missing:
        if (target.summary) {
            graphs.clear();
        }
        break;
    case EBuildStatus::Cancelled:
        break;
    }
    return status;
}

CBuildTarget GraphTarget(const CDoseplexDoc& doc) {
    return doc.m_bOpenSummaryGraphs ? CBuildTarget::Summary()
                                    : CBuildTarget::Drug(doc.m_nCurrentDrug);
}

void BuildPreviewGraph(CGraph& graph, std::shared_ptr<const CDrugInfo> record, EPreviewMode mode) {
    graph.SetOverride(nullptr);
    graph.RemoveAllDatasets();
    if (mode == EPreviewMode::MedianEffect) {
        if (HasUsableMedianData(*record)) {
            graph.SetTitles(kMedianTitle, kMedianXTitle, kMedianYTitle);
            AddSeries(graph, std::make_unique<CMedianDataset>(record, 0, kNextStyle));
        }
        return;
    }
    graph.SetTitles(kDoseTitle, kDoseXTitle, kDoseYTitle);
    AddSeries(graph, std::make_unique<CDoseDataset>(record, 0, kNextStyle));
}

} // namespace doseplex

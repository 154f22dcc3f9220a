// Benchmark of painting graphs: all graphs of a two-drug constant-ratio
// combination with a Monte Carlo error band (100 iterations per band level),
// drawn into a 1920 x 1080 image the way a graph window repaints them (six
// graphs, two to a row), and each drawn alone at the full image size. The
// goal is a whole repaint within one 60 Hz frame (16.7 ms). Building the
// graphs, where the band is simulated, is measured apart.
//
// Run:  build-bench/bench/doseplex_bench_graphs
#include "bench/bench_support.h"
#include "core/document.h"
#include "core/random.h"
#include "graph/build_graphs.h"
#include "graph/graph_export.h"
#include "graph/qt/picture_writer.h"
#include "graph/qt/qpainter_surface.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

using namespace doseplex;
using namespace doseplex::bench;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// Two drugs (ids 0 and 1) with eight points each and their 1:1 mixture
// (id 2), all options on, the Fa-CI band from the Monte Carlo simulation.
std::unique_ptr<CDoseplexDoc> TwoDrugExperiment() {
    std::mt19937_64 rng(kSeed);
    auto doc = std::make_unique<CDoseplexDoc>();
    doc->AddDrug(SingleDrug({2.0, 1.1}, 8, 0.1, rng));
    doc->AddDrug(SingleDrug({5.0, 0.9}, 8, 0.1, rng));
    doc->AddDrug(Combination({0, 1}, {1.0, 1.0}, {1.4, 1.2}, 8, 0.1, rng));
    doc->m_drugs[0]->m_strName = "Drug A";
    doc->m_drugs[1]->m_strName = "Drug B";
    doc->m_analysis.m_nMonteCarlo = 1;
    doc->m_analysis.m_nGraphRepeats = 100;
    return doc;
}

struct CFixture {
    CFixture() : doc(TwoDrugExperiment()), image(kWidth, kHeight, QImage::Format_RGB32) {
        EnsureGuiApplication();
        CRandom random;
        BuildGraphs(*doc, CBuildTarget::Drug(2), random, graphs);
    }
    std::unique_ptr<CDoseplexDoc> doc;
    GraphList graphs;
    QImage image;
};

void BM_BuildGraphs(benchmark::State& state) {
    const auto doc = TwoDrugExperiment();
    CRandom random;
    for (auto _ : state) {
        GraphList graphs;
        BuildGraphs(*doc, CBuildTarget::Drug(2), random, graphs);
        benchmark::DoNotOptimize(graphs.data());
    }
}
BENCHMARK(BM_BuildGraphs)->Unit(benchmark::kMillisecond);

// The window: three rows of two graphs, each laid out and drawn.
void BM_RepaintWindow(benchmark::State& state) {
    CFixture f;
    for (auto _ : state) {
        QPainter painter(&f.image);
        CQPainterSurface surface(painter);
        const int w = kWidth / 2;
        const int h = kHeight / 3;
        for (size_t i = 0; i < f.graphs.size(); ++i) {
            const int left = static_cast<int>(i % 2) * w;
            const int top = static_cast<int>(i / 2) * h;
            f.graphs[i]->Layout(left, top, left + w, top + h, 0, 0);
            f.graphs[i]->Draw(surface, f.graphs[i]->m_rect);
        }
    }
    state.counters["graphs"] = static_cast<double>(f.graphs.size());
}
BENCHMARK(BM_RepaintWindow)->Unit(benchmark::kMillisecond);

// Each graph alone at 1920 x 1080.
void BM_DrawEachFullSize(benchmark::State& state) {
    CFixture f;
    for (auto _ : state) {
        QPainter painter(&f.image);
        CQPainterSurface surface(painter);
        for (const auto& graph : f.graphs) {
            DrawGraphPicture(*graph, surface, kWidth, kHeight, false, true);
        }
    }
    state.counters["graphs"] = static_cast<double>(f.graphs.size());
}
BENCHMARK(BM_DrawEachFullSize)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::ConsoleReporter console;
    return RunBenchmarks(argc, argv, console);
}

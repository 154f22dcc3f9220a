// Fuzz target: the graphs of an experiment file. Whatever the reader accepts
// (axis overrides, options and points included) must build, scale, lay out,
// draw and copy as text without a fault or an endless loop.
#include "tests/fuzz/fuzz_support.h"

#include "core/document.h"
#include "core/document_file.h"
#include "core/message_sink.h"
#include "core/random.h"
#include "graph/build_graphs.h"
#include "graph/graph_export.h"

#include <algorithm>
#include <cstdint>
#include <span>

namespace {

// Takes every drawing call and draws nothing.
class CNullSurface : public doseplex::IDrawSurface {
public:
    bool FillRect(const doseplex::CRect&, doseplex::Colour) override { return true; }
    void SetPen(const doseplex::CPenDesc&) override {}
    void SetBrush(bool, doseplex::Colour) override {}
    void SetFont(const doseplex::CFontDesc&) override {}
    void SetTextColour(doseplex::Colour) override {}
    void SetTextAlign(doseplex::EHAlign, doseplex::EVAlign) override {}
    void Line(doseplex::CPoint, doseplex::CPoint) override {}
    void Polyline(const doseplex::CPoint*, int) override {}
    void Polygon(const doseplex::CPoint*, int) override {}
    void Ellipse(const doseplex::CRect&) override {}
    void Rectangle(const doseplex::CRect&) override {}
    void Text(doseplex::CPoint, const std::string&) override {}
};

void DrawAll(doseplex::GraphList& graphs) {
    CNullSurface surface;
    for (auto& graph : graphs) {
        graph->m_nCurvePoints = 64;
        doseplex::DrawGraphPicture(*graph, surface, 320, 240, false, true);
        doseplex::GraphCurveText(*graph);
        doseplex::GraphDataText(*graph);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace doseplex;
    CDoseplexDoc doc;
    if (!fuzz::ReadQuietly(data, size, doc)) {
        return 0;
    }
    // The Monte Carlo band is slow by design at large iteration counts; a few
    // iterations reach the same code.
    doc.m_analysis.m_nGraphRepeats = std::min(doc.m_analysis.m_nGraphRepeats, 20);
    GraphList graphs;
    CRandom random;
    for (int id = 0; id < std::min(doc.DrugCount(), 8); ++id) {
        if (BuildGraphs(doc, CBuildTarget::Drug(id), random, graphs) == EBuildStatus::Built) {
            DrawAll(graphs);
        }
    }
    if (BuildGraphs(doc, CBuildTarget::Summary(), random, graphs) == EBuildStatus::Built) {
        DrawAll(graphs);
    }
    return 0;
}

#include "graph/graph_export.h"

#include <cstdio>

namespace doseplex {

namespace {

std::string Line(const char* format, double a, double b) {
    char buffer[700]; // room for two values up to DBL_MAX in %f form
    std::snprintf(buffer, sizeof buffer, format, a, b);
    return buffer;
}

std::string Line(const char* format, double a, double b, double c, double d) {
    char buffer[1400];
    std::snprintf(buffer, sizeof buffer, format, a, b, c, d);
    return buffer;
}

std::string TitleLines(const CGraph& graph) {
    return "Title:\t" + graph.GetTitle() + "\r\nX title:\t" + graph.GetXTitle() + "\r\nY title:\t" +
           graph.GetYTitle() + "\r\n\r\n";
}

std::string SeriesHeader(const CGraph& graph, const CDataset& dataset) {
    return graph.GetXTitle() + "\t" + dataset.m_strName + "(" + graph.GetYTitle() + ")";
}

} // namespace

bool DrawGraphPicture(CGraph& graph, IDrawSurface& surface, int width, int height, bool monochrome,
                      bool includeTitle) {
    const int wasMonochrome = graph.m_bMonochrome;
    const int showedTitle = graph.m_bShowTitle;
    graph.m_bMonochrome = monochrome ? 1 : 0;
    graph.m_bShowTitle = includeTitle ? 1 : 0;
    graph.Layout(0, 0, width, height, 0, 0);
    const bool drawn = graph.Draw(surface, graph.m_rect);
    graph.m_bMonochrome = wasMonochrome;
    graph.m_bShowTitle = showedTitle;
    return drawn;
}

std::string GraphDataText(const CGraph& graph) {
    std::string text = TitleLines(graph);
    for (const auto& dataset : graph.m_datasets) {
        text += SeriesHeader(graph, *dataset) + "\r\n";
        for (int i = 0; i < dataset->GetCount(); ++i) {
            double x = 0.0;
            double y = 0.0;
            if (dataset->PointAt(i, x, y)) {
                text += Line("%f\t%f\r\n", x, y);
            }
        }
        text += "\r\n";
    }
    return text;
}

std::string GraphCurveText(const CGraph& graph) {
    std::string text = TitleLines(graph);
    const int samples = graph.m_nCurvePoints < 1 ? 100 : graph.m_nCurvePoints;
    for (const auto& dataset : graph.m_datasets) {
        text += SeriesHeader(graph, *dataset);
        text += graph.m_bErrorBands ? "\tErr_Low\tErr_High\r\n" : "\r\n";
        if (dataset->HasCurve()) {
            for (int i = 0; i <= samples; ++i) {
                const double x = graph.m_xMin + (graph.m_xMax - graph.m_xMin) * i / samples;
                double y = 0.0;
                double low = 0.0;
                double high = 0.0;
                if (!dataset->Evaluate(x, y, low, high)) {
                    continue;
                }
                text += graph.m_bErrorBands ? Line("%f\t%f\t%f\t%f\r\n", x, y, low, high)
                                            : Line("%f\t%f\r\n", x, y);
            }
        }
        text += "\r\n";
    }
    return text;
}

std::string GraphFileSlug(const std::string& title) {
    std::string slug;
    bool gap = false;
    for (const char c : title) {
        const bool digit = c >= '0' && c <= '9';
        const bool lower = c >= 'a' && c <= 'z';
        const bool upper = c >= 'A' && c <= 'Z';
        if (digit || lower || upper) {
            if (gap && !slug.empty()) {
                slug += '-';
            }
            gap = false;
            slug += upper ? static_cast<char>(c - 'A' + 'a') : c;
        } else {
            gap = true;
        }
    }
    // Record names may be thousands of characters long, but a file name
    // holds at most 255 bytes: long slugs end at the last whole word that
    // fits.
    if (slug.size() > kMaxSlugLength) {
        const size_t cut = slug.rfind('-', kMaxSlugLength);
        slug.resize(cut == std::string::npos || cut == 0 ? kMaxSlugLength : cut);
    }
    return slug.empty() ? "graph" : slug;
}

} // namespace doseplex

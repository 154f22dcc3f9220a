#pragma once

#include "graph/graph.h"

#include <cstddef>
#include <string>

namespace doseplex {

// The size, curve resolution and title choice of a copied or exported graph.
// The graph window remembers one set for copying and one for exporting while
// the program runs; both start with these values.
struct CGraphPictureSettings {
    static constexpr int kMinSize = 256;
    static constexpr int kMaxSize = 4096;
    static constexpr int kMinPoints = 64;
    static constexpr int kMaxPoints = 2048;

    int m_nWidth = 1024;
    int m_nHeight = 768;
    int m_nPoints = 100;
    bool m_bIncludeTitle = true;
};

// Lays the graph out on 0, 0, width, height and draws it, in black and white
// or colour and with or without its title as asked; the graph's own colour
// and title flags are the same afterwards.
bool DrawGraphPicture(CGraph& graph, IDrawSurface& surface, int width, int height, bool monochrome,
                      bool includeTitle);

// The graph's points as tab-separated text: three title lines, then per
// series a header line and one "x<TAB>y" line per point. Lines end in CR LF.
std::string GraphDataText(const CGraph& graph);

// The graph's curves sampled at m_nCurvePoints + 1 x values over its x axis,
// with the error band's low and high values when the graph shows bands.
std::string GraphCurveText(const CGraph& graph);

// A file-name-friendly form of a title: lower-case letters and digits joined
// by single hyphens ("Median-effect plot" gives "median-effect-plot"), at
// most kMaxSlugLength characters, cut after a whole word where one fits.
inline constexpr size_t kMaxSlugLength = 80;
std::string GraphFileSlug(const std::string& title);

} // namespace doseplex
